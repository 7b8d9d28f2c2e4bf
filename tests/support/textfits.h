#pragma once
// Whether the texts of a window stand whole in their controls at the window's own size:
// what an operator would see cut at the edge of a label, a button, an edit's prompt or a
// chart's axes.
#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QFontMetrics>
#include <QGraphicsScene>
#include <QGraphicsTextItem>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QStringList>
#include <QTextDocument>

namespace textfits {

// Room a style keeps around the text of a button, an edit or a combo box (frame, padding,
// the combo box's arrow), generously counted.
constexpr int ButtonPadding = 8;
constexpr int EditPadding = 8;
constexpr int ComboPadding = 24;

inline bool WrappedFits(const QFontMetrics &metrics, QString text, const QRect &room)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    for (const QString &word : text.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts))
        if (metrics.horizontalAdvance(word) > room.width())
            return false;
    return metrics.boundingRect(QRect(0, 0, room.width(), 1 << 16), Qt::TextWordWrap, text).height()
           <= room.height();
}

inline bool LinesFit(const QFontMetrics &metrics, const QString &text, int width, int height)
{
    const QStringList lines = text.split(QRegularExpression(QStringLiteral("\r\n|\n|\r")));
    for (const QString &line : lines)
        if (metrics.horizontalAdvance(line) > width)
            return false;
    return lines.size() * metrics.lineSpacing() - metrics.leading() <= height;
}

// "<object name>: <text>" of every visible control of `window` whose text does not stand
// whole in it.
inline QStringList CutTexts(QWidget *window)
{
    QStringList cut;
    const auto visible = [window](QWidget *w) { return w->isVisibleTo(window) && w->width() > 0; };
    for (QLabel *label : window->findChildren<QLabel *>()) {
        const QString text = label->text();
        if (!visible(label) || text.trimmed().isEmpty() || Qt::mightBeRichText(text))
            continue;
        const QFontMetrics metrics(label->font());
        QRect room = label->contentsRect().adjusted(label->margin(), label->margin(), -label->margin(),
                                                    -label->margin());
        const bool fits = label->wordWrap() ? WrappedFits(metrics, text, room)
                                            : LinesFit(metrics, text, room.width(), room.height());
        if (!fits)
            cut << label->objectName() + QStringLiteral(": ") + text;
    }
    for (QAbstractButton *button : window->findChildren<QAbstractButton *>()) {
        QString text = button->text();
        text.remove(QLatin1Char('&'));
        if (!visible(button) || text.isEmpty() || !qobject_cast<QPushButton *>(button))
            continue;
        if (QFontMetrics(button->font()).horizontalAdvance(text) > button->width() - ButtonPadding)
            cut << button->objectName() + QStringLiteral(": ") + text;
    }
    for (QLineEdit *edit : window->findChildren<QLineEdit *>()) {
        const QString text = edit->text().isEmpty() ? edit->placeholderText() : edit->text();
        if (!visible(edit) || text.isEmpty() || qobject_cast<QComboBox *>(edit->parentWidget())
            || edit->parentWidget()->inherits("QAbstractSpinBox"))
            continue;
        if (QFontMetrics(edit->font()).horizontalAdvance(text) > edit->width() - EditPadding)
            cut << edit->objectName() + QStringLiteral(": ") + text;
    }
    for (QAbstractSpinBox *box : window->findChildren<QAbstractSpinBox *>()) {
        if (visible(box) && box->sizeHint().width() > box->width())
            cut << box->objectName() + QStringLiteral(": ") + box->text();
    }
    for (QComboBox *combo : window->findChildren<QComboBox *>()) {
        if (!visible(combo) || combo->currentText().isEmpty())
            continue;
        if (QFontMetrics(combo->font()).horizontalAdvance(combo->currentText()) > combo->width() - ComboPadding)
            cut << combo->objectName() + QStringLiteral(": ") + combo->currentText();
    }
    return cut;
}

// The texts a chart shows (axis titles and labels) as their lines, without markup.
inline QStringList ChartTexts(QChartView *view)
{
    QStringList texts;
    for (QGraphicsItem *item : view->scene()->items()) {
        if (!item->isVisible())
            continue;
        if (auto *text = dynamic_cast<QGraphicsTextItem *>(item))
            texts << text->document()->toPlainText();
    }
    return texts;
}

// The texts of a chart that it shows cut short ("…" or "..." where it ran out of room).
inline QStringList CutChartTexts(QChartView *view)
{
    QStringList cut;
    for (const QString &text : ChartTexts(view))
        if (text.contains(QStringLiteral("...")) || text.contains(QChar(0x2026)))
            cut << view->objectName() + QStringLiteral(": ") + text;
    return cut;
}

} // namespace textfits
