#include "Program.h"

#include <QApplication>
#include <QJsonObject>

// Recording on real pages with real mouse and key input: what the tester does
// must become exactly these lines of the working copy.
class TestRecorder : public QObject
{
    Q_OBJECT
public:
    static void initMain()
    {
        initTestEnvironment();
        qputenv("KESTREL_STEP_INTERVAL_MS", "100"); // the replay of a recording
    }

private slots:
    void initTestCase() { QVERIFY(m_server.isListening()); }
    void init()
    {
        m_s = std::make_unique<Program>();
        m_expected.clear();
        QVERIFY(m_s->start());
        QVERIFY(QTest::qWaitForWindowExposed(&m_s->win));
    }
    void cleanup()
    {
        QVERIFY(m_s->d.unexpected.isEmpty() && m_s->d.allAnswered());
        m_s.reset();
    }
    void recordsASession();
    void instrumentationAndModes();
    void keysChecksAndHighlight();
    void hostilePage();
    void pageCallingTheChannel();
    void mousePressesAndAltKey();
    void sharedIdentitiesListsAndBackground();
    void enterRecordsWhatReplays();
    void shadowRoots();
    void tamperedBuiltIns();

private:
    Kestrel &k() { return m_s->k; }
    BrowserElement *b() { return m_s->k.browser(); }
    QWidget *input() { return b()->focusProxy(); }
    void open(const QString &page) { k().browsers.GoToPage(m_server.url("/recorder/" + page).toString()); }
    bool shows(const QString &page) { return m_s->shows(page); }
    // The page loaded, then Record pressed.
    void recordOn(const QString &page)
    {
        open(page);
        QVERIFY(shows(QLatin1Char('/') + page));
        k().recorder.CmdRecord_Click();
    }
    QVariant js(const QString &code) { return m_s->js(code); }
    QPoint center(const QString &element) { return centreOf(b()->page(), element); }
    void click(const QString &element) { m_s->click(element); }
    void hover(const QString &element) { m_s->click(element, false); }
    void chooseInList(double fraction);
    void settle(int events, const QString &counter = QStringLiteral("clicks"));
    bool expect(const QStringList &lines);

    HttpServer m_server;
    std::unique_ptr<Program> m_s;
    QString m_expected;
};

// In the list's own pop-up, at this height of it. A click that comes before
// the list has drawn its options leaves it open; it is made again.
void TestRecorder::chooseInList(double fraction)
{
    QWidget *list = nullptr;
    QVERIFY(waitUntil([&] { return (list = QApplication::activePopupWidget()) != nullptr; }));
    QVERIFY(QTest::qWaitForWindowExposed(list));
    for (int i = 0; i < 5 && QApplication::activePopupWidget() == list; ++i) {
        QTest::mouseClick(list, Qt::LeftButton, {}, QPoint(list->width() / 2, list->height() * fraction));
        waitUntil([&] { return QApplication::activePopupWidget() != list; }, 1000);
    }
    QVERIFY(!QApplication::activePopupWidget());
}

// Until the page's counter (of clicks, unless named) reaches `events` and
// every report the page made by then is handled.
void TestRecorder::settle(int events, const QString &counter)
{
    QVERIFY(waitUntil([&] { return js(counter).toInt() == events; }));
    const QJsonObject sent = b()->callAgent(QStringLiteral("recorderPosted")).value().toObject();
    QVERIFY(waitUntil([&] {
        return k().recorder.pageEvents.handledAll(b(), sent["doc"].toString(), sent["seq"].toInt());
    }));
}

// These lines come next in the working copy, and nothing else.
bool TestRecorder::expect(const QStringList &lines)
{
    for (const QString &l : lines)
        m_expected += l + QStringLiteral("\r\n");
    QString got;
    if (waitUntil([&] { got = readText(k().session.g.gTempFile); return got == m_expected; }, 10000))
        return true;
    qWarning().noquote() << "got:\n" << got << "\nwanted:\n" << m_expected;
    return false;
}

#define Q(id) QStringLiteral("document.getElementById('" id "')")

// A tester's session against a small site, start to end, as the saved script.
void TestRecorder::recordsASession()
{
    const QString site = m_server.url(QStringLiteral("/recorder/site.html")).toString();
    m_s->win.CmdRecord->click();
    m_s->win.TxtURL->setText(site);
    m_s->win.CmdGo->click();
    click(Q("q"));
    QTest::keyClicks(input(), QStringLiteral("widgets"));
    QTest::keyClick(input(), Qt::Key_Tab);
    QTest::keyClicks(input(), QStringLiteral("3"));
    QTest::keyClick(input(), Qt::Key_Return);
    QVERIFY(expect({QStringLiteral(R"("Special","URL","","","%1","")").arg(site),
                    R"("Web","q","INPUT","onclick","","")",
                    R"("Web","q","INPUT","onfocusout","widgets","")",
                    R"("Web","qty","INPUT","ENTER","3","")"}));
    click(Q("next"));
    QVERIFY(shows(QStringLiteral("/next.html")));
    click(Q("js"));
    click(Q("logo"));
    click(Q("country"));
    chooseInList(5.0 / 6);
    click(Q("cell"));
    QVERIFY(expect({R"("Web","qty","INPUT","onfocusout","3","")",
                    R"("Web","Next page","A","onclick","recorder/next.html","")",
                    R"L("Web","Run script","A","onclick","(JS)","")L",
                    R"("Web","logo.gif","IMG","onclick","","")",
                    R"("Web","country","SELECT","onclick","2","UK:United Kingdom")",
                    R"("Web","onclick","TD","onclick","Total","")"}));
    m_s->win.CmdCheck->click();
    click(Q("sum"));
    QVERIFY(expect({R"("Check","onclick","TD","check","42.50","")"}));
    m_s->d.expect(QStringLiteral("input"), QStringLiteral("Compare the printout"));
    m_s->d.expect(QStringLiteral("input"), QStringLiteral("order form"));
    m_s->d.expect(QStringLiteral("input"), QString());
    m_s->win.CmdManual->click();
    m_s->win.CmdRecord->click();
    m_s->win.CmdSnapshot->click();
    m_s->win.CmdSnapshot->click();
    m_s->win.CmdBack->click();
    QVERIFY(shows(site));
    m_s->d.expect(QStringLiteral("message"));
    click(Q("pop"));
    QVERIFY(waitUntil([&] { return k().session.ix == 1 && m_s->d.allAnswered() && !b()->Busy(); }));
    click(Q("hello"));
    QVERIFY(expect({R"("Special","Manual","","","Compare the printout","")",
                    R"("Special","Snapshot","","","order form","")",
                    R"("Special","Snapshot","","","","")", R"("Special","Back","","","","")",
                    R"("Web","Open pop-up","A","onclick","recorder/popup.html","")",
                    R"("Web","onclick","P","onclick","Hello from the pop-up","")"}));
    m_s->win.CmdClose->click();
    QVERIFY(expect({R"("Special","Close","","","","")"}));

    const QString saved = m_s->f.scripts() + QStringLiteral("/session.csv");
    m_s->d.expect(QStringLiteral("save"), saved);
    m_s->win.mnuSaveAs->trigger();
    QCOMPARE(readText(saved), m_expected);
}

void TestRecorder::instrumentationAndModes()
{
    // A page loaded while idle has no handlers; Record pressed twice writes
    // nothing; Manual Step and snapshot do nothing while not recording.
    open(QStringLiteral("site.html"));
    QCOMPARE(js(QStringLiteral("document.onclick === null && document.onfocusout === null")), true);
    m_s->win.CmdRecord->click();
    QCOMPARE(js(QStringLiteral("typeof document.onfocusout")), QStringLiteral("function"));
    // The element under the mouse is lit while recording, and left as it was
    // when recording ends.
    hover(Q("q"));
    m_s->win.CmdRecord->click();
    QCOMPARE(m_s->win.CmdRecord->property("picture"), QStringLiteral("record-off.bmp"));
    QVERIFY(waitUntil([&] { return js(Q("q") + QStringLiteral(".hasAttribute('style')")) == false; }));
    m_s->win.CmdManual->click();
    m_s->win.CmdSnapshot->click();
    // With the forwarders on the page, these modes write nothing and
    // highlight nothing.
    for (const Mode mode : {Mode::Idle, Mode::Play, Mode::ManualStep}) {
        k().session.g.gMode = mode;
        click(Q("q"));
    }
    settle(3);
    QCOMPARE(js(Q("q") + QStringLiteral(".hasAttribute('style')")), false);

    // A second hookBrowser leaves one forwarder per event, and a handler the
    // page set before it is gone.
    m_s->win.CmdRecord->click();
    js(QStringLiteral("document.onkeydown = function () { window.pageKeys = 1; }"));
    k().recorder.hookBrowser();
    js(QStringLiteral("0")); // the page has run what was sent before
    QTest::keyClicks(input(), QStringLiteral("x"));
    click(Q("q"));
    QVERIFY(expect({R"("Web","q","INPUT","onclick","x","")"}));
    QCOMPARE(js(QStringLiteral("window.pageKeys === undefined")), true);

    // Ones the page sets afterwards replace the forwarders (focus-out too,
    // which Chromium has no handler property for) and are called instead.
    js(QStringLiteral("document.onclick = function () { window.pageClicks = 1; };"
                      "document.onfocusout = function (e) { window.pageLeft = e.target.id; }"));
    click(Q("qty"));
    QVERIFY(waitUntil([&] { return js(QStringLiteral("pageClicks + pageLeft")) == "1q"; }));

    // Leaving a field that is no INPUT writes nothing, nor does a click in a
    // frame (another document).
    k().recorder.hookBrowser();
    click(Q("notes"));
    QTest::keyClicks(input(), QStringLiteral("abc"));
    click(Q("frame"));
    QVERIFY(expect({R"("Web","qty","INPUT","onfocusout","","")",
                    R"("Web","notes","TEXTAREA","onclick","","")"}));

    // A manual step needs a comment (one blank will do) and pauses recording
    // until Record is pressed again.
    m_s->d.expect(QStringLiteral("input"), QString());
    m_s->d.expect(QStringLiteral("input"), QStringLiteral(" "));
    m_s->win.CmdManual->click();
    QCOMPARE(m_s->win.CmdRecord->property("picture"), QStringLiteral("record-off.bmp"));
    click(Q("q"));
    settle(7);
    m_s->win.CmdRecord->click();
    click(Q("qty"));
    QVERIFY(expect({R"("Special","Manual","",""," ","")", R"("Web","q","INPUT","onfocusout","x","")",
                    R"("Web","qty","INPUT","onclick","","")"}));
}

void TestRecorder::keysChecksAndHighlight()
{
    open(QStringLiteral("site.html"));
    k().recorder.CmdRecord_Click();
    click(Q("q"));
    QTest::keyClicks(input(), QStringLiteral("ab"));
    QVERIFY(expect({R"("Web","q","INPUT","onclick","","")"}));
    // Key by key, each once the page has dispatched it and every report of
    // it is handled: F5 (116) writes nothing, keypad 9 (105) the REFRESH line.
    js(QStringLiteral("window.keysSeen = 0;"
                      " document.addEventListener('keydown', () => ++keysSeen, true)"));
    QTest::keyClick(input(), Qt::Key_F5);
    settle(1, QStringLiteral("keysSeen"));
    QVERIFY(expect({}));
    QTest::keyClick(input(), Qt::Key_9, Qt::KeypadModifier);
    settle(2, QStringLiteral("keysSeen"));
    QVERIFY(expect({R"("Special","","","REFRESH","","")"}));
    QTest::keyClick(input(), Qt::Key_Tab);
    QVERIFY(expect({R"("Web","q","INPUT","onfocusout","ab9","")"}));
    // In check mode a letter key in a field is the check, of what the field
    // holds before the key (the player compares it).
    js(Q("qty") + QStringLiteral(".value = '7'"));
    k().recorder.CmdCheck_Click();
    QVERIFY(HookManager::instance().isInstalled(&k().recorder, HookManager::Keyboard));
    QTest::keyClicks(input(), QStringLiteral("3"));
    QVERIFY(expect({R"("Check","qty","INPUT","check","7","")"}));
    QCOMPARE(k().session.g.gMode, Mode::Record);
    QCOMPARE(m_s->win.CmdRecord->property("picture"), QStringLiteral("record-on.bmp"));
    QCOMPARE(m_s->win.CmdPlay->property("picture"), QStringLiteral("play-off.bmp"));
    click(Q("next"));
    QVERIFY(expect({R"("Web","qty","INPUT","onfocusout","73","")",
                    R"("Web","Next page","A","onclick","recorder/next.html","")"}));
    QVERIFY(shows(QStringLiteral("/next.html")));

    // The highlight, and its exact undo: the cell's own inline style comes
    // back. (That an element without one has none after is the label's.)
    const QString sum = Q("sum");
    const QVariant before = js(sum + QStringLiteral(".getAttribute('style')"));
    hover(sum);
    QCOMPARE(k().session.border, 1);
    QCOMPARE(k().session.bgcolor, QStringLiteral("#ffff00"));
    QCOMPARE(js(QStringLiteral("getComputedStyle(%1).backgroundColor").arg(sum)),
             QStringLiteral("rgb(192, 192, 192)"));
    hover(Q("cell"));
    QVERIFY(waitUntil([&] { return js(sum + QStringLiteral(".getAttribute('style')")) == before; }));

    // Hovering does not end a check, the next click does; then recording
    // goes on. Alt checks the element the mouse last went over; with none
    // remembered it writes nothing but ends check mode.
    k().recorder.CmdCheck_Click();
    hover(Q("js"));
    QCOMPARE(k().session.g.gMode, Mode::Check);
    k().recorder.ProcessWebEvent(QString(), QStringLiteral("altkey"));
    k().recorder.CmdCheck_Click();
    k().recorder.webobj = PageObject();
    k().recorder.ProcessWebEvent(QString(), QStringLiteral("altkey"));
    QCOMPARE(k().session.g.gMode, Mode::Record);
    k().recorder.CmdCheck_Click();
    click(Q("cell"));
    click(Q("cell"));
    QVERIFY(expect({R"L("Check","Run script","A","check","(JS)","")L",
                    R"("Check","onclick","TD","check","Total","")",
                    R"("Web","onclick","TD","onclick","Total","")"}));
}

void TestRecorder::hostilePage()
{
    open(QStringLiteral("hostile.html"));
    k().recorder.CmdRecord_Click();
    // Handlers that throw, an element its own click removes, quotes, line
    // breaks, commas, NUL and non-ASCII text, a closed shadow root inside an
    // open one (nothing is recorded, and the tester is told once) and 50,000
    // elements.
    click(Q("thrower"));
    click(Q("vanish"));
    click(Q("quoted"));
    click(Q("odd"));
    click(Q("host") + QStringLiteral(".shadowRoot.getElementById('inner-host')"));
    click(Q("host") + QStringLiteral(".shadowRoot.getElementById('inner-host')"));
    click(QStringLiteral("document.querySelector('#many span')"));
    const QString nul(QChar(0));
    QVERIFY(expect({R"("Web","onclick","DIV","onclick","Throws","")",
                    R"("Web","onclick","DIV","onclick","Vanishes","")",
                    QStringLiteral("\"Web\",\"Say \x01hi\x01,<i class=\x01x\x01>you</i>\",\"A\","
                                   "\"onclick\",\"(JS)\",\"\""),
                    QStringLiteral("\"Web\",\"onclick\",\"DIV\",\"onclick\",\"a%1b \x01" "c\x01, "
                                   "d%1e Grüße 日本\",\"\"").arg(nul),
                    R"("Web","onclick","SPAN","onclick","n0","")"}));
    QCOMPARE(m_s->win.eventsText().count(QStringLiteral("closed shadow root")), 1);
    QCOMPARE(js(Q("vanish") + QStringLiteral(" === null")), true);

    // A page that leaves on mouse-down: the click it still dispatched is
    // recorded from what it saw, and the next page is recorded as usual.
    click(Q("leave"));
    QVERIFY(shows(QStringLiteral("/popup.html")));
    click(Q("hello"));
    QVERIFY(expect({R"("Web","onclick","DIV","onclick","Leave","")",
                    R"("Web","onclick","P","onclick","Hello from the pop-up","")"}));
}

void TestRecorder::pageCallingTheChannel()
{
    open(QStringLiteral("site.html"));
    QFile client(QStringLiteral(":/qtwebchannel/qwebchannel.js"));
    QVERIFY(client.open(QIODevice::ReadOnly));
    // The page's own channel client. It also sees every message the agent
    // sends, and so can replay the click forwarder's reports.
    js(QString::fromUtf8(client.readAll()) + QStringLiteral(R"(;
        window.sniffed = [];
        const send = qt.webChannelTransport.send;
        qt.webChannelTransport.send = function (m) { window.sniffed.push(m); send.call(this, m); };
        window.forge = function () {
            for (const m of window.sniffed)
                if (JSON.parse(m).type === 6 && m.includes('"INPUT"')) send.call(qt.webChannelTransport, m);
        };
        new QWebChannel(qt.webChannelTransport, function (c) {
            const o = c.objects.kestrel;
            const own = ['unwrapQObject', 'unwrapProperties', 'propertyUpdate', 'signalEmitted'];
            window.probe = { objects: Object.keys(c.objects), objectName: o.objectName,
                calls: Object.keys(o).filter((k) => typeof o[k] === 'function'
                                             && !k.includes('(') && !own.includes(k)).sort() };
            o.deleteLater();
            o.post('no such token', { handle: 1, members: { tagname: 'DIV' } }, function (r) {
                window.probe.answer = r === undefined ? 'undefined' : JSON.stringify(r); });
        }); 1)"));
    QVERIFY(waitUntil([&] { return js(QStringLiteral("window.probe && window.probe.answer")).isValid(); }));
    QCOMPARE(js(QStringLiteral("JSON.stringify(window.probe)")).toString(),
             QStringLiteral(R"({"objects":["kestrel"],"objectName":"","calls":["deleteLater","post"],)"
                            R"("answer":"null"})"));

    // Recording: the forwarder still reports (deleteLater did nothing), a
    // made-up token adds nothing, and the page never sees a report it could
    // send again.
    k().recorder.CmdRecord_Click();
    const QString synthetic = Q("q") + QStringLiteral(".dispatchEvent(new MouseEvent('click', { bubbles: true }))");
    js(synthetic);
    QVERIFY(expect({R"("Web","q","INPUT","onclick","","")"}));
    js(QStringLiteral("forge()"));
    settle(1);
    QCOMPARE(js(QStringLiteral("window.sniffed.some((m) => m.includes('INPUT'))")), false);
    QVERIFY(expect({}));
    // Not recording: nothing at all.
    k().recorder.CmdRecord_Click();
    js(QStringLiteral("forge()"));
    js(synthetic);
    settle(2);
    QVERIFY(expect({}));
}

// With "Record mouse" ticked a press on the page is a "mousedown" line in
// twips before the page's own line; one per clock second; none left of the
// browser or once the box is cleared. Alt in check mode checks the element
// the mouse last went over.
void TestRecorder::mousePressesAndAltKey()
{
    auto &win = m_s->win;
    win.CmdRecord->click();
    open(QStringLiteral("site.html"));
    QVERIFY(shows(QStringLiteral("/site.html")));
    win.ChkWindowsEvent->click();
    const QPoint p = center(Q("q"));
    QTest::mouseMove(input(), p);
    const QPoint g = input()->mapToGlobal(p);
    QTRY_COMPARE(win.LblMouse->text(), QStringLiteral("%1,%2").arg(g.x() * 15).arg(g.y() * 15));
    QTest::mouseMove(input(), QPoint(-5, -5));
    QTest::mouseMove(input(), p);
    // Two presses early in one clock second: one line.
    QVERIFY(waitUntil([] { return QTime::currentTime().msec() < 300; }, 2000));
    QTest::mouseClick(input(), Qt::LeftButton, {}, p);
    QTest::mouseClick(input(), Qt::LeftButton, {}, p);
    const QString down = QStringLiteral(R"("Special","mousedown","",""," %1"," %2")")
                             .arg(g.x() * 15).arg(g.y() * 15);
    QVERIFY(expect({down, R"("Web","q","INPUT","onclick","","")",
                    R"("Web","q","INPUT","onclick","","")"}));
    // Right and middle presses are no page presses, each in a second of its
    // own. (The page's menu would take the clicks that follow.)
    b()->setContextMenuPolicy(Qt::NoContextMenu);
    for (const Qt::MouseButton button : {Qt::RightButton, Qt::MiddleButton}) {
        QTest::qWait(1100);
        QTest::mouseClick(input(), button, {}, p);
    }
    // Left of the browser: a control of the window, not recorded.
    QTest::qWait(1100);
    QTest::mouseClick(win.TxtEvents->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
    win.ChkWindowsEvent->click();
    QCOMPARE(win.LblMouse->text(), QStringLiteral("Not Recording Mouse"));
    QTest::mouseClick(input(), Qt::LeftButton, {}, p);
    // The field lost the focus to the events box: that is its only line.
    QVERIFY(expect({R"("Web","q","INPUT","onfocusout","","")",
                    R"("Web","q","INPUT","onclick","","")"}));

    win.CmdCheck->click();
    hover(Q("next"));
    QTest::keyClick(input(), Qt::Key_Alt);
    QVERIFY(expect({R"("Check","Next page","A","check","recorder/next.html","")"}));
    QCOMPARE(k().session.g.gMode, Mode::Record);
    // Outside check mode Alt is no check: it goes on to the window, which
    // takes the focus from the field.
    QTest::keyClick(input(), Qt::Key_Alt);
    QTest::mouseClick(input(), Qt::LeftButton, {}, p);
    QVERIFY(expect({R"("Web","q","INPUT","onfocusout","","")",
                    R"("Web","q","INPUT","onclick","","")"}));
    QCOMPARE(k().session.g.gMode, Mode::Record);
}

// Elements that share what a line names them by get a hint telling which one
// it was, and unique ones keep their line as it always was; a list in check
// mode is checked when it is pressed; the highlight never shows in what is
// recorded; the page's background is no step unless the page handles it.
void TestRecorder::sharedIdentitiesListsAndBackground()
{
    recordOn(QStringLiteral("shared.html"));
    // (Typed text and a button's @n are the Enter test's, which replays them.)
    click(QStringLiteral("document.querySelectorAll('p input')[2]"));
    click(Q("first"));
    click(QStringLiteral("document.querySelector('[name=unique]')"));
    click(Q("bob"));
    QVERIFY(expect({R"("Web","","INPUT","onclick","","@3")", R"("Web","","INPUT","onfocusout","","@3")",
                    R"("Web","","INPUT","onclick","","#first")",
                    R"("Web","","INPUT","onfocusout","","#first")",
                    R"("Web","unique","INPUT","onclick","","")",
                    R"("Web","unique","INPUT","onfocusout","","")",
                    R"("Web","","BUTTON","onclick","Remove","#bob")"}));

    // The field inside the label is still lit when the label is clicked: the
    // label is recorded as the page has it, and nothing of the highlight
    // stays behind.
    hover(QStringLiteral("document.querySelector('[name=who]')"));
    const QVariantList text =
        js(QStringLiteral("(function () { const r = document.createRange();"
                          " r.selectNodeContents(%1.firstChild); const b = r.getBoundingClientRect();"
                          " return [b.left + b.width / 2, b.top + b.height / 2]; })()").arg(Q("who")))
            .toList();
    QVERIFY(text.size() == 2);
    const QPoint onText(text[0].toInt(), text[1].toInt());
    QTest::mouseMove(input(), onText);
    QTest::mouseClick(input(), Qt::LeftButton, {}, onText);
    const QString label = QStringLiteral(R"(Name: <input name="who">)");
    QVERIFY(expect({QStringLiteral(R"("Web","onclick","LABEL","onclick","%1","")")
                        .arg(QString(label).replace(QLatin1Char('"'), QChar(1))),
                    R"("Web","who","INPUT","onclick","","")"}));
    QTest::mouseMove(input(), QPoint(-5, -5));
    QVERIFY(waitUntil([&] {
        return js(QStringLiteral("document.querySelectorAll('[style]').length")).toInt() == 0;
    }));
    QCOMPARE(js(Q("who") + QStringLiteral(".innerHTML")).toString(), label);

    // Check mode: pressing the list checks it as it is; the choice then made
    // is a step of its own. Unchanged, it is the check alone; either way
    // check mode is over.
    k().recorder.CmdCheck_Click();
    click(Q("size"));
    chooseInList(5.0 / 6);
    k().recorder.CmdCheck_Click();
    click(Q("size"));
    chooseInList(5.0 / 6);
    click(QStringLiteral("document.querySelector('[name=unique]')"));
    // (The press comes before the field loses the focus to the list.)
    QVERIFY(expect({R"("Check","size","SELECT","check","0","s:Small")",
                    R"("Web","who","INPUT","onfocusout","","")",
                    R"("Web","size","SELECT","onclick","2","l:Large")",
                    R"("Check","size","SELECT","check","2","l:Large")",
                    R"("Web","unique","INPUT","onclick","","")"}));
    QCOMPARE(k().session.g.gMode, Mode::Record);
    // A check of one of several alike tells which one too.
    js(QStringLiteral("document.activeElement.blur()"));
    QVERIFY(expect({R"("Web","unique","INPUT","onfocusout","","")"}));
    k().recorder.CmdCheck_Click();
    click(QStringLiteral("document.querySelectorAll('button')[0]"));
    QVERIFY(expect({R"("Check","","BUTTON","check","Remove","@1")"}));
    // By keyboard: the key checks the list as it was, the choice follows.
    k().recorder.CmdCheck_Click();
    js(Q("size") + QStringLiteral(".focus()"));
    QTest::keyClick(input(), Qt::Key_Up);
    QVERIFY(expect({R"("Check","size","SELECT","check","2","l:Large")",
                    R"("Web","size","SELECT","onclick","1","m:Medium")"}));

    // The background: the body's padding and the document below the body.
    const int clicksBefore = js(QStringLiteral("clicks")).toInt();
    const QPoint body(3, 3);
    const QPoint html(3, input()->height() - 3);
    QCOMPARE(js(QStringLiteral("document.elementFromPoint(3, 3).tagName + document.elementFromPoint(3, %1).tagName")
                    .arg(html.y())),
             QStringLiteral("BODYHTML"));
    for (const QPoint &p : {body, html}) {
        QTest::mouseMove(input(), p);
        QTest::mouseClick(input(), Qt::LeftButton, {}, p);
    }
    settle(clicksBefore + 2);
    // A page that handles it: a press of the mouse there.
    js(QStringLiteral("document.body.onclick = function () { document.title = 'clicked'; }"));
    QTest::mouseMove(input(), body);
    QTest::mouseClick(input(), Qt::LeftButton, {}, body);
    settle(clicksBefore + 3);
    const QPoint g = b()->mapToGlobal(body);
    QVERIFY(expect({QStringLiteral(R"("Special","mousedown","",""," %1"," %2")")
                        .arg(g.x() * 15).arg(g.y() * 15)}));
}

// Enter in a form's field is one ENTER step, without the click the browser
// makes on the form's default button; Enter on a link is the link's click.
// A button that takes its own row away, and a field among unnamed ones, are
// the ones acted on again. The recording plays back.
void TestRecorder::enterRecordsWhatReplays()
{
    const QString page = m_server.url(QStringLiteral("/recorder/shared.html?rows")).toString();
    m_s->win.CmdRecord->click();
    m_s->win.TxtURL->setText(page);
    m_s->win.CmdGo->click();
    QVERIFY(shows(QStringLiteral("/shared.html?rows")));
    click(QStringLiteral("document.querySelectorAll('button')[2]"));
    click(QStringLiteral("document.querySelectorAll('p input')[1]"));
    QTest::keyClicks(input(), QStringLiteral("hi"));
    click(QStringLiteral("document.querySelector('[name=user]')"));
    QTest::keyClicks(input(), QStringLiteral("bob"));
    QTest::keyClick(input(), Qt::Key_Return);
    QVERIFY(shows(QStringLiteral("/next.html?user=bob&pw=")));
    m_s->win.CmdBack->click();
    QVERIFY(shows(QStringLiteral("/shared.html?rows")));
    js(Q("next") + QStringLiteral(".focus()"));
    QTest::keyClick(input(), Qt::Key_Return);
    QVERIFY(shows(QStringLiteral("/next.html")));
    QVERIFY(expect({QStringLiteral(R"("Special","URL","","","%1","")").arg(page),
                    R"("Web","","BUTTON","onclick","Remove","@3")",
                    R"("Web","","INPUT","onclick","","@2")", R"("Web","","INPUT","onfocusout","hi","@2")",
                    R"("Web","user","INPUT","onclick","","")",
                    R"("Web","user","INPUT","ENTER","bob","")", R"("Special","Back","","","","")",
                    R"("Web","Next page","A","onclick","recorder/next.html","")"}));

    QCOMPARE(js(QStringLiteral("sessionStorage.removed + ' ' + sessionStorage.typed")),
             QStringLiteral("Cy 1:hi"));
    js(QStringLiteral("sessionStorage.clear()"));
    m_s->win.CmdRecord->click();
    k().player.DoPlay();
    QString log;
    QVERIFY(waitUntil([&] {
        log = m_s->win.frmLog()->log->toPlainText();
        return log.contains(QLatin1String("TEST COMPLETE")) || log.contains(QLatin1String("failed"));
    }, 60000));
    QVERIFY2(log.contains(QLatin1String(" **** TEST COMPLETE - PASSED ****")), qPrintable(log));
    QVERIFY(shows(QStringLiteral("/next.html")));
    QCOMPARE(js(QStringLiteral("sessionStorage.removed + ' ' + sessionStorage.typed")),
             QStringLiteral("Cy 1:hi"));
}

// A list chosen by keyboard inside an open shadow root. (Fields and buttons
// in one are the web component app's, a closed one the hostile page's.)
void TestRecorder::shadowRoots()
{
    recordOn(QStringLiteral("shadow.html"));
    js(Q("form") + QStringLiteral(".shadowRoot.querySelector('select').focus()"));
    QTest::keyClick(input(), Qt::Key_Down);
    QVERIFY(expect({R"("Web","plan","SELECT","onclick","1","pro:Pro")"}));
}

// A page that replaces built-ins, before Record and again after, sees no
// token it could forge a report with, and changes no line.
void TestRecorder::tamperedBuiltIns()
{
    recordOn(QStringLiteral("tamper.html"));
    click(Q("a2"));
    QTest::keyClicks(input(), QStringLiteral("x"));
    QTest::keyClick(input(), Qt::Key_Tab);
    QTest::keyClick(input(), Qt::Key_Down);
    click(Q("pick"));
    chooseInList(5.0 / 6);
    QVERIFY(expect({R"("Web","dup","INPUT","onclick","","#a2")",
                    R"("Web","dup","INPUT","onfocusout","x","#a2")",
                    R"("Web","pick","SELECT","onclick","1","2:Two")",
                    R"("Web","pick","SELECT","onclick","2","3:Three")"}));
    js(QStringLiteral("tamper()"));
    k().recorder.hookBrowser();
    click(Q("a1"));
    QCOMPARE(js(QStringLiteral("forge()")).toInt(), 0);
    // Reports are handled in order: anything forged would come before this.
    click(Q("a2"));
    QVERIFY(expect({R"("Web","dup","INPUT","onclick","","#a1")",
                    R"("Web","dup","INPUT","onfocusout","","#a1")",
                    R"("Web","dup","INPUT","onclick","x","#a2")"}));
}

QTEST_MAIN(TestRecorder)
#include "test_recorder.moc"
