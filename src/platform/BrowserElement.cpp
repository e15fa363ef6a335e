#include "platform/BrowserElement.h"

#include "platform/PageBridge.h"
#include "platform/Screen.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QEventLoop>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUuid>
#include <QWebEngineHistory>
#include <QWebEngineLoadingInfo>
#include <QWebEngineNewWindowRequest>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineSettings>

#include <memory>

static void initAgentResources()
{
    Q_INIT_RESOURCE(resources);
}

namespace {

// A page that has not reported readiness this long after its load ended is
// taken as ready (a page whose renderer is stuck, one that renders no frames).
constexpr int kReadyCapMs = 3000;
// A navigation the engine never starts (an address it refuses) ends Busy.
constexpr int kStartWatchMs = 3000;
// A navigation request that changed the address without a load after this
// long stayed within its document.
constexpr int kSameDocumentMs = 50;
// A request of element 0 this soon after the last one (opened or dropped)
// belongs to the same series, which opens one window.
constexpr int kNewWindowQuietMs = 250;
// How long a renderer suspected of being stuck may take to answer.
constexpr int kProbeMs = 1500;

BrowserElement::PageDialogHandler &dialogHandler()
{
    static BrowserElement::PageDialogHandler handler;
    return handler;
}

// Marks the agent's notifications on the console; secret to the page.
const QString &agentToken()
{
    static const QString token = QStringLiteral("\x01kestrel-")
                                 + QUuid::createUuid().toString(QUuid::WithoutBraces)
                                 + QLatin1Char(':');
    return token;
}

QString readResource(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(f.readAll());
}

const QList<QWebEngineScript> &agentScripts()
{
    static const QList<QWebEngineScript> scripts = [] {
        initAgentResources();
        QList<QWebEngineScript> list;
        for (const char *part : {"core", "recorder", "player"}) {
            const QString path = QStringLiteral(":/kestrel/agent-%1.js").arg(QLatin1String(part));
            QString source = readResource(path);
            if (source.isEmpty())
                continue;
            source.replace(QStringLiteral("@@KESTREL_TOKEN@@"), agentToken());
            // The recorder's channel client, inside the recorder's closure
            // where the page cannot replace it.
            source.replace(QStringLiteral("/*@@QWEBCHANNEL@@*/"),
                           readResource(QStringLiteral(":/qtwebchannel/qwebchannel.js")));
            QWebEngineScript s;
            s.setName(QStringLiteral("kestrel-agent-%1").arg(QLatin1String(part)));
            s.setSourceCode(source);
            s.setInjectionPoint(QWebEngineScript::DocumentCreation);
            s.setWorldId(QWebEngineScript::MainWorld);
            s.setRunsOnSubFrames(false);
            list << s;
        }
        return list;
    }();
    return scripts;
}

QString jsonLiteral(const QJsonValue &v)
{
    // A one-element array is valid JSON for any value; strip its brackets.
    const QByteArray a = QJsonDocument(QJsonArray{v}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(a.mid(1, a.size() - 2));
}

// The script that runs one agent function; its value is the JSON answer.
QString agentCall(const QString &name, const QJsonArray &args)
{
    return QStringLiteral("(function(){try{var a=window.__kestrel;"
                          "if(!a||typeof a.call!=='function')"
                          "return '{\"ok\":false,\"error\":\"no page agent in this document\"}';"
                          "return a.call(%1,%2);}catch(e){"
                          "return '{\"ok\":false,\"error\":\"the page agent failed\"}';}})()")
        .arg(jsonLiteral(name), QString::fromUtf8(QJsonDocument(args).toJson(QJsonDocument::Compact)));
}

const QString kRendererGone = QStringLiteral("the page's renderer has ended");
const QString kNotResponding = QStringLiteral("the page is not responding");

AgentResult agentResult(const QVariant &answer)
{
    if (answer.typeId() != QMetaType::QString)
        return AgentResult::failure(QStringLiteral("no page agent in this document"));
    const QJsonObject o = QJsonDocument::fromJson(answer.toString().toUtf8()).object();
    if (o.value(QLatin1String("ok")).toBool())
        return AgentResult(o.value(QLatin1String("value")));
    return AgentResult::failure(
        o.value(QLatin1String("error")).toString(QStringLiteral("the page agent failed")));
}

} // namespace

// The page of one browser element: the agent, the page dialogs, the agent's
// notifications, and no windows of the engine's own.
class AgentPage : public QWebEnginePage
{
public:
    AgentPage(QWebEngineProfile *profile, BrowserElement *owner)
        : QWebEnginePage(profile, owner), m_owner(owner)
    {
        for (const QWebEngineScript &s : agentScripts())
            scripts().insert(s);
        // An address of an unknown scheme must not start another program.
        settings()->setUnknownUrlSchemePolicy(QWebEngineSettings::DisallowUnknownUrlSchemes);
        settings()->setAttribute(QWebEngineSettings::JavascriptCanOpenWindows, true);
        settings()->setAttribute(QWebEngineSettings::ErrorPageEnabled, true);
    }

protected:
    QWebEnginePage *createWindow(WebWindowType) override
    {
        // Requests were handled by newWindowRequested; nothing else opens.
        return nullptr;
    }

    void javaScriptAlert(const QUrl &, const QString &msg) override
    {
        m_owner->pageDialog(BrowserElement::PageDialog::Alert, msg, QString(), nullptr);
    }

    bool javaScriptConfirm(const QUrl &, const QString &msg) override
    {
        return m_owner->pageDialog(BrowserElement::PageDialog::Confirm, msg, QString(), nullptr);
    }

    bool javaScriptPrompt(const QUrl &, const QString &msg, const QString &defaultValue,
                          QString *result) override
    {
        return m_owner->pageDialog(BrowserElement::PageDialog::Prompt, msg, defaultValue, result);
    }

    QStringList chooseFiles(FileSelectionMode mode, const QStringList &oldFiles,
                            const QStringList &acceptedMimeTypes) override
    {
        if (m_owner->Silent())
            return {};
        return QWebEnginePage::chooseFiles(mode, oldFiles, acceptedMimeTypes);
    }

    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel level, const QString &message,
                                  int lineNumber, const QString &sourceID) override
    {
        if (message.startsWith(agentToken())) {
            const QJsonObject o =
                QJsonDocument::fromJson(message.mid(agentToken().size()).toUtf8()).object();
            m_owner->onAgentMessage(o.value(QLatin1String("ev")).toString(),
                                    o.value(QLatin1String("t")).toDouble());
            return;
        }
        QWebEnginePage::javaScriptConsoleMessage(level, message, lineNumber, sourceID);
    }

private:
    BrowserElement *m_owner;
};

QWebEngineProfile *BrowserElement::profile()
{
    // Off the record: a test run leaves no cookies or cache behind and is not
    // influenced by an earlier one.
    static QWebEngineProfile *p = new QWebEngineProfile(QCoreApplication::instance());
    return p;
}

void BrowserElement::setPageDialogHandler(PageDialogHandler handler)
{
    dialogHandler() = std::move(handler);
}

BrowserElement::BrowserElement(int index, QWidget *parent)
    : QWebEngineView(parent), m_index(index)
{
    attachPage();
    m_readyPoll.setInterval(16);
    connect(&m_readyPoll, &QTimer::timeout, this, &BrowserElement::pollReady);
    m_startWatch.setSingleShot(true);
    m_startWatch.setInterval(kStartWatchMs);
    connect(&m_startWatch, &QTimer::timeout, this, [this] {
        if (m_busy && !m_started && !m_page->isLoading())
            endBusy();
    });
}

void BrowserElement::attachPage()
{
    AgentPage *old = m_page;
    // The old page's notifications no longer concern this element.
    for (const QMetaObject::Connection &c : std::as_const(m_pageConnections))
        disconnect(c);
    m_page = new AgentPage(profile(), this);
    PageBridge::install(this, m_page);
    m_pageConnections = {
        connect(m_page, &QWebEnginePage::loadingChanged, this,
                [this](const QWebEngineLoadingInfo &info) {
                    if (info.status() == QWebEngineLoadingInfo::LoadStartedStatus)
                        onLoadStarted();
                    else
                        onLoadFinished(info.status()
                                       == QWebEngineLoadingInfo::LoadSucceededStatus);
                }),
        connect(m_page, &QWebEnginePage::loadProgress, this, &BrowserElement::onLoadProgress),
        connect(m_page, &QWebEnginePage::renderProcessTerminated, this,
                &BrowserElement::onRendererTerminated),
        connect(m_page, &QWebEnginePage::newWindowRequested, this,
                &BrowserElement::onNewWindowRequested),
        connect(m_page, &QWebEnginePage::urlChanged, this, &BrowserElement::onUrlChanged),
    };
    setPage(m_page);
    // It may be inside one of its own callbacks, so it goes later.
    if (old)
        old->deleteLater();
    m_rendererGone = false;
    m_unresponsive = false;
    m_loadDone = true;
    m_completed = true;
    m_started = false;
    m_pollPending = false;
    ++m_navSerial;
}

BrowserElement::~BrowserElement()
{
    // The page must go before the view that shows it.
    AgentPage *p = m_page;
    m_page = nullptr;
    for (const QMetaObject::Connection &c : std::as_const(m_pageConnections))
        disconnect(c);
    delete p;
}

// ---- navigation -----------------------------------------------------------

void BrowserElement::Navigate2(const QString &address)
{
    const QString text = address.trimmed();
    QUrl url = text.isEmpty() ? QUrl(QStringLiteral("about:blank")) : QUrl::fromUserInput(text);
    if (!url.isValid())
        url = QUrl(QStringLiteral("about:blank"));
    // A page whose renderer is stuck in a script cannot be navigated away
    // from; its page is replaced (its history goes with it).
    if (m_unresponsive)
        attachPage();
    const bool suspect = !m_loadDone && !m_rendererGone;
    beginRequest();
    m_page->load(url);
    if (suspect)
        probeRenderer(url);
}

void BrowserElement::probeRenderer(const QUrl &url)
{
    // The last load never ended (stopped, or stuck in a script): if the
    // renderer does not answer and the new load gets nowhere, start afresh.
    auto alive = std::make_shared<bool>(false);
    const quint64 serial = m_requestSerial;
    m_page->runJavaScript(QStringLiteral("1"), QWebEngineScript::MainWorld,
                          [alive](const QVariant &) { *alive = true; });
    QPointer<BrowserElement> self(this);
    QTimer::singleShot(kProbeMs, this, [self, alive, serial, url] {
        // Gone, alive, done, or replaced by a later request: nothing to do.
        if (!self || *alive || !self->m_busy || self->m_loadDone || self->m_completed
            || serial != self->m_requestSerial)
            return;
        self->attachPage();
        self->beginRequest();
        self->m_page->load(url);
    });
}

void BrowserElement::GoBack()
{
    if (!m_page->history()->canGoBack())
        return;
    beginRequest();
    m_page->triggerAction(QWebEnginePage::Back);
}

void BrowserElement::beginRequest()
{
    // Busy from the request on, so a wait started right after it waits.
    ++m_requestSerial;
    m_busy = true;
    m_started = false;
    // The document shown may have been reported already (it is reported as
    // soon as it exists); this request has reported nothing yet.
    m_completed = false;
    m_navStartedMs = QDateTime::currentMSecsSinceEpoch();
    m_startWatch.start();
}

void BrowserElement::Stop()
{
    m_page->triggerAction(QWebEnginePage::Stop);
    endBusy();
}

bool BrowserElement::Busy() const { return m_busy; }

QString BrowserElement::LocationURL() const
{
    return m_page ? m_page->url().toString() : QString();
}

void BrowserElement::setSilent(bool silent) { m_silent = silent; }
bool BrowserElement::Silent() const { return m_silent; }

// Measured in the main window, not in the area the elements are stacked in.
int BrowserElement::Left() const { return qRound(mapTo(window(), QPoint(0, 0)).x() * twipsPerPixelX()); }
int BrowserElement::Top() const { return qRound(mapTo(window(), QPoint(0, 0)).y() * twipsPerPixelY()); }
int BrowserElement::Width() const { return qRound(width() * twipsPerPixelX()); }
int BrowserElement::Height() const { return qRound(height() * twipsPerPixelY()); }

void BrowserElement::onLoadStarted()
{
    if (!m_busy || m_started)
        m_navStartedMs = QDateTime::currentMSecsSinceEpoch();
    m_busy = true;
    m_started = true;
    m_completed = false;
    m_loadDone = false;
    m_rendererGone = false;
    ++m_navSerial;
    m_readyPoll.stop();
    m_startWatch.stop();
    emit BeforeNavigate2(m_index, m_page->requestedUrl().toString());
}

void BrowserElement::onUrlChanged()
{
    if (!m_busy || m_completed) {
        // The shown document changed its own address, as single-page apps do
        // (or the address of a document already reported settled).
        if (m_page->url() != m_reportedUrl) {
            m_reportedUrl = m_page->url();
            ++m_pageChanges;
            emit LocationChanged(m_index, LocationURL());
        }
        if (!m_busy)
            return;
    }
    // A requested navigation within the document (to a fragment, back over
    // a pushState) loads nothing: it is complete once the address changed.
    if (m_started)
        return;
    const quint64 request = m_requestSerial;
    QTimer::singleShot(kSameDocumentMs, this, [this, request] { completeWithinDocument(request); });
}

void BrowserElement::completeWithinDocument(quint64 request)
{
    if (!m_busy || m_started || request != m_requestSerial || m_page->isLoading())
        return;
    emit BeforeNavigate2(m_index, LocationURL());
    completeNavigation();
    endBusy();
}

void BrowserElement::onLoadProgress(int progress)
{
    // After the end of a load only the final (0, 0) may reach the callers.
    if (m_busy && !m_loadDone)
        emit ProgressChange(m_index, progress, 100);
}

void BrowserElement::onAgentMessage(const QString &event, double timeOrigin)
{
    // Any message shows that the renderer is working again.
    m_unresponsive = false;
    if (event == QLatin1String("chg")) {
        ++m_pageChanges;
        return;
    }
    if (event == QLatin1String("inp") || event == QLatin1String("nav")) {
        ++m_inputsReported;
        m_inputNavigates = event == QLatin1String("nav");
        return;
    }
    // Back or Forward within the document, also over entries that kept the
    // address (pushState with state only), which change no address.
    if (event == QLatin1String("pop")) {
        if (m_busy && !m_started)
            completeWithinDocument(m_requestSerial);
        return;
    }
    // "doc": the agent runs as the document is created, before any of the
    // page's own scripts; a page whose scripts take long to load is shown
    // and clickable from then on, so it is reported (and instrumented) at
    // once. "dcl" stands in should the first report have been missed.
    if ((event != QLatin1String("doc") && event != QLatin1String("dcl")) || m_completed
        || !m_started)
        return;
    // Only the document of this navigation counts, not the one it replaces.
    if (timeOrigin + 250 < static_cast<double>(m_navStartedMs))
        return;
    completeNavigation();
}

void BrowserElement::onLoadFinished(bool)
{
    if (!m_started && m_busy)
        return; // the end of a load that a new request has replaced
    m_loadDone = true;
    m_unresponsive = false;
    const quint64 serial = m_navSerial;
    if (!m_completed)
        completeNavigation();
    // A handler of NavigateComplete2 may have started another navigation.
    if (serial != m_navSerial || !m_busy)
        return;
    m_readySince.start();
    m_pollPending = false;
    m_readyPoll.start();
    pollReady();
}

void BrowserElement::completeNavigation()
{
    m_completed = true;
    m_reportedUrl = m_page->url();
    ++m_documentSerial;
    ++m_pageChanges;
    emit NavigateComplete2(m_index, LocationURL());
}

void BrowserElement::pollReady()
{
    if (!m_busy || !m_loadDone) {
        m_readyPoll.stop();
        return;
    }
    if (m_dialogDepth > 0)
        m_readySince.restart();
    if (m_readySince.elapsed() > kReadyCapMs) {
        // No answer at all: the page's script is stuck.
        if (m_pollPending)
            m_unresponsive = true;
        endBusy();
        return;
    }
    if (m_pollPending)
        return;
    m_pollPending = true;
    const quint64 serial = m_navSerial;
    QPointer<BrowserElement> self(this);
    m_page->runJavaScript(
        QStringLiteral("(function(){var a=window.__kestrel;"
                       "return a?a.call('ready',[]):'none';})()"),
        QWebEngineScript::MainWorld, [self, serial](const QVariant &v) {
            if (!self || serial != self->m_navSerial)
                return;
            self->m_pollPending = false;
            self->m_unresponsive = false;
            const QString s = v.toString();
            bool ready = v.typeId() != QMetaType::QString || s == QLatin1String("none");
            if (!ready) {
                const QJsonObject o = QJsonDocument::fromJson(s.toUtf8()).object();
                ready = !o.value(QLatin1String("ok")).toBool()
                        || o.value(QLatin1String("value")).toBool();
            }
            if (ready && self->m_loadDone)
                self->endBusy();
        });
}

void BrowserElement::endBusy()
{
    m_readyPoll.stop();
    m_startWatch.stop();
    if (!m_busy)
        return;
    m_busy = false;
    m_started = false;
    emit ProgressChange(m_index, 0, 0);
}

void BrowserElement::onRendererTerminated()
{
    m_rendererGone = true;
    m_unresponsive = false;
    m_loadDone = true;
    endBusy();
}

void BrowserElement::onNewWindowRequested(QWebEngineNewWindowRequest &request)
{
    // The engine's own window is never opened (createWindow gives none); the
    // address goes to element 0's subscriber or opens in this element. Later,
    // outside the engine's notification, since the handler waits for loads.
    const QString url = request.requestedUrl().toString();
    QTimer::singleShot(0, this, [this, url] {
        if (m_index != 0) {
            Navigate2(url);
            return;
        }
        // A page that opens windows in a loop gets one: requests made while
        // one opens, or in a quick series right after it, are dropped.
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        if (m_inNewWindow || now < m_newWindowQuietUntil) {
            m_newWindowQuietUntil = now + kNewWindowQuietMs;
            return;
        }
        m_inNewWindow = true;
        QPointer<BrowserElement> self(this);
        bool processed = false;
        emit NewWindow(m_index, url, processed);
        if (!self)
            return;
        m_inNewWindow = false;
        m_newWindowQuietUntil = QDateTime::currentMSecsSinceEpoch() + kNewWindowQuietMs;
        if (!processed)
            Navigate2(url);
    });
}

// ---- page dialogs ---------------------------------------------------------

bool BrowserElement::pageDialog(PageDialog kind, const QString &message,
                                const QString &defaultText, QString *text)
{
    const PageDialogHandler handler = dialogHandler();
    if (m_silent || !handler) {
        // Alert dismissed, confirm accepted, prompt given its default.
        if (text)
            *text = defaultText;
        return true;
    }
    QString answer = defaultText;
    // The time a person takes to answer is not the page being stuck.
    QPointer<BrowserElement> self(this);
    ++m_dialogDepth;
    const bool ok = handler(this, kind, message, defaultText, &answer);
    if (self) {
        --m_dialogDepth;
        m_dialogEnded.start();
    }
    if (text)
        *text = answer;
    return ok;
}

// ---- page agent -----------------------------------------------------------

AgentResult BrowserElement::callAgent(const QString &name, const QJsonArray &args,
                                                 int timeoutMs)
{
    if (m_rendererGone)
        return AgentResult::failure(kRendererGone);
    if (m_unresponsive)
        return AgentResult::failure(kNotResponding, true);

    struct Call
    {
        QEventLoop *loop = nullptr;
        bool done = false;
        QVariant value;
    };
    auto call = std::make_shared<Call>();
    QPointer<BrowserElement> self(this);
    const QString script = agentCall(name, args);

    QEventLoop loop;
    call->loop = &loop;
    m_page->runJavaScript(script, QWebEngineScript::MainWorld, [call, self](const QVariant &v) {
        call->done = true;
        call->value = v;
        if (call->loop)
            call->loop->quit();
        else if (self)
            self->m_unresponsive = false; // a late answer: the page is working again
    });
    if (!call->done) {
        QTimer timer;
        timer.setSingleShot(true);
        connect(&timer, &QTimer::timeout, &loop, [&timer, &loop, self, timeoutMs] {
            // While a page dialog waits for the user, and for a full time
            // limit after it, the page is not stuck.
            if (self && (self->m_dialogDepth > 0
                         || (self->m_dialogEnded.isValid()
                             && self->m_dialogEnded.elapsed() < timeoutMs)))
                timer.start();
            else
                loop.quit();
        });
        connect(m_page, &QWebEnginePage::renderProcessTerminated, &loop, &QEventLoop::quit);
        connect(m_page, &QObject::destroyed, &loop, &QEventLoop::quit);
        timer.start(timeoutMs);
        loop.exec();
    }
    call->loop = nullptr;

    if (!self)
        return AgentResult::failure(QStringLiteral("the browser element was closed"));
    if (!call->done) {
        if (m_rendererGone)
            return AgentResult::failure(kRendererGone);
        m_unresponsive = true;
        return AgentResult::failure(
            QStringLiteral("the page did not answer within %1 ms").arg(timeoutMs), true);
    }
    return agentResult(call->value);
}

void BrowserElement::callAgentAsync(const QString &name, const QJsonArray &args,
                                    std::function<void(const AgentResult &)> done)
{
    if (m_rendererGone || m_unresponsive) {
        done(AgentResult::failure(m_rendererGone ? kRendererGone : kNotResponding));
        return;
    }
    m_page->runJavaScript(agentCall(name, args), QWebEngineScript::MainWorld,
                          [done](const QVariant &v) { done(agentResult(v)); });
}

AgentResult BrowserElement::locateLine(const QString &tag, const QString &object,
                                                  const QString &value, const QString &hint)
{
    return callAgent(QStringLiteral("findLineElement"), {tag, object, value, hint});
}
