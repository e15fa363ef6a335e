#pragma once

#include "core/Session.h"
#include "platform/HookManager.h"
#include "platform/MainView.h"
#include "platform/PageObject.h"
#include "recorder/PageEvents.h"

#include <QObject>
#include <QString>

class BrowserElement;
class BrowserStack;
class Dialogs;
class ScriptDocument;

// Records what the tester does: the page's events (through forwarders on
// every document), the Record, Manual Step, snapshot and Check commands, and
// mouse presses and the Alt key through the hook manager.
class Recorder : public QObject, public IWindowsHook
{
    Q_OBJECT
public:
    Recorder(Session &session, Dialogs &dialogs, ScriptDocument &script, BrowserStack &browsers,
             QObject *parent = nullptr);
    ~Recorder() override;

    void setView(MainView *view) { m_view = view; }
    BrowserElement *browser() const;

    Session &session;
    ScriptDocument &script;

    // Page instrumentation: after every completed navigation and when
    // recording is switched on.
    void hookBrowser();
    // Called by the page forwarders ("main", the event name) and by the
    // keyboard hook ("", "altkey").
    void ProcessWebEvent(QString sWebObject, QString sWebMethod);
    void CmdRecord_Click();
    void CmdManual_Click();
    void CmdSnapshot_Click();
    void CmdCheck_Click();
    // The forwarders on the browser elements' documents and their reports.
    PageEvents pageEvents;
    // The element last handled by the event recorder.
    PageObject webobj;

    // Mouse recording and the Alt-key check.
    void ChkWindowsEvent_Click();
    // A page is about to load: no presses are recorded until it is hooked.
    void stopMouseHook();
    // The window goes: no hooks outlive it.
    void removeHooks();
    int HookProc(int eType, int nCode, int wParam, const HookInfo &info, bool &bConsume) override;

signals:
    void pictureChanged(MainView::Button button, const QString &fileName);

private:
    void showPicture(MainView::Button button, const QString &fileName)
    {
        emit pictureChanged(button, fileName);
    }

    Dialogs &m_dialogs;
    BrowserStack &m_browsers;
    MainView *m_view = nullptr;
};
