#pragma once

#include <QJsonArray>
#include <QJsonValue>
#include <QWebEngineView>

class QWebEngineProfile;

// One element of the browser control array: a web view with its own page on
// the program's private (off-the-record) profile. The document lives in the
// renderer; everything read or written in it goes through the page agent
// (resources/agent-*.js), called synchronously.
class BrowserElement : public QWebEngineView
{
    Q_OBJECT
public:
    BrowserElement(int index, QWidget *parent = nullptr);
    ~BrowserElement() override;

    int index() const { return m_index; }
    static QWebEngineProfile *profile();

    // Result of one call into the page. ok false: the member is missing, the
    // page threw, the renderer is gone or the call timed out; callers that may
    // skip a failing operation test ok.
    struct Result
    {
        bool ok = false;
        QJsonValue value;
        QString error;
    };

    // Calls the agent function registered under name with args, waiting in a
    // nested event loop at most timeoutMs.
    Result callAgent(const QString &name, const QJsonArray &args = {}, int timeoutMs = 10000);

    // Browser members (the meanings the program relies on).
    void Navigate2(const QString &address);
    void GoBack();
    void Stop();
    bool Busy() const;
    QString LocationURL() const;
    void setSilent(bool silent);
    bool Silent() const;

    // Element members by handle: get/set a named property ("tagname",
    // "Name", "Value", "innertext", "innerhtml", "nameprop", "pathname",
    // "onclick", "selectedindex", "border", "bgcolor"; names in any letter
    // case), Options(i) as {value, text}, and the operations "Click",
    // "focus", "SetFocus".
    Result getMember(int handle, const QString &member);
    Result setMember(int handle, const QString &member, const QJsonValue &value);
    Result option(int handle, int index);
    Result invoke(int handle, const QString &operation);

signals:
    void ProgressChange(int index, int progress, int maximum);
    void BeforeNavigate2(int index, const QString &address);
    void NavigateComplete2(int index, const QString &address);
    // Element 0 only; set processed to keep the engine from opening a window.
    void NewWindow(int index, const QString &url, bool &processed);

private:
    int m_index;
};
