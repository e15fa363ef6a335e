// The Record, Manual Step, snapshot and Check buttons.
#include "app/Kestrel.h"

#include "platform/BrowserElement.h"
#include "platform/Dialogs.h"
#include "script/ScriptWriter.h"

namespace {
// The element under the mouse keeps no highlight once recording pauses or
// ends: the page is left as it is.
void unhighlightAll(BrowserElement *b)
{
    if (b)
        b->callAgentAsync(QStringLiteral("recorderUnhighlight"), {},
                          [](const BrowserElement::Result &) {});
}
} // namespace

void Kestrel::CmdRecord_Click()
{
    if (g.gMode == QLatin1String("record")) {
        showPicture(MainView::Button::Record, QStringLiteral("record-off.bmp"));
        g.gMode.clear();
        unhighlightAll(browser());
        return;
    }
    showPicture(MainView::Button::Record, QStringLiteral("record-on.bmp"));
    g.gMode = QStringLiteral("record");
    // The page shown now is recorded at once, without a navigation.
    hookBrowser();
}

void Kestrel::CmdManual_Click()
{
    if (g.gMode != QLatin1String("record"))
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
    AppendScriptLine(*this, QStringLiteral("Special"), QStringLiteral("Manual"), QString(),
                     QString(), comment, QString());
    g.gMode = QStringLiteral("Manual step");
    showPicture(MainView::Button::Record, QStringLiteral("record-off.bmp"));
    unhighlightAll(browser());
}

void Kestrel::CmdSnapshot_Click()
{
    if (g.gMode != QLatin1String("record"))
        return;
    const QString name = m_dialogs.inputBox(
        m_view ? m_view->window() : nullptr,
        QStringLiteral("Give your image a name. If you leave this blank, the step number will be "
                       "used"),
        QStringLiteral("Name Snapshot Image"), QString());
    AppendScriptLine(*this, QStringLiteral("Special"), QStringLiteral("Snapshot"), QString(),
                     QString(), name, QString());
}

void Kestrel::CmdCheck_Click()
{
    g.gMode = QStringLiteral("check");
    // The Alt key can then check the element under the mouse.
    HookManager::instance().HookInstall(this, HookManager::Keyboard);
}
