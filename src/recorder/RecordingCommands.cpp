// The Record, Manual Step, snapshot and Check buttons.
#include "recorder/Recorder.h"

#include "browsing/BrowserStack.h"
#include "script/ScriptDocument.h"

#include "core/Dialogs.h"
#include "platform/BrowserElement.h"
#include "script/ScriptWriter.h"

namespace {
// The element under the mouse keeps no highlight once recording pauses or
// ends: the page is left as it is.
void unhighlightAll(BrowserElement *b)
{
    if (b)
        b->callAgentAsync(QStringLiteral("recorderUnhighlight"), {},
                          [](const AgentResult &) {});
}
} // namespace

void Recorder::CmdRecord_Click()
{
    if (session.g.gMode == Mode::Record) {
        showPicture(MainView::Button::Record, QStringLiteral("record-off.bmp"));
        session.g.gMode = Mode::Idle;
        unhighlightAll(browser());
        return;
    }
    showPicture(MainView::Button::Record, QStringLiteral("record-on.bmp"));
    session.g.gMode = Mode::Record;
    // The page shown now is recorded at once, without a navigation.
    hookBrowser();
}

void Recorder::CmdManual_Click()
{
    if (session.g.gMode != Mode::Record)
        return;
    QString comment;
    // A manual step cannot be abandoned once started: cancelling asks again.
    do {
        comment = m_dialogs.inputBox(
            m_view ? m_view->window() : nullptr,
            QStringLiteral("Please supply comments for your manual step. Once you have done your "
                           "manual step, click on record again to continue."),
            QStringLiteral("Manual Step"), QString());
    } while (comment.isEmpty());
    script.AppendScriptLine(QStringLiteral("Special"), QStringLiteral("Manual"), QString(),
                            QString(), comment, QString());
    session.g.gMode = Mode::ManualStep;
    showPicture(MainView::Button::Record, QStringLiteral("record-off.bmp"));
    unhighlightAll(browser());
}

void Recorder::CmdSnapshot_Click()
{
    if (session.g.gMode != Mode::Record)
        return;
    const QString name = m_dialogs.inputBox(
        m_view ? m_view->window() : nullptr,
        QStringLiteral("Give your image a name. If you leave this blank, the step number will be "
                       "used"),
        QStringLiteral("Name Snapshot Image"), QString());
    script.AppendScriptLine(QStringLiteral("Special"), QStringLiteral("Snapshot"), QString(),
                            QString(), name, QString());
}

void Recorder::CmdCheck_Click()
{
    session.g.gMode = Mode::Check;
    // The Alt key can then check the element under the mouse.
    HookManager::instance().HookInstall(this, HookManager::Keyboard);
}

Recorder::Recorder(Session &session, Dialogs &dialogs, ScriptDocument &script,
                   BrowserStack &browsers, QObject *parent)
    : QObject(parent), session(session), script(script), m_dialogs(dialogs), m_browsers(browsers)
{
}

Recorder::~Recorder()
{
    removeHooks();
}

BrowserElement *Recorder::browser() const
{
    return m_browsers.browser();
}
