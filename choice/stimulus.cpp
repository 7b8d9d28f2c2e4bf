#include "choice/stimulus.h"

#include <QPainter>
#include <QPolygonF>

#include "choice/schedule.h"

namespace vel::choice {

QPixmap StimulusPicture(uint8_t kind)
{
    if (kind != GreenKind && kind != RedKind)
        return {};
    QPixmap picture(StimulusSize);
    picture.fill(Qt::transparent);
    QPainter p(&picture);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    const qreal w = StimulusSize.width(), h = StimulusSize.height();
    if (kind == GreenKind) {
        p.setBrush(QColor(0x00, 0xC0, 0x00));
        p.drawPolygon(QPolygonF({QPointF(w / 2, 2), QPointF(w - 2, h - 2), QPointF(2, h - 2)}));
    } else {
        p.setBrush(QColor(0xE0, 0x00, 0x00));
        p.drawPolygon(QPolygonF({QPointF(2, 2), QPointF(w - 2, 2), QPointF(w / 2, h - 2)}));
    }
    return picture;
}

} // namespace vel::choice
