#include "ui/FrmLog.h"

#include "platform/Screen.h"

#include <QPlainTextEdit>
#include <QTextCursor>

FrmLog::FrmLog(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("FrmLog"));
    setWindowTitle(QStringLiteral("Playback Log"));
    resize(twipsToPixelsX(11775), twipsToPixelsY(3090));
    log = new QPlainTextEdit(this);
    log->setObjectName(QStringLiteral("log"));
    log->setGeometry(twipsRect(120, 120, 11535, 2775));
    log->setLineWrapMode(QPlainTextEdit::NoWrap);
    log->setPlainText(QStringLiteral("Text1"));
}

void FrmLog::appendText(const QString &text)
{
    QTextCursor c(log->document());
    c.movePosition(QTextCursor::End);
    c.insertText(text);
}
