#pragma once

#include "app/MainView.h"
#include "core/Session.h"
#include "platform/HookManager.h"
#include "platform/PageObject.h"
#include "recorder/PageEvents.h"
#include "script/PlaybackLog.h"
#include "script/ScriptDocument.h"

#include <QObject>
#include <QPointer>
#include <QSet>
#include <QTimer>
#include <QVector>

#include <memory>

class QTemporaryDir;

class BrowserElement;
class Dialogs;
class FrmLog;
class FrmFolders;

// The main window's logic: it owns the working state and the procedures that
// the other subsystems call, and reaches the window through MainView.
class Kestrel : public QObject, public IWindowsHook
{
    Q_OBJECT
public:
    explicit Kestrel(Dialogs &dialogs, QObject *parent = nullptr);
    ~Kestrel() override;

    // The state every part shares.
    Session session;
    PlaybackLog log{session.g};
    ScriptDocument script;

    Dialogs &dialogs() { return m_dialogs; }
    MainView *view() const { return m_view; }
    void setView(MainView *view);

    // The arguments joined by blanks: one script path, taken whole. Empty
    // when the arguments name no script (none, or only empty ones): the
    // interactive program. setCommandLine is the one place that decides.
    QString commandLine;
    void setCommandLine(const QStringList &args);
    static QString joinedCommandLine(const QStringList &args);
    // A script on the command line: played unattended, nobody at the window.
    bool unattended() const { return !commandLine.isEmpty(); }
    // Why path cannot be played ("does not exist", "is a folder", ...);
    // empty when it is a readable file.
    static QString scriptProblem(const QString &path);
    // Tells the person at the window's side: in an unattended run the
    // notice goes to standard error, once per kind.
    void notice(const QString &kind, const QString &text);
    // 0 passed or interactive, 1 a step failed, 2 the named file was missing
    // or could not be opened, 3 a command-line run found the default folders
    // not set.
    int exitCode = 0;

    QTimer Timer1;

    // The browser control array; element 0 always exists once the window does.
    QVector<BrowserElement *> wbMyBrowser;
    BrowserElement *browser() const { return wbMyBrowser.value(session.ix); }

    // Start-up: false when the program must end at once (missing script).
    bool Form_Load();
    // The command-line run that start-up ends with, once the window is shown.
    void startCommandLineRun();
    void Form_Resize();
    void Form_Activate();
    void Form_Deactivate();
    void Form_QueryUnload();
    void closedown();
    void MnuAbout_Click();
    void mnuFolders_Click();
    void Timer1_Timer();

    // Shows the picture file of the program's folder on a picture button.
    void showPicture(MainView::Button button, const QString &fileName);
    // Brings the window's signs of the mode (check armed) up to date.
    void showModeSigns();
    // The program's own folder, where the button pictures are.
    static QString programDir();
    // The address of the help page Kestrel serves itself.
    static QString helpPageUrl();

    // Procedures of the other subsystems that start-up calls.
    // Opens url in wbMyBrowser(ix) and returns once it is no longer busy.
    void GoToPage(const QString &url);
    void DoPlay();

    // Browsing (src/browsing): the address bar, the page-load notifications
    // of every element, and pop-ups.
    void CmdGo_Click();
    void TxtURL_KeyDown(int KeyCode, int Shift);
    void CmdBack_Click();
    void CmdBrowserStop_Click();
    void wbMyBrowser_ProgressChange(int Index, int Progress, int ProgressMax);
    void wbMyBrowser_BeforeNavigate2(int Index, const QString &URL);
    void wbMyBrowser_NavigateComplete2(int Index, const QString &URL);
    // The shown page changed its address itself (pushState, a fragment).
    void wbMyBrowser_LocationChanged(int Index, const QString &URL);
    void Web_V1_NewWindow(const QString &URL, bool &Processed);
    void ClosePopup();
    void CmdClose_Click();
    // Subscribes to an element's notifications (element 0: also new windows).
    void connectBrowser(BrowserElement *b);
    // The help page scheme and the page dialogs; once, by the constructor.
    void initBrowsing();
    // Go or Enter in the address box while recording: its "URL" line is
    // written once the new document exists, before anything done on it.
    bool urlLinePending = false;

    // Page instrumentation (src/recorder): after every completed navigation
    // and when recording is switched on.
    void hookBrowser();

    // Recorder (src/recorder).
    // Called by name by the page forwarders ("main", the event name) and by
    // the keyboard hook ("", "altkey").
    Q_INVOKABLE void ProcessWebEvent(QString sWebObject, QString sWebMethod);
    void CmdRecord_Click();
    void CmdManual_Click();
    void CmdSnapshot_Click();
    void CmdCheck_Click();
    // The forwarders on the browser elements' documents and their reports.
    PageEvents pageEvents;
    // The element last handled by the event recorder.
    PageObject webobj;

    // Windows that exist once, created on first use.
    FrmLog *frmLog();
    // Appends to the text of the Playback Log window, creating it hidden.
    void appendLogText(const QString &text);
    FrmFolders *frmFolders();

    // Mouse recording and the Alt-key check (src/recorder).
    void ChkWindowsEvent_Click();
    int HookProc(int eType, int nCode, int wParam, qintptr lParam, bool &bConsume) override;

    // Player (src/player): playback control, the step interpreter, object
    // location and checks, screen capture.
    void CmdStop_Click();
    PageObject getWebObject(const QString &event_object, const QString &event_tagname,
                            const QString &event_value, const QString &event_value2);
    bool checkObject(const PageObject &obj, const QString &ev_tag, const QString &ev_obj,
                     const QString &ev_val);
    bool docheck(const QString &event_object, const QString &event_tagname,
                 const QString &event_value, const QString &event_value2);
    void screenshot();
    // A bitmap of the screen at path. False, with the reason in errorText, when
    // no image could be taken or written; then no file is left behind.
    bool SaveScreenImage(const QString &path, QString *errorText = nullptr);
    // Set once a command-line run has ended and the program is closing.
    bool commandLineRunEnded = false;
    // Stop was pressed while a step was running: the step's waits end.
    bool stopDuringStep = false;

signals:
    // The main window must close (end of a command-line run, Exit).
    void closeRequested();
    // The main window has closed: the program ends with it.
    void mainWindowClosed();

private:
    // Closes the log and main windows and leaves the event loop.
    void endCommandLineRun();

    Dialogs &m_dialogs;
    MainView *m_view = nullptr;
    // The log window is owned by the main window once that exists.
    QPointer<FrmLog> m_frmLog;
    QPointer<FrmFolders> m_frmFolders;
    // The working copy of an unattended run: its own, removed at exit.
    std::unique_ptr<QTemporaryDir> m_privateFolder;
    QSet<QString> m_noticesGiven;
};
