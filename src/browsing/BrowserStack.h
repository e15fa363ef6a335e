#pragma once

#include <QObject>
#include <QString>
#include <QVector>

class BrowserElement;
class Dialogs;
class MainView;
class ScriptDocument;
struct Session;

// The browser elements of the main window: element 0 and the pop-ups stacked
// over it, the address bar, GoToPage and the page-load notifications. Every
// operation acts on the element shown now, wbMyBrowser(ix), whichever
// element raised the notification.
class BrowserStack : public QObject
{
    Q_OBJECT
public:
    BrowserStack(Session &session, Dialogs &dialogs, ScriptDocument &script,
                 QObject *parent = nullptr);
    ~BrowserStack() override;

    void setView(MainView *view) { m_view = view; }

    // The browser control array; element 0 always exists once the window does.
    QVector<BrowserElement *> wbMyBrowser;
    BrowserElement *browser() const;

    // Opens url in wbMyBrowser(ix) and returns once it is no longer busy.
    void GoToPage(const QString &url);
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

    // The address of the help page Kestrel serves itself.
    static QString helpPageUrl();

signals:
    // Some element starts loading a page.
    void navigationStarting();
    // Some element has its new document: the recorder instruments it.
    void navigated();

private:
    bool silentTicked() const;
    void applySilent();
    void writeUrlLine(const QString &fallback);
    void goAndRecord(const QString &address);

    Session &m_session;
    Dialogs &m_dialogs;
    ScriptDocument &m_script;
    MainView *m_view = nullptr;
    // Go or Enter in the address box while recording: its "URL" line is
    // written once the new document exists, before anything done on it.
    bool m_urlLinePending = false;
};
