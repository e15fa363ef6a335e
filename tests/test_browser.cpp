#include "HttpServer.h"
#include "TestEnv.h"

#include "platform/BrowserElement.h"

#include <QDir>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEnginePage>

using namespace Qt::Literals::StringLiterals;
using Kind = BrowserElement::PageDialog;

// The browser element and its page agent, on real pages over loopback.
class TestBrowser : public QObject
{
    Q_OBJECT
public:
    static void initMain()
    {
        // The browser profile must leave the user's home folder alone.
        qputenv("HOME", home().path().toLocal8Bit());
        // Qt's own shader cache (on X) is not the browser's doing.
        qputenv("QT_DISABLE_SHADER_DISK_CACHE", "1");
        // gc() in pages, to see what the agent lets go of.
        qputenv("QTWEBENGINE_CHROMIUM_FLAGS", "--js-flags=--expose-gc");
        initTestEnvironment();
    }
    static QTemporaryDir &home()
    {
        static QTemporaryDir dir;
        return dir;
    }

private slots:
    void initTestCase();
    void cleanupTestCase();
    void agentRefusesSearchesAndLetsGo();
    void navigationDialogsAndStuckPages();

private:
    bool load(BrowserElement &b, const QString &path);
    QVariant js(BrowserElement &b, const QString &c) { return runJs(b.page(), c, u"TIMEOUT"_s); }
    int handleOf(const QString &element)
    {
        return js(*m_b, u"window.__kestrel.handle(%1)"_s.arg(element)).toInt();
    }
    int byId(const char *id)
    {
        return handleOf(u"document.getElementById('%1')"_s.arg(QLatin1String(id)));
    }
    // The agent's functions, called by name as the program calls them.
    AgentResult call(const QString &name, const QJsonArray &args = {})
    {
        return m_b->callAgent(name, args);
    }
    QJsonValue get(int h, const QString &member)
    {
        const AgentResult r = call(u"get"_s, {h, member});
        return r.ok() ? r.value() : QJsonValue(u"ERROR"_s);
    }

    HttpServer *m_server = nullptr;
    BrowserElement *m_b = nullptr;
};

void TestBrowser::initTestCase()
{
    m_server = new HttpServer;
    QVERIFY(m_server->isListening());
    m_b = new BrowserElement(0);
    m_b->resize(800, 600);
    m_b->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_b));
}

void TestBrowser::cleanupTestCase()
{
    delete m_b;
    delete m_server;
    QCOMPARE(QDir(home().path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList());
}

bool TestBrowser::load(BrowserElement &b, const QString &path)
{
    b.Navigate2(m_server->url(path).toString());
    return b.Busy() && waitUntil([&] { return !b.Busy(); });
}

void TestBrowser::agentRefusesSearchesAndLetsGo()
{
    // What the agent refuses (what members read and write: the recorder's and
    // player's tests). What a table cell lacks is an error the caller may skip.
    QVERIFY(load(*m_b, u"/members.html"_s));
    const int td = byId("cell");
    for (const char *member : {"Name", "Value", "pathname", "selectedindex", "nameprop", "colour"}) {
        const AgentResult r = call(u"get"_s, {td, QLatin1String(member)});
        QVERIFY2(!r.ok() && !r.error().isEmpty(), member);
    }
    QVERIFY(!call(u"set"_s, {td, u"innerhtml"_s, u"x"_s}).ok());
    QVERIFY(!call(u"set"_s, {td, u"border"_s, u"wide"_s}).ok());
    QVERIFY(!call(u"invoke"_s, {td, u"Explode"_s}).ok());
    QCOMPARE(get(99999, u"tagname"_s), QJsonValue(u"ERROR"_s));
    const AgentResult unknown = call(u"no.such.function"_s);
    QVERIFY(!unknown.ok() && unknown.error().contains("no.such.function"_L1));
    const int select = byId("country");
    QVERIFY(!call(u"set"_s, {select, u"selectedindex"_s, u"x"_s}).ok());
    QVERIFY(!call(u"option"_s, {select, 7}).ok());
    QVERIFY(call(u"invoke"_s, {byId("btn"), u"click"_s}).ok()); // names in any letter case
    QCOMPARE(get(byId("clicks"), u"InnerText"_s), QJsonValue(u"1"_s));

    // The page can neither remove nor redefine the agent.
    QVERIFY(load(*m_b, u"/agent.html"_s));
    QCOMPARE(js(*m_b, u"tamperWithAgent()"_s).toString(), u"function,refused,function"_s);
    // Elements the page dropped go, handles or not; the others keep theirs.
    const int h = js(*m_b, u"handOutAndDrop()"_s).toInt();
    QVERIFY(h >= 100);
    QCOMPARE(get(h, u"tagname"_s), QJsonValue(u"DIV"_s));
    QVERIFY(waitUntil([&] {
        js(*m_b, u"gc(); 1"_s);
        const AgentResult r = call(u"get"_s, {h, u"tagname"_s});
        return !r.ok() && r.error().startsWith("no element with handle"_L1);
    }, 10000));
    QCOMPARE(get(byId("kept"), u"tagname"_s), QJsonValue(u"P"_s));

    // Open shadow roots are searched, a host's shadow tree right after the
    // host; closed ones are not. Comments are not content, on either side.
    QVERIFY(load(*m_b, u"/player/many.html"_s));
    const auto locate = [this](const QString &tag, const QString &identity,
                               const QString &value = {}, const QString &hint = {}) {
        const AgentResult r = call(u"findElement"_s, {tag, identity, value, hint});
        return r.ok() ? r.value().toObject() : QJsonObject{{u"error"_s, r.error()}};
    };
    const auto first = [this](const QString &tag, const QString &identity) {
        return findHandle(m_b, tag, identity).value().toInt();
    };
    const int light = handleOf(u"document.querySelector('#open-host > button')"_s);
    QVERIFY(light > 0);
    QCOMPARE(locate(u"BUTTON"_s, u"Same"_s, {}, u"@2"_s)[u"handle"_s].toInt(), light);
    QCOMPARE(first(u"INPUT"_s, u"inner"_s),
             handleOf(u"document.getElementById('open-host').shadowRoot.children[0]"_s));
    QCOMPARE(first(u"INPUT"_s, u"secret"_s), 0);
    const int greet = byId("greet");
    QCOMPARE(first(u"P"_s, u"Hello <b>World</b>"_s), greet);
    QCOMPARE(first(u"P"_s, u"<!--?lit$77$-->Hello <!--?lit$78$--><b>World</b>"_s), greet);
    QCOMPARE(first(u"P"_s, u"Hello <!---->\n<b>World</b>"_s), 0);
    QCOMPARE(first(u"P"_s, u"Hello World"_s), 0);

    // A hint that names nothing (or is none) leaves the first.
    for (const char *hint : {"@9", "#nothing", "@", "@2x", "value:text"}) {
        const QJsonObject found = locate(u"INPUT"_s, {}, u"x"_s, QLatin1String(hint));
        QVERIFY2(found[u"handle"_s].toInt() == byId("first-name") && found[u"defaulted"_s].toBool(),
                 hint);
    }
    // A box has no content a check could compare.
    QCOMPARE(locate(u"INPUT"_s, u"veg"_s, u"peas"_s)[u"content"_s], QJsonValue());
}

void TestBrowser::navigationDialogsAndStuckPages()
{
    QSignalSpy before(m_b, &BrowserElement::BeforeNavigate2);
    QSignalSpy complete(m_b, &BrowserElement::NavigateComplete2);
    QSignalSpy progress(m_b, &BrowserElement::ProgressChange);
    bool busyAtComplete = false;
    auto c = connect(m_b, &BrowserElement::NavigateComplete2, this,
                     [&] { busyAtComplete = m_b->Busy(); });
    QVERIFY(load(*m_b, u"/members.html?x=1"_s));
    disconnect(c);
    const QString url = m_server->url(u"/members.html?x=1"_s).toString();
    QCOMPARE(before.size(), 1);
    QCOMPARE(complete.size(), 1);
    QCOMPARE(complete.first().mid(0, 2), (QVariantList{0, url}));
    QVERIFY(busyAtComplete);
    QCOMPARE(m_b->LocationURL(), url);
    // Progress out of 100, then (0, 0) once the page is ready for input.
    QVERIFY(progress.size() >= 2);
    for (int i = 0; i + 1 < progress.size(); ++i)
        QCOMPARE(progress.at(i).at(2).toInt(), 100);
    QCOMPARE(progress.last().mid(1), (QVariantList{0, 0}));
    QCOMPARE(call(u"ready"_s).value(), QJsonValue(true));

    // Within the document: no load, but complete all the same; an address
    // nothing answers at: complete, with an error page. Back returns.
    QTcpServer closed; // nothing listens on its port once closed
    QVERIFY(closed.listen(QHostAddress::LocalHost));
    const QString dead = u"http://127.0.0.1:%1/gone.html"_s.arg(closed.serverPort());
    closed.close();
    for (const QString &to : {url + u"#cell"_s, dead}) {
        complete.clear();
        m_b->Navigate2(to);
        QVERIFY(waitUntil([&] { return !m_b->Busy(); }));
        QCOMPARE(complete.size(), 1);
        QCOMPARE(m_b->LocationURL(), to);
    }
    m_b->GoBack();
    QVERIFY(waitUntil([&] { return !m_b->Busy(); }));
    QCOMPARE(m_b->LocationURL(), url + u"#cell"_s);

    QVERIFY(load(*m_b, u"/dialogs.html"_s));
    // Not silent: through the handler, with the prompt's default text and
    // the handler's answers (silent: the browsing tests).
    QStringList asked;
    BrowserElement::setPageDialogHandler([&asked](BrowserElement *, Kind kind, const QString &message,
                                                  const QString &defaultText, QString *text) {
        asked << QString::number(int(kind)) + u':' + message;
        *text = defaultText + u"-typed"_s;
        return kind == Kind::Prompt;
    });
    m_b->setSilent(false);
    QCOMPARE(js(*m_b, u"run()"_s).toString(), u"false|Ann-typed"_s);
    QCOMPARE(asked, (QStringList{u"0:Hello"_s, u"1:Sure?"_s, u"2:Name?"_s}));
    // Without a handler nothing waits for a person.
    BrowserElement::setPageDialogHandler({});
    QCOMPARE(js(*m_b, u"run()"_s).toString(), u"true|Ann"_s);

    // Raised inside a synchronous call, a dialog does not block it; a person
    // who answers after the call's time limit is not a stuck page.
    js(*m_b, u"window.__kestrel.define('test.alerting', function () {"
             " alert('inside'); return confirm('ok?'); }); 1"_s);
    m_b->setSilent(true);
    AgentResult r = m_b->callAgent(u"test.alerting"_s, {}, 5000);
    QVERIFY(r.ok() && r.value() == QJsonValue(true));
    m_b->setSilent(false);
    BrowserElement::setPageDialogHandler([](BrowserElement *, Kind kind, const QString &,
                                            const QString &, QString *) {
        waitUntil([] { return false; }, 600);
        return kind == Kind::Confirm;
    });
    r = m_b->callAgent(u"test.alerting"_s, {}, 300);
    QVERIFY2(r.ok() && r.value() == QJsonValue(true), qPrintable(r.error()));
    BrowserElement::setPageDialogHandler({});
    m_b->setSilent(true);

    BrowserElement b(1);
    b.resize(400, 300);
    b.show();
    // Another element: no earlier page, so Back does nothing; an unknown scheme opens nothing.
    b.GoBack();
    QVERIFY(!b.Busy());
    b.Navigate2(u"nosuchscheme:thing"_s);
    QVERIFY(waitUntil([&] { return !b.Busy(); }));
    QVERIFY(load(b, u"/slowscript.html"_s));
    QVERIFY(b.callAgent(u"length"_s).ok());
    js(b, u"setTimeout(spin, 0); 1"_s); // loops for ever from now
    r = b.callAgent(u"length"_s, {}, 500);
    QCOMPARE(r.error(), u"the page did not answer within 500 ms"_s);
    QVERIFY(r.noAnswer());
    // The next call does not ask the stuck page again.
    const AgentResult next = b.callAgent(u"get"_s, {1, u"tagname"_s});
    QCOMPARE(next.error(), u"the page is not responding"_s);
    QVERIFY(next.noAnswer());

    // A page that loops while loading is Busy until Stop, which ends it and
    // reports (0, 0), and nothing after it. The element leaves both pages.
    QSignalSpy stopped(&b, &BrowserElement::ProgressChange);
    b.Navigate2(m_server->url(u"/hang.html"_s).toString());
    QVERIFY(!waitUntil([&] { return !b.Busy(); }, 500));
    b.Stop();
    QVERIFY(!b.Busy());
    QVERIFY(!waitUntil([&] { return b.Busy(); }, 200) && !stopped.isEmpty());
    QCOMPARE(stopped.last().mid(1), (QVariantList{0, 0}));
    QVERIFY(load(b, u"/members.html"_s));
    QVERIFY(b.callAgent(u"length"_s).ok());
}

QTEST_MAIN(TestBrowser)
#include "test_browser.moc"
