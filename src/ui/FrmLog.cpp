#include "ui/FrmLog.h"

#include "platform/Screen.h"
#include "ui/Captions.h"

#include <QPlainTextEdit>
#include <QTextCursor>

// A tool window of the main window: the window manager keeps it above its
// owner, and showing it leaves the focus where it is (web steps type into
// the window that has it).
FrmLog::FrmLog(QWidget *parent) : QWidget(parent, Qt::Tool)
{
    setAttribute(Qt::WA_ShowWithoutActivating);
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
    appendFollowing(log, text);
}
