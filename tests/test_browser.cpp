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
    void membersOfEachTag();
    void searchFindsFirstMatch();
    void handlesDoNotKeepElementsAlive();
    void busyUntilReadyAndNotifications();
    void pageDialogs();
    void errorPageAndBack();
    void stuckPageGivesErrorsNotHang();

private:
    bool load(BrowserElement &b, const QString &path);
    QVariant js(BrowserElement &b, const QString &script)
    {
        return runJs(b.page(), script, QStringLiteral("TIMEOUT"));
    }
    int byId(const char *id) { return js(*m_b, QStringLiteral("window.__kestrel.handle("
                                                              "document.getElementById('%1'))")
                                                   .arg(QLatin1String(id)))
                                            .toInt(); }
    // The agent's functions, called by name as the program calls them.
    AgentResult call(const QString &name, const QJsonArray &args = {})
    {
        return m_b->callAgent(name, args);
    }
    QJsonValue get(int h, const QString &member)
    {
        const AgentResult r = call(QStringLiteral("get"), {h, member});
        return r.ok() ? r.value() : QJsonValue(QStringLiteral("ERROR"));
    }
    bool set(int h, const QString &member, const QJsonValue &value)
    {
        return call(QStringLiteral("set"), {h, member, value}).ok();
    }
    bool invoke(int h, const QString &operation)
    {
        return call(QStringLiteral("invoke"), {h, operation}).ok();
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
    if (!b.Busy())
        return false;
    return waitUntil([&] { return !b.Busy(); });
}

void TestBrowser::membersOfEachTag()
{
    // What each member reads and writes is pinned by the recorder's lines and
    // the player's runs; here, what the agent refuses.
    QVERIFY(load(*m_b, QStringLiteral("/members.html")));
    // What a table cell lacks is an error the caller may skip.
    const int td = byId("cell");
    for (const char *member : {"Name", "Value", "pathname", "selectedindex", "nameprop", "colour"}) {
        const AgentResult r = call(QStringLiteral("get"), {td, QLatin1String(member)});
        QVERIFY2(!r.ok() && !r.error().isEmpty(), member);
    }
    QVERIFY(!set(td, QStringLiteral("innerhtml"), QStringLiteral("x")));
    QVERIFY(!set(td, QStringLiteral("border"), QStringLiteral("wide")));
    QVERIFY(!invoke(td, QStringLiteral("Explode")));
    QCOMPARE(get(99999, QStringLiteral("tagname")), QJsonValue(QStringLiteral("ERROR")));
    const AgentResult unknown = call(QStringLiteral("no.such.function"));
    QVERIFY(!unknown.ok() && unknown.error().contains(QLatin1String("no.such.function")));
    const int select = byId("country");
    QVERIFY(!set(select, QStringLiteral("selectedindex"), QStringLiteral("x")));
    QVERIFY(!call(QStringLiteral("option"), {select, 7}).ok());
    QVERIFY(invoke(byId("btn"), QStringLiteral("click"))); // names in any letter case
    QCOMPARE(get(byId("clicks"), QStringLiteral("InnerText")), QJsonValue(QStringLiteral("1")));

    // The page can neither remove nor redefine the agent.
    const QVariant result = js(
        *m_b, QStringLiteral("(function(){ var r = [];"
                             " try { window.__kestrel = null; } catch (e) {}"
                             " try { delete window.__kestrel; } catch (e) {}"
                             " r.push(typeof window.__kestrel.call);"
                             " try { window.__kestrel.define('get', function(){ return 'forged'; });"
                             "       r.push('redefined'); } catch (e) { r.push('refused'); }"
                             " try { window.__kestrel.call = null; } catch (e) {}"
                             " r.push(typeof window.__kestrel.call);"
                             " return r.join(','); })()"));
    QCOMPARE(result.toString(), QStringLiteral("function,refused,function"));
    QCOMPARE(get(byId("plain"), QStringLiteral("tagname")), QJsonValue(QStringLiteral("A")));
}

void TestBrowser::searchFindsFirstMatch()
{
    // Open shadow roots are searched, a host's shadow tree right after the
    // host; closed ones are not. Comments are not content, on either side.
    QVERIFY(load(*m_b, u"/player/many.html"_qs));
    const auto handleOf = [this](const char *expression) {
        return js(*m_b, u"window.__kestrel.handle(%1)"_qs.arg(QLatin1String(expression))).toInt();
    };
    const auto locate = [this](const QString &tag, const QString &identity,
                               const QString &value = {}, const QString &hint = {}) {
        const AgentResult r = call(u"findElement"_qs, {tag, identity, value, hint});
        return r.ok() ? r.value().toObject() : QJsonObject{{u"error"_qs, r.error()}};
    };
    const auto first = [this](const QString &tag, const QString &identity) {
        return findHandle(m_b, tag, identity).value().toInt();
    };
    const int light = handleOf("document.querySelector('#open-host > button')");
    QVERIFY(light > 0);
    QCOMPARE(locate(u"BUTTON"_qs, u"Same"_qs, {}, u"@2"_qs)[u"handle"_qs].toInt(), light);
    QCOMPARE(first(u"INPUT"_qs, u"inner"_qs),
             handleOf("document.getElementById('open-host').shadowRoot.children[0]"));
    QCOMPARE(first(u"INPUT"_qs, u"secret"_qs), 0);
    const int greet = byId("greet");
    QCOMPARE(first(u"P"_qs, u"Hello <b>World</b>"_qs), greet);
    QCOMPARE(first(u"P"_qs, u"<!--?lit$77$-->Hello <!--?lit$78$--><b>World</b>"_qs), greet);
    QCOMPARE(first(u"P"_qs, u"Hello <!---->\n<b>World</b>"_qs), 0);
    QCOMPARE(first(u"P"_qs, u"Hello <!----><b>World</b>"_qs), greet);
    QCOMPARE(first(u"P"_qs, u"Hello World"_qs), 0);

    // A hint that names nothing (or is none) leaves the first.
    for (const char *hint : {"@9", "#nothing", "@", "@2x", "value:text"}) {
        const QJsonObject found = locate(u"INPUT"_qs, {}, u"x"_qs, QLatin1String(hint));
        QVERIFY2(found[u"handle"_qs].toInt() == byId("first-name")
                     && found[u"defaulted"_qs].toBool(), hint);
    }
    // A box has no content a check could compare.
    QCOMPARE(locate(u"INPUT"_qs, u"veg"_qs, u"peas"_qs)[u"content"_qs], QJsonValue());
}

void TestBrowser::handlesDoNotKeepElementsAlive()
{
    QVERIFY(load(*m_b, QStringLiteral("/members.html")));
    // Elements the page dropped go, even though the agent gave them handles.
    const int h = js(*m_b, QStringLiteral("(function () { let h = 0;"
                                          " for (let i = 0; i < 100; ++i) {"
                                          "   const d = document.createElement('div');"
                                          "   document.body.append(d);"
                                          "   h = window.__kestrel.handle(d); d.remove(); }"
                                          " return h; })()"))
                      .toInt();
    QVERIFY(h >= 100);
    QCOMPARE(get(h, QStringLiteral("tagname")), QJsonValue(QStringLiteral("DIV")));
    QVERIFY(waitUntil([&] {
        js(*m_b, QStringLiteral("gc(); 1"));
        const AgentResult r = call(QStringLiteral("get"), {h, QStringLiteral("tagname")});
        return !r.ok() && r.error().startsWith(QLatin1String("no element with handle"));
    }, 10000));
    // The ones still in the page keep theirs.
    QCOMPARE(get(byId("cell"), QStringLiteral("tagname")), QJsonValue(QStringLiteral("TD")));
}

void TestBrowser::busyUntilReadyAndNotifications()
{
    QSignalSpy before(m_b, &BrowserElement::BeforeNavigate2);
    QSignalSpy complete(m_b, &BrowserElement::NavigateComplete2);
    QSignalSpy progress(m_b, &BrowserElement::ProgressChange);
    bool busyAtComplete = false;
    auto c = connect(m_b, &BrowserElement::NavigateComplete2, this,
                     [&] { busyAtComplete = m_b->Busy(); });
    QVERIFY(load(*m_b, QStringLiteral("/members.html?x=1")));
    disconnect(c);
    const QString url = m_server->url(QStringLiteral("/members.html?x=1")).toString();
    QCOMPARE(before.size(), 1);
    QCOMPARE(complete.size(), 1);
    QCOMPARE(complete.first().at(0).toInt(), 0);
    QCOMPARE(complete.first().at(1).toString(), url);
    QVERIFY(busyAtComplete);
    QCOMPARE(m_b->LocationURL(), url);
    // Progress out of 100, then (0, 0) once the page is ready for input.
    QVERIFY(progress.size() >= 2);
    for (int i = 0; i + 1 < progress.size(); ++i)
        QCOMPARE(progress.at(i).at(2).toInt(), 100);
    QCOMPARE(progress.last().mid(1), (QVariantList{0, 0}));
    QCOMPARE(call(QStringLiteral("ready")).value(), QJsonValue(true));

    // Within the document: no load, but complete all the same.
    complete.clear();
    m_b->Navigate2(url + QStringLiteral("#cell"));
    QVERIFY(waitUntil([&] { return !m_b->Busy(); }));
    QCOMPARE(complete.size(), 1);
    QCOMPARE(m_b->LocationURL(), url + QStringLiteral("#cell"));
}

void TestBrowser::pageDialogs()
{
    QVERIFY(load(*m_b, QStringLiteral("/dialogs.html")));
    // Not silent: through the handler, with the prompt's default text and
    // the handler's answers. (Silent is the browsing tests'.)
    QStringList asked;
    BrowserElement::setPageDialogHandler([&asked](BrowserElement *, Kind kind, const QString &message,
                                                  const QString &defaultText, QString *text) {
        asked << QString::number(int(kind)) + QLatin1Char(':') + message;
        *text = defaultText + QStringLiteral("-typed");
        return kind == Kind::Prompt;
    });
    m_b->setSilent(false);
    QCOMPARE(js(*m_b, QStringLiteral("run()")).toString(), QStringLiteral("false|Ann-typed"));
    QCOMPARE(asked, (QStringList{QStringLiteral("0:Hello"), QStringLiteral("1:Sure?"),
                                 QStringLiteral("2:Name?")}));
    // Without a handler nothing waits for a person.
    BrowserElement::setPageDialogHandler({});
    QCOMPARE(js(*m_b, QStringLiteral("run()")).toString(), QStringLiteral("true|Ann"));

    // Raised inside a synchronous call, a dialog does not block it; a person
    // who answers after the call's time limit is not a stuck page.
    js(*m_b, QStringLiteral("window.__kestrel.define('test.alerting', function () {"
                            " alert('inside'); return confirm('ok?'); }); 1"));
    m_b->setSilent(true);
    AgentResult r = m_b->callAgent(QStringLiteral("test.alerting"), {}, 5000);
    QVERIFY(r.ok() && r.value() == QJsonValue(true));
    m_b->setSilent(false);
    BrowserElement::setPageDialogHandler([](BrowserElement *, Kind kind, const QString &,
                                            const QString &, QString *) {
        waitUntil([] { return false; }, 600);
        return kind == Kind::Confirm;
    });
    r = m_b->callAgent(QStringLiteral("test.alerting"), {}, 300);
    QVERIFY2(r.ok() && r.value() == QJsonValue(true), qPrintable(r.error()));
    BrowserElement::setPageDialogHandler({});
    m_b->setSilent(true);
}

void TestBrowser::errorPageAndBack()
{
    QTcpServer closed; // nothing listens on its port once closed
    QVERIFY(closed.listen(QHostAddress::LocalHost));
    const QString dead = QStringLiteral("http://127.0.0.1:%1/gone.html").arg(closed.serverPort());
    closed.close();
    QVERIFY(load(*m_b, QStringLiteral("/members.html")));
    const QString first = m_b->LocationURL();

    QSignalSpy complete(m_b, &BrowserElement::NavigateComplete2);
    m_b->Navigate2(dead);
    QVERIFY(waitUntil([&] { return !m_b->Busy(); }));
    QCOMPARE(complete.size(), 1);
    QCOMPARE(m_b->LocationURL(), dead);
    m_b->GoBack();
    QVERIFY(waitUntil([&] { return !m_b->Busy(); }));
    QCOMPARE(m_b->LocationURL(), first);
}

void TestBrowser::stuckPageGivesErrorsNotHang()
{
    BrowserElement b(1);
    b.resize(400, 300);
    b.show();
    // No earlier page: Back does nothing. An unknown scheme opens nothing,
    // inside or outside.
    b.GoBack();
    QVERIFY(!b.Busy());
    b.Navigate2(QStringLiteral("nosuchscheme:thing"));
    QVERIFY(waitUntil([&] { return !b.Busy(); }));
    QVERIFY(load(b, QStringLiteral("/slowscript.html")));
    QVERIFY(b.callAgent(QStringLiteral("length")).ok());
    js(b, QStringLiteral("setTimeout(spin, 0); 1")); // loops for ever from now
    const AgentResult r = b.callAgent(QStringLiteral("length"), {}, 500);
    QCOMPARE(r.error(), u"the page did not answer within 500 ms"_qs);
    QVERIFY(r.noAnswer());
    // The next call does not ask the stuck page again.
    const AgentResult next = b.callAgent(QStringLiteral("get"), {1, QStringLiteral("tagname")});
    QCOMPARE(next.error(), u"the page is not responding"_qs);
    QVERIFY(next.noAnswer());

    // The element can leave the stuck page.
    QVERIFY(load(b, QStringLiteral("/members.html")));
    QVERIFY(b.callAgent(QStringLiteral("length")).ok());

    // A page that loops while loading keeps Busy until Stop, which ends it at
    // once and reports (0, 0); nothing reports after it, and the next address
    // still opens.
    QSignalSpy progress(&b, &BrowserElement::ProgressChange);
    b.Navigate2(m_server->url(QStringLiteral("/hang.html")).toString());
    QVERIFY(!waitUntil([&] { return !b.Busy(); }, 500));
    b.Stop();
    QVERIFY(!b.Busy());
    QVERIFY(!waitUntil([&] { return b.Busy(); }, 200) && !progress.isEmpty());
    QCOMPARE(progress.last().mid(1), (QVariantList{0, 0}));
    QVERIFY(load(b, QStringLiteral("/members.html")));
    QVERIFY(b.callAgent(QStringLiteral("length")).ok());
}

QTEST_MAIN(TestBrowser)
#include "test_browser.moc"
