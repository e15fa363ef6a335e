#include "ui/Captions.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStyle>
#include <QTextCursor>

void fitCaption(QWidget *control)
{
    int needed = 0;
    if (auto *label = qobject_cast<QLabel *>(control)) {
        needed = label->sizeHint().width();
    } else if (auto *check = qobject_cast<QCheckBox *>(control)) {
        needed = check->sizeHint().width();
    } else if (auto *button = qobject_cast<QPushButton *>(control)) {
        // The text and the style's margins, without the style's minimum
        // width for dialog buttons: the designed width holds where it can.
        QString text = button->text();
        text.remove(QLatin1Char('&'));
        const QStyle *style = button->style();
        needed = button->fontMetrics().horizontalAdvance(text)
                 + 2 * style->pixelMetric(QStyle::PM_ButtonMargin, nullptr, button)
                 + 2 * style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, button);
    }
    if (needed > control->width())
        control->resize(needed, control->height());
}

void appendFollowing(QPlainTextEdit *box, const QString &text)
{
    QScrollBar *bar = box->verticalScrollBar();
    const bool following = bar->value() >= bar->maximum();
    QTextCursor c(box->document());
    c.movePosition(QTextCursor::End);
    c.insertText(text);
    if (following)
        bar->setValue(bar->maximum());
}
