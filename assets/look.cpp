#include "assets/look.h"

#include <QWidget>

namespace vel {

namespace {
const QString DesignFace = QStringLiteral("Tahoma");
}

void SubstituteDesignFace()
{
    QFont::insertSubstitutions(DesignFace, {QStringLiteral("DejaVu Sans Condensed"), QStringLiteral("Liberation Sans"),
                                            QStringLiteral("Arial"), QStringLiteral("DejaVu Sans")});
}

QFont DesignFont(int pixels, bool bold)
{
    QFont font(DesignFace);
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

void SetTextColour(QWidget *w, const QColor &colour, std::initializer_list<QPalette::ColorRole> roles)
{
    QPalette p = w->palette();
    for (QPalette::ColorRole role : roles)
        p.setColor(role, colour);
    w->setPalette(p);
}

} // namespace vel
