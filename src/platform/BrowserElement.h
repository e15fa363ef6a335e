#pragma once

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QPointer>
#include <QTimer>
#include <QUrl>
#include <QWebEngineView>

#include "core/Result.h"

#include <functional>

class QWebEngineProfile;
class QWebEngineNewWindowRequest;
class AgentPage;

// A call into the page: the agent's value, or why it failed (the member is
// missing, the page threw, the renderer is gone or the call timed out).
class AgentResult : public Result<QJsonValue>
{
public:
    AgentResult(QJsonValue value) : Result(std::move(value)) {}
    static AgentResult failure(QString error, bool noAnswer = false)
    {
        AgentResult r;
        r.m_error = std::move(error);
        r.m_noAnswer = noAnswer;
        return r;
    }
    // The page did not answer in time (a script that does not end), now or
    // at an earlier call that it has not answered since.
    bool noAnswer() const { return m_noAnswer; }

private:
    AgentResult() = default;
    bool m_noAnswer = false;
};

// One element of the browser control array: a web view with its own page on
// the program's private (off-the-record) profile. The document lives in the
// renderer; everything read or written in it goes through the page agent
// (resources/agent-*.js), called synchronously.
//
// The page agent. resources/agent-core.js, then agent-recorder.js, then
// agent-player.js are injected in that order into every top-level document
// before the page's own scripts run. agent-core defines the frozen object
// window.__kestrel:
//   define(name, fn)   registers fn for callAgent(name, args); args is the
//                      JSON array, spread into fn's parameters; fn's result
//                      (anything JSON can carry; undefined becomes null) is
//                      the call's value(), a thrown error its error(). A name
//                      can be defined once per document.
//   handle(el)         the handle (a number > 0) of an element, 0 for none;
//   element(h)         the element of a handle (throws when there is none);
//   get(el, member), set(el, member, value), invoke(el, operation)
//                      the members below, by name in any letter case;
//   matching(tag, identity, limit)
//                      every element the search accepts, in search order:
//                      document order, an open shadow root's elements right
//                      after its host (closed roots are not searched); an
//                      element matches by tag name (upper case) and identity
//                      (IMG: nameprop, SELECT and INPUT: Name, A and other
//                      tags: innerhtml without HTML comments, compared with
//                      the identity without comments); at most limit of them;
//   findElement(tag, identity, value, hint)
//                      the element a recorded line means, as
//                      {handle, matches, defaulted, content}: of several
//                      matches, an INPUT line prefers the buttons, radios and
//                      boxes whose value is the line's value; a hint "#id"
//                      picks the match with that id, "@n" the n-th of all
//                      matches; otherwise the first (defaulted true when that
//                      was a guess). content is a text-like INPUT's value or a
//                      SELECT's chosen index as text, null for other tags.
// Results are serialised by the agent itself (plain data only); handles are
// held weakly, so the handle of an element the page dropped may become no
// element. Functions registered by agent-core: "get", "set" and "option"
// (handle, member[, value]; handle, index), "invoke" (handle, operation),
// "length" and "item" (the document's all collection), "findElement",
// "findLineElement" (the element of a recorded line's fields) and "ready".
// Members (names in any letter case): "tagname", "Name", "Value",
// "innertext", "innerhtml", "nameprop", "pathname", "onclick",
// "selectedindex", "border", "bgcolor"; option(i) gives {value, text};
// operations "Click", "focus", "SetFocus". Meanings: tagname in upper case;
// nameprop the file name of the picture's (or link's) address; pathname the
// link's path without its leading "/"; onclick true when the element has a
// click handler of its own and null when not; border and bgcolor the visible
// border width and background colour ("#rrggbb", "" for none) of any element,
// written through its inline style, and writing back the value read before
// the first write restores the inline style exactly. Example for another agent
// file:
//   window.__kestrel.define('valueOf', function (h) {
//       return window.__kestrel.get(window.__kestrel.element(h), 'Value');
//   });
// and in C++: browser->callAgent("valueOf", {handle}).
class BrowserElement : public QWebEngineView
{
    Q_OBJECT
public:
    BrowserElement(int index, QWidget *parent = nullptr);
    ~BrowserElement() override;

    int index() const { return m_index; }
    static QWebEngineProfile *profile();

    // Calls the agent function registered under name with args, waiting in a
    // nested event loop at most timeoutMs. Never hangs: a page that does not
    // answer in time (a script in an endless loop, a dead renderer) gives an
    // error, and later calls fail at once until the page answers again.
    AgentResult callAgent(const QString &name, const QJsonArray &args = {}, int timeoutMs = 10000);
    // The same without waiting: done gets the result when the page answers
    // (an error at once when it cannot). For callers inside the engine's own
    // notifications (NavigateComplete2), where a waiting call would never be
    // answered.
    void callAgentAsync(const QString &name, const QJsonArray &args,
                        std::function<void(const AgentResult &)> done);

    // Browser members (the meanings the program relies on).
    // An address without a scheme is completed the way a browser's address
    // bar does it ("example.org" opens http://example.org/); an empty one
    // opens a blank page.
    void Navigate2(const QString &address);
    // Does nothing when there is no earlier page.
    void GoBack();
    // Stops loading and ends Busy at once.
    void Stop();
    // From the start of a top-level navigation until its page is ready for
    // input (loaded and rendered twice), or it was stopped or failed.
    bool Busy() const;
    // The page's renderer has crashed or was ended since its last navigation.
    bool rendererGone() const { return m_rendererGone; }
    QString LocationURL() const;
    void setSilent(bool silent);
    bool Silent() const;
    bool Visible() const { return !isHidden(); }
    // Placement in the main window, in twips.
    int Left() const;
    int Top() const;
    int Width() const;
    int Height() const;

    // The element a recorded line means, from the line's fields: the agent
    // picks the identity (Object for IMG, A, SELECT and INPUT, else Value).
    AgentResult locateLine(const QString &tag, const QString &object, const QString &value,
                           const QString &hint);

    // Page dialogs (alert, confirm, prompt) when Silent is off. Without a
    // handler they are answered as if Silent were on; they never wait for a
    // person unless the handler does. Returns the user's answer: for Confirm
    // and Prompt true for OK; *text is the prompt's answer.
    enum class PageDialog { Alert, Confirm, Prompt };
    using PageDialogHandler = std::function<bool(BrowserElement *browser, PageDialog kind,
                                                 const QString &message,
                                                 const QString &defaultText, QString *text)>;
    static void setPageDialogHandler(PageDialogHandler handler);

    // Increases with every new top-level document; handles of an older one
    // are stale. Counted when the document is created, before its own
    // scripts have run.
    int documentSerial() const { return m_documentSerial; }
    // Increases when the page reports a change of its content (only while
    // the agent's "playerWatchChanges" is on), a new document or a new
    // address: what a wait for an element to appear waits on.
    quint64 pageChanges() const { return m_pageChanges; }
    // Increases when the page reports that it has handled input the player
    // sent (a trusted click or key, or "playerSettle") and rendered a frame
    // after it; inputNavigates() tells whether the last such input started
    // the loading of another document.
    quint64 inputsReported() const { return m_inputsReported; }
    bool inputNavigates() const { return m_inputNavigates; }

signals:
    void ProgressChange(int index, int progress, int maximum);
    void BeforeNavigate2(int index, const QString &address);
    // Once per top-level navigation, as soon as the new document exists
    // (its scripts may still be loading; the page can be used already), or
    // once an error page has loaded; before Busy turns false.
    void NavigateComplete2(int index, const QString &address);
    // The page changed its address without loading a document
    // (history.pushState or replaceState, a new fragment, popstate).
    void LocationChanged(int index, const QString &address);
    // Element 0 only; set processed to keep the engine from opening a window.
    // A window requested by any other element opens in that element.
    void NewWindow(int index, const QString &url, bool &processed);
    // A recorder forwarder of this element's document reported an event
    // (platform/PageBridge.h).
    void PageEvent(int index, const QString &token, const QJsonObject &snapshot);

private:
    friend class AgentPage;
    void attachPage();
    void beginRequest();
    void probeRenderer(const QUrl &url);
    void onLoadStarted();
    void onUrlChanged();
    void onLoadProgress(int progress);
    void onLoadFinished(bool ok);
    void onAgentMessage(const QString &event, double timeOrigin);
    void onNewWindowRequested(QWebEngineNewWindowRequest &request);
    void onRendererTerminated();
    void completeNavigation();
    void completeWithinDocument(quint64 request);
    void pollReady();
    void endBusy();
    bool pageDialog(PageDialog kind, const QString &message, const QString &defaultText,
                    QString *text);

    int m_index;
    AgentPage *m_page = nullptr;
    bool m_silent = false;
    bool m_busy = false;
    bool m_completed = true;   // NavigateComplete2 sent for this navigation
    bool m_loadDone = false;   // the engine reported the end of the load
    bool m_unresponsive = false;
    bool m_rendererGone = false;
    bool m_inNewWindow = false;
    bool m_started = false;     // the engine has started the requested load
    bool m_pollPending = false;
    int m_dialogDepth = 0;      // page dialogs being shown now
    int m_documentSerial = 0;
    quint64 m_navSerial = 0;
    quint64 m_pageChanges = 0;
    quint64 m_inputsReported = 0;
    bool m_inputNavigates = false;
    quint64 m_requestSerial = 0;
    qint64 m_navStartedMs = 0;
    qint64 m_newWindowQuietUntil = 0;
    QUrl m_reportedUrl; // the address last reported to the subscribers
    QElapsedTimer m_readySince;
    QElapsedTimer m_dialogEnded;
    QTimer m_readyPoll;
    QTimer m_startWatch;
    QList<QMetaObject::Connection> m_pageConnections;
};
