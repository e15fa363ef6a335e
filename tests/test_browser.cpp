#include "HttpServer.h"
#include "TestEnv.h"

#include "platform/BrowserElement.h"

#include <QDir>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QWebEnginePage>

// The browser element and its page agent, on real pages over loopback.
class TestBrowser : public QObject
{
    Q_OBJECT
public:
    static void initMain()
    {
        // The browser profile must leave the user's home folder alone.
        qputenv("HOME", home().path().toLocal8Bit());
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
    void borderAndBackgroundRestoredExactly();
    void searchFindsFirstMatch();
    void agentIsProtected();
    void busyUntilReadyAndNotifications();
    void pageDialogs();
    void errorPageAndBack();
    void hungPageGivesErrorsNotHang();
    void crashedRendererLeavesElementUsable();

private:
    bool load(BrowserElement &b, const QUrl &url);
    int handleOf(BrowserElement &b, const QString &id);
    QJsonValue get(BrowserElement &b, int h, const QString &member);

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

bool TestBrowser::load(BrowserElement &b, const QUrl &url)
{
    b.Navigate2(url.toString());
    if (!b.Busy())
        return false;
    QElapsedTimer t;
    t.start();
    while (b.Busy() && t.elapsed() < 20000)
        QTest::qWait(5);
    return !b.Busy();
}

// The handle of the element with this id, by the search over all elements.
int TestBrowser::handleOf(BrowserElement &b, const QString &id)
{
    const BrowserElement::Result len = b.allLength();
    if (!len.ok)
        return 0;
    for (int i = 0; i < len.value.toInt(); ++i) {
        const BrowserElement::Result item = b.allItem(i);
        const int h = item.value.toInt();
        // Not an element member; read through a small agent call.
        const BrowserElement::Result r = b.callAgent(QStringLiteral("test.id"), {h});
        if (r.ok && r.value.toString() == id)
            return h;
    }
    return 0;
}

QJsonValue TestBrowser::get(BrowserElement &b, int h, const QString &member)
{
    const BrowserElement::Result r = b.getMember(h, member);
    if (!r.ok)
        return QJsonValue(QStringLiteral("ERROR: ") + r.error);
    return r.value;
}

namespace {
// Defines a tiny helper in the page for the tests: the id of a handle.
void defineTestHelper(QWebEnginePage *page)
{
    bool done = false;
    page->runJavaScript(QStringLiteral("window.__kestrel.define('test.id', function (h) {"
                                       " return window.__kestrel.element(h).id; }); 1"),
                        [&done](const QVariant &) { done = true; });
    QTRY_VERIFY(done);
}
} // namespace

void TestBrowser::membersOfEachTag()
{
    QVERIFY(load(*m_b, m_server->url(QStringLiteral("/members.html"))));
    defineTestHelper(m_b->page());
    const int a = handleOf(*m_b, QStringLiteral("plain"));
    const int js = handleOf(*m_b, QStringLiteral("js"));
    const int img = handleOf(*m_b, QStringLiteral("logo"));
    const int input = handleOf(*m_b, QStringLiteral("q"));
    const int select = handleOf(*m_b, QStringLiteral("country"));
    const int td = handleOf(*m_b, QStringLiteral("cell"));
    const int btn = handleOf(*m_b, QStringLiteral("btn"));
    QVERIFY(a && js && img && input && select && td && btn);

    QCOMPARE(get(*m_b, a, QStringLiteral("tagname")).toString(), QStringLiteral("A"));
    QCOMPARE(get(*m_b, a, QStringLiteral("innerhtml")).toString(), QStringLiteral("Next <b>page</b>"));
    QCOMPARE(get(*m_b, a, QStringLiteral("innertext")).toString(), QStringLiteral("Next page"));
    QCOMPARE(get(*m_b, a, QStringLiteral("pathname")).toString(), QStringLiteral("orders/list.htm"));
    QVERIFY(get(*m_b, a, QStringLiteral("onclick")).isNull());
    QCOMPARE(get(*m_b, js, QStringLiteral("onclick")), QJsonValue(true));
    QCOMPARE(get(*m_b, a, QStringLiteral("Name")).toString(), QString());

    // Member names in any letter case.
    QCOMPARE(get(*m_b, img, QStringLiteral("TagName")).toString(), QStringLiteral("IMG"));
    QCOMPARE(get(*m_b, img, QStringLiteral("nameprop")).toString(), QStringLiteral("logo.gif"));
    QCOMPARE(get(*m_b, img, QStringLiteral("name")).toString(), QStringLiteral("pic"));

    QCOMPARE(get(*m_b, input, QStringLiteral("Name")).toString(), QStringLiteral("q"));
    QCOMPARE(get(*m_b, input, QStringLiteral("Value")).toString(), QStringLiteral("widgets"));
    QVERIFY(m_b->setMember(input, QStringLiteral("Value"), QStringLiteral("gadgets")).ok);
    QCOMPARE(get(*m_b, input, QStringLiteral("value")).toString(), QStringLiteral("gadgets"));
    QVERIFY(m_b->invoke(input, QStringLiteral("SetFocus")).ok);
    QVERIFY(m_b->invoke(input, QStringLiteral("focus")).ok);

    QCOMPARE(get(*m_b, select, QStringLiteral("selectedindex")).toInt(), 0);
    QVERIFY(m_b->setMember(select, QStringLiteral("selectedindex"), 2).ok);
    QCOMPARE(get(*m_b, select, QStringLiteral("selectedIndex")).toInt(), 2);
    QCOMPARE(get(*m_b, select, QStringLiteral("Value")).toString(), QStringLiteral("UK"));
    const BrowserElement::Result opt = m_b->option(select, 2);
    QVERIFY(opt.ok);
    QCOMPARE(opt.value[QLatin1String("value")].toString(), QStringLiteral("UK"));
    QCOMPARE(opt.value[QLatin1String("text")].toString(), QStringLiteral("United Kingdom"));
    QVERIFY(!m_b->option(select, 7).ok);
    QVERIFY(!m_b->setMember(select, QStringLiteral("selectedindex"), QStringLiteral("x")).ok);

    // A table cell has no name, value or path: errors the caller may skip.
    QCOMPARE(get(*m_b, td, QStringLiteral("tagname")).toString(), QStringLiteral("TD"));
    QCOMPARE(get(*m_b, td, QStringLiteral("innerhtml")).toString(), QStringLiteral("Cell <i>one</i>"));
    for (const char *member : {"Name", "Value", "pathname", "selectedindex", "nameprop", "colour"}) {
        const BrowserElement::Result r = m_b->getMember(td, QLatin1String(member));
        QVERIFY2(!r.ok && !r.error.isEmpty(), member);
    }
    QVERIFY(!m_b->setMember(td, QStringLiteral("innerhtml"), QStringLiteral("x")).ok);
    QVERIFY(!m_b->invoke(td, QStringLiteral("Explode")).ok);
    QVERIFY(!m_b->getMember(99999, QStringLiteral("tagname")).ok);

    QVERIFY(m_b->invoke(btn, QStringLiteral("Click")).ok);
    QVERIFY(m_b->invoke(btn, QStringLiteral("click")).ok);
    QCOMPARE(get(*m_b, handleOf(*m_b, QStringLiteral("clicks")), QStringLiteral("innertext")).toString(),
             QStringLiteral("2"));

    // An unknown agent function is an error, not a hang.
    const BrowserElement::Result none = m_b->callAgent(QStringLiteral("no.such.function"));
    QVERIFY(!none.ok);
    QVERIFY(none.error.contains(QLatin1String("no.such.function")));
}

void TestBrowser::borderAndBackgroundRestoredExactly()
{
    QVERIFY(load(*m_b, m_server->url(QStringLiteral("/members.html"))));
    defineTestHelper(m_b->page());
    auto styleAttr = [this](int h) {
        const BrowserElement::Result r = m_b->callAgent(QStringLiteral("test.styleOf"), {h});
        return r.value;
    };
    bool done = false;
    m_b->page()->runJavaScript(
        QStringLiteral("window.__kestrel.define('test.styleOf', function (h) {"
                       " return window.__kestrel.element(h).getAttribute('style'); }); 1"),
        [&done](const QVariant &) { done = true; });
    QTRY_VERIFY(done);

    struct Case
    {
        const char *id;
        int border;
        const char *bgcolor;
        QJsonValue style;
    };
    const Case cases[] = {
        {"cell", 0, "", QJsonValue(QJsonValue::Null)},
        {"styled", 2, "#ffffff", QJsonValue(QJsonValue::Null)},
        {"inline", 0, "", QJsonValue(QStringLiteral("color: blue"))},
    };
    for (const Case &c : cases) {
        const int h = handleOf(*m_b, QLatin1String(c.id));
        QVERIFY(h);
        QCOMPARE(get(*m_b, h, QStringLiteral("border")).toInt(-1), c.border);
        QCOMPARE(get(*m_b, h, QStringLiteral("bgcolor")).toString(), QLatin1String(c.bgcolor));
        // The highlight, as the recorder and the check do it.
        QVERIFY(m_b->setMember(h, QStringLiteral("border"), 3).ok);
        QVERIFY(m_b->setMember(h, QStringLiteral("bgcolor"), QStringLiteral("#c0c0c0")).ok);
        QCOMPARE(get(*m_b, h, QStringLiteral("border")).toInt(), 3);
        QCOMPARE(get(*m_b, h, QStringLiteral("bgcolor")).toString(), QStringLiteral("#c0c0c0"));
        QVERIFY(styleAttr(h).toString().contains(QLatin1String("3px")));
        // Written back: exactly as before.
        QVERIFY(m_b->setMember(h, QStringLiteral("border"), c.border).ok);
        QVERIFY(m_b->setMember(h, QStringLiteral("bgcolor"), QLatin1String(c.bgcolor)).ok);
        QCOMPARE(get(*m_b, h, QStringLiteral("border")).toInt(-1), c.border);
        QCOMPARE(get(*m_b, h, QStringLiteral("bgcolor")).toString(), QLatin1String(c.bgcolor));
        QCOMPARE(styleAttr(h), c.style);
    }
    QVERIFY(!m_b->setMember(handleOf(*m_b, QStringLiteral("cell")), QStringLiteral("border"),
                            QStringLiteral("wide"))
                 .ok);
}

void TestBrowser::searchFindsFirstMatch()
{
    QVERIFY(load(*m_b, m_server->url(QStringLiteral("/members.html"))));
    defineTestHelper(m_b->page());
    auto find = [this](const char *tag, const char *identity) {
        const BrowserElement::Result r = m_b->findElement(QLatin1String(tag), QString::fromUtf8(identity));
        if (!r.ok)
            return QStringLiteral("ERROR");
        if (r.value.toInt() == 0)
            return QString();
        return m_b->callAgent(QStringLiteral("test.id"), {r.value.toInt()}).value.toString();
    };
    QCOMPARE(find("INPUT", "q"), QStringLiteral("q")); // the first of two
    QCOMPARE(find("A", "Next <b>page</b>"), QStringLiteral("plain"));
    QCOMPARE(find("A", "next <b>page</b>"), QString()); // exact, case-sensitive
    QCOMPARE(find("IMG", "logo.gif"), QStringLiteral("logo"));
    QCOMPARE(find("SELECT", "country"), QStringLiteral("country"));
    QCOMPARE(find("TD", "Cell <i>one</i>"), QStringLiteral("cell"));
    QCOMPARE(find("TD", "Cell"), QString());
    QCOMPARE(find("td", "Cell <i>one</i>"), QString()); // tag names in upper case
    QCOMPARE(find("IMG", "pic"), QString());
}

void TestBrowser::agentIsProtected()
{
    QVERIFY(load(*m_b, m_server->url(QStringLiteral("/members.html"))));
    QVariant result;
    m_b->page()->runJavaScript(
        QStringLiteral("(function(){ var r = [];"
                       " try { window.__kestrel = null; } catch (e) {}"
                       " try { delete window.__kestrel; } catch (e) {}"
                       " r.push(typeof window.__kestrel.call);"
                       " try { window.__kestrel.define('get', function(){ return 'forged'; });"
                       "       r.push('redefined'); } catch (e) { r.push('refused'); }"
                       " try { window.__kestrel.call = null; } catch (e) {}"
                       " r.push(typeof window.__kestrel.call);"
                       " return r.join(','); })()"),
        [&result](const QVariant &v) { result = v; });
    QTRY_VERIFY(result.isValid());
    QCOMPARE(result.toString(), QStringLiteral("function,refused,function"));
    QCOMPARE(m_b->allLength().ok, true);
}

void TestBrowser::busyUntilReadyAndNotifications()
{
    QSignalSpy before(m_b, &BrowserElement::BeforeNavigate2);
    QSignalSpy complete(m_b, &BrowserElement::NavigateComplete2);
    QSignalSpy progress(m_b, &BrowserElement::ProgressChange);
    bool busyAtComplete = false;
    auto c = connect(m_b, &BrowserElement::NavigateComplete2, this,
                     [&] { busyAtComplete = m_b->Busy(); });
    const QUrl url = m_server->url(QStringLiteral("/members.html?x=1"));
    m_b->Navigate2(url.toString());
    QVERIFY(m_b->Busy());
    QTRY_VERIFY_WITH_TIMEOUT(!m_b->Busy(), 20000);
    disconnect(c);
    QCOMPARE(before.size(), 1);
    QCOMPARE(complete.size(), 1);
    QCOMPARE(complete.first().at(0).toInt(), 0);
    QCOMPARE(complete.first().at(1).toString(), url.toString());
    QVERIFY(busyAtComplete);
    QVERIFY(progress.size() >= 2);
    // The last notification is (0, 0), once the page is ready for input.
    QCOMPARE(progress.last().at(1).toInt(), 0);
    QCOMPARE(progress.last().at(2).toInt(), 0);
    for (int i = 0; i + 1 < progress.size(); ++i)
        QCOMPARE(progress.at(i).at(2).toInt(), 100);
    QCOMPARE(m_b->LocationURL(), url.toString());
    const BrowserElement::Result ready = m_b->callAgent(QStringLiteral("ready"));
    QCOMPARE(ready.value, QJsonValue(true));

    // A scheme-less address is completed as an address bar does.
    const QString bare = QStringLiteral("127.0.0.1:%1/members.html").arg(m_server->serverPort());
    m_b->Navigate2(bare);
    QTRY_VERIFY_WITH_TIMEOUT(!m_b->Busy(), 20000);
    QCOMPARE(m_b->LocationURL(), QStringLiteral("http://") + bare);

    // Stop ends Busy at once and reports (0, 0).
    progress.clear();
    m_b->Navigate2(m_server->url(QStringLiteral("/members.html?x=2")).toString());
    QVERIFY(m_b->Busy());
    m_b->Stop();
    QVERIFY(!m_b->Busy());
    QVERIFY(!progress.isEmpty());
    QCOMPARE(progress.last().at(2).toInt(), 0);
    QTest::qWait(200);
    QVERIFY(!m_b->Busy());

    // Placement in twips (15 per pixel at 96 dpi).
    QCOMPARE(m_b->Width(), 800 * 15);
    QCOMPARE(m_b->Height(), 600 * 15);
    QVERIFY(m_b->Visible());
}

void TestBrowser::pageDialogs()
{
    QVERIFY(load(*m_b, m_server->url(QStringLiteral("/dialogs.html"))));
    auto run = [this] {
        QVariant result;
        m_b->page()->runJavaScript(QStringLiteral("run()"), [&result](const QVariant &v) { result = v; });
        if (!QTest::qWaitFor([&] { return result.isValid(); }, 10000))
            return QStringLiteral("TIMEOUT");
        return result.toString();
    };

    // Silent: suppressed; alert dismissed, confirm OK, prompt its default.
    m_b->setSilent(true);
    QStringList asked;
    BrowserElement::setPageDialogHandler(
        [&asked](BrowserElement *, BrowserElement::PageDialog kind, const QString &message,
                 const QString &defaultText, QString *text) {
            asked << QString::number(int(kind)) + QLatin1Char(':') + message;
            if (kind == BrowserElement::PageDialog::Prompt)
                *text = defaultText + QStringLiteral("-typed");
            return false;
        });
    QCOMPARE(run(), QStringLiteral("true|Ann"));
    QVERIFY(asked.isEmpty());

    // Not silent: shown through the handler, with its answers.
    m_b->setSilent(false);
    QCOMPARE(run(), QStringLiteral("false|"));
    QCOMPARE(asked, (QStringList{QStringLiteral("0:Hello"), QStringLiteral("1:Sure?"),
                                 QStringLiteral("2:Name?")}));
    BrowserElement::setPageDialogHandler(
        [](BrowserElement *, BrowserElement::PageDialog, const QString &, const QString &,
           QString *text) {
            *text = QStringLiteral("Bob");
            return true;
        });
    QCOMPARE(run(), QStringLiteral("true|Bob"));

    // Without a handler nothing waits for a person.
    BrowserElement::setPageDialogHandler({});
    QCOMPARE(run(), QStringLiteral("true|Ann"));

    // An alert raised inside a synchronous call does not block it.
    m_b->setSilent(true);
    bool defined = false;
    m_b->page()->runJavaScript(
        QStringLiteral("window.__kestrel.define('test.alerting', function () {"
                       " alert('inside'); return confirm('ok?'); }); 1"),
        [&defined](const QVariant &) { defined = true; });
    QTRY_VERIFY(defined);
    const BrowserElement::Result r = m_b->callAgent(QStringLiteral("test.alerting"), {}, 5000);
    QVERIFY2(r.ok, qPrintable(r.error));
    QCOMPARE(r.value, QJsonValue(true));

    // Shown to a person who takes longer than the call's time limit: the
    // call waits for the answer, it does not report a stuck page.
    m_b->setSilent(false);
    BrowserElement::setPageDialogHandler(
        [](BrowserElement *, BrowserElement::PageDialog kind, const QString &, const QString &,
           QString *) {
            QTest::qWait(600);
            return kind == BrowserElement::PageDialog::Confirm;
        });
    const BrowserElement::Result slow = m_b->callAgent(QStringLiteral("test.alerting"), {}, 300);
    QVERIFY2(slow.ok, qPrintable(slow.error));
    QCOMPARE(slow.value, QJsonValue(true));
    BrowserElement::setPageDialogHandler({});
    m_b->setSilent(true);
}

void TestBrowser::errorPageAndBack()
{
    // Nothing listens on this port once the server is closed.
    QTcpServer closed;
    QVERIFY(closed.listen(QHostAddress::LocalHost));
    const quint16 port = closed.serverPort();
    closed.close();
    QVERIFY(load(*m_b, m_server->url(QStringLiteral("/members.html"))));
    const QString first = m_b->LocationURL();

    QSignalSpy complete(m_b, &BrowserElement::NavigateComplete2);
    const QString dead = QStringLiteral("http://127.0.0.1:%1/gone.html").arg(port);
    m_b->Navigate2(dead);
    QTRY_VERIFY_WITH_TIMEOUT(!m_b->Busy(), 20000);
    QCOMPARE(complete.size(), 1);
    QCOMPARE(m_b->LocationURL(), dead);

    m_b->GoBack();
    QTRY_VERIFY_WITH_TIMEOUT(!m_b->Busy(), 20000);
    QCOMPARE(m_b->LocationURL(), first);

    // No earlier page: nothing happens, nothing waits.
    BrowserElement fresh(1);
    fresh.GoBack();
    QVERIFY(!fresh.Busy());

    // An empty address opens a blank page; an unknown scheme opens nothing
    // outside and ends Busy.
    fresh.Navigate2(QString());
    QTRY_VERIFY_WITH_TIMEOUT(!fresh.Busy(), 20000);
    QCOMPARE(fresh.LocationURL(), QStringLiteral("about:blank"));
    fresh.Navigate2(QStringLiteral("nosuchscheme:thing"));
    QTRY_VERIFY_WITH_TIMEOUT(!fresh.Busy(), 20000);
}

void TestBrowser::hungPageGivesErrorsNotHang()
{
    BrowserElement b(1);
    b.resize(400, 300);
    b.show();
    QVERIFY(load(b, m_server->url(QStringLiteral("/slowscript.html"))));
    QVERIFY(b.allLength().ok);
    // The page's script now loops for ever.
    b.page()->runJavaScript(QStringLiteral("setTimeout(spin, 0); 1"));
    QTest::qWait(100);
    QElapsedTimer t;
    t.start();
    const BrowserElement::Result r = b.callAgent(QStringLiteral("length"), {}, 500);
    QVERIFY(!r.ok);
    QVERIFY(r.error.contains(QLatin1String("500")));
    QVERIFY(t.elapsed() < 5000);
    // Further calls fail at once.
    t.restart();
    const BrowserElement::Result again = b.getMember(1, QStringLiteral("tagname"));
    QVERIFY(!again.ok);
    QVERIFY(t.elapsed() < 100);

    // Away from the stuck page: the element works again.
    QVERIFY(load(b, m_server->url(QStringLiteral("/members.html"))));
    QVERIFY(b.allLength().ok);

    // A page that loops while loading keeps Busy until Stop, and the next
    // address still opens.
    b.Navigate2(m_server->url(QStringLiteral("/hang.html")).toString());
    QTest::qWait(500);
    QVERIFY(b.Busy());
    b.Stop();
    QVERIFY(!b.Busy());
    QVERIFY(load(b, m_server->url(QStringLiteral("/members.html"))));
    QVERIFY(b.allLength().ok);
}

void TestBrowser::crashedRendererLeavesElementUsable()
{
    BrowserElement b(1);
    b.resize(400, 300);
    b.show();
    QVERIFY(load(b, m_server->url(QStringLiteral("/members.html"))));
    QSignalSpy terminated(b.page(), &QWebEnginePage::renderProcessTerminated);
    b.Navigate2(QStringLiteral("chrome://crash"));
    QTRY_VERIFY_WITH_TIMEOUT(!terminated.isEmpty(), 20000);
    QTRY_VERIFY(!b.Busy());
    const BrowserElement::Result r = b.allLength();
    QVERIFY(!r.ok);
    QVERIFY(load(b, m_server->url(QStringLiteral("/members.html"))));
    QTRY_VERIFY_WITH_TIMEOUT(b.allLength().ok, 20000);
}

QTEST_MAIN(TestBrowser)
#include "test_browser.moc"
