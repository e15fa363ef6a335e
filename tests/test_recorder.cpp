#include "HttpServer.h"
#include "ScriptedDialogs.h"
#include "TestEnv.h"

#include "app/Kestrel.h"
#include "platform/BrowserElement.h"
#include "script/ScriptReader.h"
#include "ui/FrmTestTrapEvents.h"

#include <QApplication>
#include <QFile>
#include <QJsonObject>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QTest>

#include <memory>

// Recording on real pages with real mouse and key input: what the tester does
// must become exactly these lines of the working copy.
class TestRecorder : public QObject
{
    Q_OBJECT
public:
    static void initMain() { initTestEnvironment(); }

private slots:
    void initTestCase() { QVERIFY(m_server.isListening()); }
    void init();
    void cleanup();
    void instrumentation();
    void keysAndFields();
    void checksListsAndHighlight();
    void modesAndCommands();
    void hostilePage();
    void pageCallingTheChannel();

private:
    struct Session
    {
        TestFolders f;
        ScriptedDialogs d;
        Kestrel k{d};
        FrmTestTrapEvents win{k};
    };
    Kestrel &k() { return m_s->k; }
    BrowserElement *b() { return m_s->k.browser(); }
    QWidget *input() { return b()->focusProxy(); }
    QVariant js(const QString &code);
    void open(const QString &page);
    QPoint center(const QString &element);
    void hover(const QString &element);
    void click(const QString &element);
    // Until the page has dispatched `clicks` clicks and Kestrel has handled
    // every report the page made by then.
    void settle(int clicks);
    QString script() const;
    // The script so far plus these lines, each ended by CR LF.
    QString plus(const QStringList &lines) const;

    HttpServer m_server;
    std::unique_ptr<Session> m_s;
    QString m_expected;
};

void TestRecorder::init()
{
    m_s = std::make_unique<Session>();
    m_s->f.writeSettings();
    QVERIFY(k().Form_Load());
    QVERIFY(QTest::qWaitForWindowExposed(&m_s->win));
    m_expected.clear();
}

void TestRecorder::cleanup()
{
    QVERIFY(m_s->d.unexpected.isEmpty());
    QVERIFY(m_s->d.allAnswered());
    m_s.reset();
}

QVariant TestRecorder::js(const QString &code)
{
    QVariant result;
    bool done = false;
    b()->page()->runJavaScript(code, [&](const QVariant &v) {
        result = v;
        done = true;
    });
    if (!QTest::qWaitFor([&] { return done; }, 10000))
        qWarning("no answer from the page");
    return result;
}

void TestRecorder::open(const QString &page)
{
    b()->Navigate2(m_server.url(QStringLiteral("/recorder/") + page).toString());
    QVERIFY(QTest::qWaitFor([&] { return !b()->Busy(); }, 20000));
    k().hookBrowser();
}

QPoint TestRecorder::center(const QString &element)
{
    const QVariantList xy =
        js(QStringLiteral("(function () { const r = (%1).getBoundingClientRect();"
                          " return [r.left + r.width / 2, r.top + r.height / 2]; })()")
               .arg(element))
            .toList();
    return xy.size() == 2 ? QPoint(xy[0].toInt(), xy[1].toInt()) : QPoint(-1, -1);
}

// The pointer over the element; while recording, until its highlight shows
// (the highlight's border moves what follows it).
void TestRecorder::hover(const QString &element)
{
    const QPoint p = center(element);
    // From outside the page, so the element sees the pointer come in even
    // when it was over it already.
    QTest::mouseMove(input(), QPoint(-5, -5));
    QTest::mouseMove(input(), p);
    if (k().g.gMode == QLatin1String("record") || k().g.gMode == QLatin1String("check"))
        QTRY_VERIFY(js(QStringLiteral("document.elementFromPoint(%1, %2).style.borderTopWidth")
                           .arg(p.x())
                           .arg(p.y()))
                        == QLatin1String("3px"));
}

void TestRecorder::click(const QString &element)
{
    hover(element);
    const QPoint p = center(element);
    QTest::mouseMove(input(), p);
    QTest::mouseClick(input(), Qt::LeftButton, {}, p);
}

void TestRecorder::settle(int clicks)
{
    QTRY_COMPARE(js(QStringLiteral("clicks")).toInt(), clicks);
    const QJsonObject posted = b()->callAgent(QStringLiteral("recorderPosted")).value.toObject();
    QTRY_VERIFY(k().pageEvents.handledAll(b(), posted.value(QLatin1String("doc")).toString(),
                                          posted.value(QLatin1String("seq")).toInt()));
}

QString TestRecorder::script() const
{
    QFile f(m_s->k.g.gTempFile);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

QString TestRecorder::plus(const QStringList &lines) const
{
    QString text = m_expected;
    for (const QString &l : lines)
        text += l + QStringLiteral("\r\n");
    return text;
}

// Expects these lines next in the working copy, and nothing else.
#define EXPECT_LINES(...)                                                                          \
    do {                                                                                           \
        m_expected = plus(__VA_ARGS__);                                                            \
        auto show = qScopeGuard([&] {                                                              \
            if (script() != m_expected)                                                            \
                qWarning().noquote() << "got:\n" << script() << "\nwanted:\n" << m_expected;       \
        });                                                                                        \
        QTRY_VERIFY_WITH_TIMEOUT(script() == m_expected, 10000);                                   \
    } while (false)

#define Q(id) QStringLiteral("document.getElementById('" id "')")

void TestRecorder::instrumentation()
{
    // Loaded while idle: no handlers until recording is switched on.
    open(QStringLiteral("site.html"));
    QCOMPARE(js(QStringLiteral("document.onclick === null && document.onfocusout === null")), true);
    click(Q("q"));
    settle(1);
    m_s->win.CmdRecord->click();
    QCOMPARE(js(QStringLiteral("typeof document.onfocusout")), QStringLiteral("function"));
    click(Q("q"));
    EXPECT_LINES({R"("Web","q","INPUT","onclick","","")"});

    // A second hookBrowser leaves one forwarder per event; a handler the
    // page set before it is gone.
    js(QStringLiteral("document.onkeydown = function () { window.pageKeys = 1; }"));
    k().hookBrowser();
    QTest::keyClicks(input(), QStringLiteral("x"));
    click(Q("q"));
    EXPECT_LINES({R"("Web","q","INPUT","onclick","x","")"});
    QCOMPARE(js(QStringLiteral("window.pageKeys === undefined")), true);

    // A page's own handler set afterwards replaces the forwarder of that event
    // only; focus-out is still recorded.
    js(QStringLiteral("document.onclick = function () { window.pageClicks = 1; }"));
    click(Q("qty"));
    QTRY_COMPARE(js(QStringLiteral("window.pageClicks")), 1);
    EXPECT_LINES({R"("Web","q","INPUT","onfocusout","x","")"});

    // Leaving a field that is no INPUT writes nothing; nor does a click in a
    // frame (another document).
    k().hookBrowser();
    click(Q("notes"));
    QTest::keyClicks(input(), QStringLiteral("abc"));
    click(Q("frame"));
    click(Q("q"));
    EXPECT_LINES({R"("Web","qty","INPUT","onfocusout","","")",
                  R"("Web","notes","TEXTAREA","onclick","","")",
                  R"("Web","q","INPUT","onclick","x","")"});
}

void TestRecorder::keysAndFields()
{
    open(QStringLiteral("site.html"));
    k().CmdRecord_Click();
    click(Q("q"));
    QTest::keyClicks(input(), QStringLiteral("widgets"));
    QTest::keyClick(input(), Qt::Key_Return);
    QTest::keyClick(input(), Qt::Key_F5);           // 116: nothing
    QTest::keyClick(input(), Qt::Key_9, Qt::KeypadModifier); // 105
    QTest::keyClick(input(), Qt::Key_Tab);
    EXPECT_LINES({R"("Web","q","INPUT","onclick","","")", R"("Web","q","INPUT","ENTER","widgets","")",
                  R"("Special","","","REFRESH","","")",
                  R"("Web","q","INPUT","onfocusout","widgets9","")"});

    // In check mode a letter key in a field is the check; then recording
    // goes on as before.
    k().CmdCheck_Click();
    QTest::keyClicks(input(), QStringLiteral("3"));
    EXPECT_LINES({R"("Check","qty","INPUT","check","","")"});
    QCOMPARE(k().g.gMode, QStringLiteral("record"));

    // Enter on a link: an empty value; the link then follows with a click.
    js(Q("next") + QStringLiteral(".focus()"));
    QTest::keyClick(input(), Qt::Key_Return);
    EXPECT_LINES({R"("Web","qty","INPUT","onfocusout","3","")", R"("Web","","A","ENTER","","")",
                  R"("Web","Next page","A","onclick","recorder/next.html","")"});
    QTRY_VERIFY(b()->LocationURL().endsWith(QLatin1String("/next.html")));
}

void TestRecorder::checksListsAndHighlight()
{
    open(QStringLiteral("next.html"));
    k().CmdRecord_Click();
    const QString sum = Q("sum");
    const QString before = js(sum + QStringLiteral(".getAttribute('style')")).toString();
    hover(sum);
    QCOMPARE(k().w.border, 1);
    QCOMPARE(k().w.bgcolor, QStringLiteral("#ffff00"));
    QCOMPARE(js(QStringLiteral("getComputedStyle(%1).backgroundColor").arg(sum)),
             QStringLiteral("rgb(192, 192, 192)"));
    hover(Q("cell"));
    QTRY_COMPARE(js(sum + QStringLiteral(".getAttribute('style')")).toString(), before);
    QTest::mouseMove(input(), QPoint(600, 500));
    QTRY_COMPARE(js(Q("cell") + QStringLiteral(".hasAttribute('style')")), false);

    // A check ends after one event; hovering does not end it.
    k().CmdCheck_Click();
    QVERIFY(HookManager::instance().isInstalled(&k(), HookManager::Keyboard));
    hover(sum);
    QCOMPARE(k().g.gMode, QStringLiteral("check"));
    click(sum);
    EXPECT_LINES({R"("Check","onclick","TD","check","42.50","")"});
    QCOMPARE(k().g.gMode, QStringLiteral("record"));
    QCOMPARE(m_s->win.CmdRecord->property("picture"), QStringLiteral("record-on.bmp"));
    QCOMPARE(m_s->win.CmdPlay->property("picture"), QStringLiteral("play-off.bmp"));
    click(Q("cell"));
    EXPECT_LINES({R"("Web","onclick","TD","onclick","Total","")"});

    // Alt checks the element the mouse last went over, without a click; with
    // none remembered it writes nothing but still ends check mode.
    k().CmdCheck_Click();
    hover(Q("js"));
    k().ProcessWebEvent(QString(), QStringLiteral("altkey"));
    EXPECT_LINES({R"L("Check","Run script","A","check","(JS)","")L"});
    k().CmdCheck_Click();
    k().w.webobj = PageObject();
    k().ProcessWebEvent(QString(), QStringLiteral("altkey"));
    QCOMPARE(k().g.gMode, QStringLiteral("record"));

    // Links, pictures and lists; a list records the option chosen, by
    // keyboard or in its pop-up list.
    click(Q("js"));
    click(Q("logo"));
    js(Q("country") + QStringLiteral(".focus()"));
    QTest::keyClick(input(), Qt::Key_Down);
    EXPECT_LINES({R"L("Web","Run script","A","onclick","(JS)","")L",
                  R"("Web","logo.gif","IMG","onclick","","")",
                  R"("Web","country","SELECT","onclick","1","DE:Germany")"});
    click(Q("country"));
    QWidget *list = nullptr;
    QTRY_VERIFY((list = QApplication::activePopupWidget()) != nullptr);
    QTest::mouseClick(list, Qt::LeftButton, {}, QPoint(list->width() / 2, list->height() * 5 / 6));
    EXPECT_LINES({R"("Web","country","SELECT","onclick","2","UK:United Kingdom")"});
    QCOMPARE(script(), m_expected);
}

void TestRecorder::modesAndCommands()
{
    open(QStringLiteral("site.html"));
    // Record twice: nothing written, idle, and idle pages are left alone.
    m_s->win.CmdRecord->click();
    m_s->win.CmdRecord->click();
    QCOMPARE(k().g.gMode, QString());
    QCOMPARE(m_s->win.CmdRecord->property("picture"), QStringLiteral("record-off.bmp"));
    m_s->win.CmdManual->click(); // no dialog while not recording
    m_s->win.CmdSnapshot->click();
    for (const char *mode : {"", "play", "Manual step"}) {
        k().g.gMode = QLatin1String(mode);
        click(Q("q"));
    }
    settle(3);
    QCOMPARE(js(Q("q") + QStringLiteral(".hasAttribute('style')")), false);

    // A manual step needs a comment (one blank will do) and pauses
    // recording until Record is pressed again.
    m_s->win.CmdRecord->click();
    m_s->d.expect(QStringLiteral("input"), QString());
    m_s->d.expect(QStringLiteral("input"), QStringLiteral(" "));
    m_s->win.CmdManual->click();
    QCOMPARE(m_s->d.shown.last(),
             QStringLiteral("input|Manual Step|Please supply comments for your manual step. Once "
                            "you have done your manual step, click on record again to continue."));
    QCOMPARE(k().g.gMode, QStringLiteral("Manual step"));
    QCOMPARE(m_s->win.CmdRecord->property("picture"), QStringLiteral("record-off.bmp"));
    click(Q("qty"));
    settle(4);
    m_s->win.CmdRecord->click();
    click(Q("q"));
    EXPECT_LINES({R"("Special","Manual","",""," ","")", R"("Web","qty","INPUT","onfocusout","","")",
                  R"("Web","q","INPUT","onclick","","")"});
    m_s->d.expect(QStringLiteral("input"), QStringLiteral("order form"));
    m_s->d.expect(QStringLiteral("input"), QString());
    m_s->win.CmdSnapshot->click();
    m_s->win.CmdSnapshot->click();
    QCOMPARE(m_s->d.shown.last(),
             QStringLiteral("input|Name Snapshot Image|Give your image a name. If you leave this "
                            "blank, the step number will be used"));
    EXPECT_LINES({R"("Special","Snapshot","","","order form","")",
                  R"("Special","Snapshot","","","","")"});
    QCOMPARE(k().g.gMode, QStringLiteral("record"));
}

void TestRecorder::hostilePage()
{
    open(QStringLiteral("hostile.html"));
    k().CmdRecord_Click();
    // Handlers that throw, an element its own click removes, quotes, line
    // breaks, commas, NUL and non-ASCII text, shadow roots two deep (the
    // document sees their host) and 50,000 elements.
    click(Q("thrower"));
    click(Q("vanish"));
    click(Q("quoted"));
    click(Q("odd"));
    click(Q("host") + QStringLiteral(".shadowRoot.getElementById('inner-host')"));
    click(QStringLiteral("document.querySelector('#many span')"));
    const QString odd = QStringLiteral("a\r\nb \"c\", d") + QChar(0) + QStringLiteral("e Grüße 日本");
    EXPECT_LINES({R"("Web","onclick","DIV","onclick","Throws","")",
                  R"("Web","onclick","DIV","onclick","Vanishes","")",
                  QStringLiteral("\"Web\",\"Say \x01hi\x01,<i class=\x01x\x01>you</i>\",\"A\","
                                 "\"onclick\",\"(JS)\",\"\""),
                  QStringLiteral("\"Web\",\"onclick\",\"DIV\",\"onclick\",\"a")
                      + QChar(0) + QStringLiteral("b \x01" "c\x01, d") + QChar(0)
                      + QStringLiteral("e Grüße 日本\",\"\""),
                  R"("Web","onclick","DIV","onclick","","")",
                  R"("Web","onclick","SPAN","onclick","n0","")"});
    QCOMPARE(js(Q("vanish") + QStringLiteral(" === null")), true);
    // The link reads back exactly as the page has it.
    const auto lines = readScript(k().g.gTempFile);
    QVERIFY(lines && lines->size() == 6);
    QCOMPARE(lines->at(2).decoded().Object, js(Q("quoted") + QStringLiteral(".innerHTML")).toString());
    QCOMPARE(lines->at(3).decoded().Value.left(4), odd.left(4));

    // A page that leaves on mouse-down: the click it still dispatched is
    // recorded from what it saw, and the next page is recorded as usual.
    click(Q("leave"));
    QTRY_VERIFY(b()->LocationURL().endsWith(QLatin1String("/popup.html")));
    QVERIFY(QTest::qWaitFor([&] { return !b()->Busy(); }, 20000));
    k().hookBrowser();
    click(Q("hello"));
    EXPECT_LINES({R"("Web","onclick","DIV","onclick","Leave","")",
                  R"("Web","onclick","P","onclick","Hello from the pop-up","")"});
}

void TestRecorder::pageCallingTheChannel()
{
    open(QStringLiteral("site.html"));
    QFile client(QStringLiteral(":/qtwebchannel/qwebchannel.js"));
    QVERIFY(client.open(QIODevice::ReadOnly));
    // The page's own channel client; it also sees every message the agent
    // sends, and so learns the click forwarder's token.
    js(QString::fromUtf8(client.readAll()) + QStringLiteral(R"(;
        window.sniffed = [];
        const send = qt.webChannelTransport.send;
        qt.webChannelTransport.send = function (m) { window.sniffed.push(m); send.call(this, m); };
        new QWebChannel(qt.webChannelTransport, function (c) {
            const o = c.objects.kestrel;
            const own = ['unwrapQObject', 'unwrapProperties', 'propertyUpdate', 'signalEmitted'];
            window.probe = {
                objects: Object.keys(c.objects),
                calls: Object.keys(o).filter((k) => typeof o[k] === 'function'
                                             && !k.includes('(') && !own.includes(k)).sort(),
                objectName: o.objectName };
            o.deleteLater();
            o.post('no such token', { handle: 1, members: { tagname: 'DIV' } }, function (r) {
                window.probe.answer = r === undefined ? 'undefined' : JSON.stringify(r); });
            window.forge = function () {
                for (const m of window.sniffed)
                    if (JSON.parse(m).type === 6 && m.includes('"INPUT"')) send.call(qt.webChannelTransport, m);
            };
        }); 1)"));
    QTRY_VERIFY(js(QStringLiteral("window.probe && window.probe.answer")).isValid());
    QCOMPARE(js(QStringLiteral("JSON.stringify(window.probe)")).toString(),
             QStringLiteral(R"({"objects":["kestrel"],"calls":["deleteLater","post"],)"
                            R"("objectName":"","answer":"null"})"));

    // Recording: the forwarder still reports (deleteLater did nothing), a
    // made-up token adds nothing, a replayed report adds its line.
    k().CmdRecord_Click();
    js(Q("q") + QStringLiteral(".dispatchEvent(new MouseEvent('click', { bubbles: true }))"));
    EXPECT_LINES({R"("Web","q","INPUT","onclick","","")"});
    js(QStringLiteral("forge()"));
    EXPECT_LINES({R"("Web","q","INPUT","onclick","","")"});
    // Not recording: nothing at all.
    k().CmdRecord_Click();
    js(QStringLiteral("forge()"));
    js(Q("q") + QStringLiteral(".dispatchEvent(new MouseEvent('click', { bubbles: true }))"));
    settle(2);
    QCOMPARE(script(), m_expected);
}

QTEST_MAIN(TestRecorder)
#include "test_recorder.moc"
