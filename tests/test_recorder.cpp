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
    void pageHandlersChannelAndModes();
    void mouseKeysAndChecks();
    void hostilePage();
    void enterAndSharedIdentities();
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
    // Record pressed, then the page's address typed and Go pressed: the
    // address, which the URL line holds.
    QString recordFromAddressBar(const QString &page)
    {
        const QString url = m_server.url("/recorder/" + page).toString();
        m_s->win.CmdRecord->click();
        m_s->win.TxtURL->setText(url);
        m_s->win.CmdGo->click();
        return url;
    }
    QVariant js(const QString &code) { return m_s->js(code); }
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
    // NUL would end the message early.
    qWarning().noquote() << "got:\n" << QString(got).replace(QChar(0), u"\\0"_s) << "\nwanted:\n"
                         << QString(m_expected).replace(QChar(0), u"\\0"_s);
    return false;
}

#define Q(id) QStringLiteral("document.getElementById('" id "')")

// A tester's session against a small site and its pop-up, as the script.
void TestRecorder::recordsASession()
{
    const QString site = recordFromAddressBar(u"site.html"_s);
    click(Q("q"));
    QTest::keyClicks(input(), u"widgets"_s);
    QTest::keyClick(input(), Qt::Key_Tab);
    QTest::keyClicks(input(), u"3"_s);
    QVERIFY(expect({uR"("Special","URL","","","%1","")"_s.arg(site), R"("Web","q","INPUT","onclick","","")",
                    R"("Web","q","INPUT","onfocusout","widgets","")"}));
    click(Q("next"));
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
    m_s->d.expect(u"input"_s, u"order form"_s);
    m_s->win.CmdSnapshot->click();
    m_s->win.CmdBack->click();
    m_s->d.expect(u"message"_s);
    click(Q("pop"));
    QVERIFY(waitUntil([&] { return k().session.ix == 1 && m_s->d.allAnswered() && !b()->Busy(); }));
    click(Q("hello"));
    QVERIFY(expect({R"("Special","Snapshot","","","order form","")", R"("Special","Back","","","","")",
                    R"("Web","Open pop-up","A","onclick","recorder/popup.html","")",
                    R"("Web","onclick","P","onclick","Hello from the pop-up","")"}));
}

// The recorder's handlers on the page and what reaches it through them.
void TestRecorder::pageHandlersChannelAndModes()
{
    // A page loaded while idle has no handlers.
    open(u"site.html"_s);
    QCOMPARE(js(u"document.onclick === null && document.onfocusout === null"_s), true);
    // The page's own channel client sees one object, whose deleteLater does
    // nothing and whose post answers a made-up token with nothing.
    QFile client(u":/qtwebchannel/qwebchannel.js"_s);
    QVERIFY(client.open(QIODevice::ReadOnly));
    js(QString::fromUtf8(client.readAll()) + u";probeChannel()"_s);
    QVERIFY(waitUntil([&] { return js(u"window.probe && window.probe.answer"_s).isValid(); }));
    QCOMPARE(js(u"JSON.stringify(window.probe)"_s).toString(),
             uR"({"objects":["kestrel"],"objectName":"","calls":["deleteLater","post"],"answer":"null"})"_s);
    // Recording: the forwarder still reports, and the page never sees a
    // report it could send again.
    k().recorder.CmdRecord_Click();
    const QString synthetic = Q("q") + u".dispatchEvent(new MouseEvent('click', { bubbles: true }))"_s;
    js(synthetic);
    QVERIFY(expect({R"("Web","q","INPUT","onclick","","")"}));
    js(u"forge()"_s);
    settle(1);
    QCOMPARE(js(u"window.sniffed.some((m) => m.includes('INPUT'))"_s), false);

    // The element under the mouse is lit while recording, and left as it was
    // when recording ends. Then forged and synthetic reports, Manual Step,
    // snapshot and clicks write nothing and light nothing.
    hover(Q("q"));
    m_s->win.CmdRecord->click();
    QCOMPARE(m_s->win.CmdRecord->property("picture"), u"record-off.bmp"_s);
    QVERIFY(waitUntil([&] { return js(Q("q") + u".hasAttribute('style')"_s) == false; }));
    js(u"forge()"_s);
    js(synthetic);
    m_s->win.CmdManual->click();
    m_s->win.CmdSnapshot->click();
    click(Q("q"));
    k().session.g.gMode = Mode::Play; // a playback's clicks are no steps either
    click(Q("q"));
    k().session.g.gMode = Mode::Idle;
    settle(4);
    QCOMPARE(js(Q("q") + u".hasAttribute('style')"_s), false);

    // A second hookBrowser leaves one forwarder per event, and a handler the
    // page set before it is gone.
    m_s->win.CmdRecord->click();
    js(u"ownKeyHandler()"_s);
    k().recorder.hookBrowser();
    js(u"0"_s); // the page has run what was sent before
    QTest::keyClicks(input(), u"x"_s);
    click(Q("q"));
    QVERIFY(expect({R"("Web","q","INPUT","onclick","x","")"}));
    QCOMPARE(js(u"window.pageKeys === undefined"_s), true);

    // Ones the page sets afterwards replace the forwarders (focus-out too,
    // which Chromium has no handler property for) and are called instead.
    js(u"ownHandlers()"_s);
    click(Q("qty"));
    QVERIFY(waitUntil([&] { return js(u"pageClicks + pageLeft"_s) == "1q"; }));

    // Leaving a field that is no INPUT writes nothing, nor does a click in a
    // frame (another document).
    k().recorder.hookBrowser();
    click(Q("notes"));
    QTest::keyClicks(input(), u"abc"_s);
    click(Q("frame"));
    QVERIFY(expect({R"("Web","qty","INPUT","onfocusout","","")",
                    R"("Web","notes","TEXTAREA","onclick","","")"}));

    // A manual step needs a comment (one blank will do) and pauses recording
    // until Record is pressed again.
    m_s->d.expect(u"input"_s, QString());
    m_s->d.expect(u"input"_s, u" "_s);
    m_s->win.CmdManual->click();
    QCOMPARE(m_s->win.CmdRecord->property("picture"), u"record-off.bmp"_s);
    click(Q("q"));
    settle(8);
    m_s->win.CmdRecord->click();
    click(Q("qty"));
    QVERIFY(expect({R"("Special","Manual","",""," ","")", R"("Web","q","INPUT","onfocusout","x","")",
                    R"("Web","qty","INPUT","onclick","","")"}));
}

// With "Record mouse" ticked a press on the page is a "mousedown" line in
// twips before the page's own line; one per clock second; none left of the
// browser or once the box is cleared. Keys write only what replays; check
// mode checks by click, key or Alt.
void TestRecorder::mouseKeysAndChecks()
{
    auto &win = m_s->win;
    recordOn(u"site.html"_s);
    win.ChkWindowsEvent->click();
    const QPoint p = centreOf(b()->page(), Q("q"));
    QTest::mouseMove(input(), p);
    const QPoint g = input()->mapToGlobal(p);
    QTRY_COMPARE(win.LblMouse->text(), u"%1,%2"_s.arg(g.x() * 15).arg(g.y() * 15));
    QTest::mouseMove(input(), QPoint(-5, -5));
    QTest::mouseMove(input(), p);
    // Two presses early in one clock second: one line.
    QVERIFY(waitUntil([] { return QTime::currentTime().msec() < 300; }, 2000));
    QTest::mouseClick(input(), Qt::LeftButton, {}, p);
    QTest::mouseClick(input(), Qt::LeftButton, {}, p);
    const QString down = uR"("Special","mousedown","",""," %1"," %2")"_s.arg(g.x() * 15).arg(g.y() * 15);
    QVERIFY(expect({down, R"("Web","q","INPUT","onclick","","")", R"("Web","q","INPUT","onclick","","")"}));
    // Right and middle presses are no page presses, each as if in a second of
    // its own. (The page's menu would take the clicks that follow.)
    b()->setContextMenuPolicy(Qt::NoContextMenu);
    for (const Qt::MouseButton button : {Qt::RightButton, Qt::MiddleButton}) {
        k().session.lastclick = {};
        QTest::mouseClick(input(), button, {}, p);
    }
    // Left of the browser: a control of the window, not recorded.
    k().session.lastclick = {};
    QTest::mouseClick(win.TxtEvents->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
    win.ChkWindowsEvent->click();
    QCOMPARE(win.LblMouse->text(), u"Not Recording Mouse"_s);
    QTest::mouseClick(input(), Qt::LeftButton, {}, p);
    // The field lost the focus to the events box: that is its only line.
    QVERIFY(expect({R"("Web","q","INPUT","onfocusout","","")", R"("Web","q","INPUT","onclick","","")"}));

    // Alt in check mode checks the element the mouse last went over.
    win.CmdCheck->click();
    hover(Q("next"));
    QTest::keyClick(input(), Qt::Key_Alt);
    QVERIFY(expect({R"("Check","Next page","A","check","recorder/next.html","")"}));
    // Outside check mode Alt is no check: it goes on to the window, which
    // takes the focus from the field.
    QTest::keyClick(input(), Qt::Key_Alt);
    QTest::mouseClick(input(), Qt::LeftButton, {}, p);
    QVERIFY(expect({R"("Web","q","INPUT","onfocusout","","")", R"("Web","q","INPUT","onclick","","")"}));

    // Key by key, each once the page has dispatched it and every report of
    // it is handled: F5 (116) writes nothing, keypad 9 (105) the REFRESH line.
    const int keys = js(u"keys"_s).toInt();
    QTest::keyClicks(input(), u"ab"_s);
    QTest::keyClick(input(), Qt::Key_F5);
    settle(keys + 3, u"keys"_s);
    QVERIFY(expect({}));
    QTest::keyClick(input(), Qt::Key_9, Qt::KeypadModifier);
    settle(keys + 4, u"keys"_s);
    QVERIFY(expect({R"("Special","","","REFRESH","","")"}));
    QTest::keyClick(input(), Qt::Key_Tab);
    QVERIFY(expect({R"("Web","q","INPUT","onfocusout","ab9","")"}));
    // In check mode a letter key in a field is the check, of what the field
    // holds before the key (the player compares it).
    js(Q("qty") + u".value = '7'"_s);
    k().recorder.CmdCheck_Click();
    QTest::keyClicks(input(), u"3"_s);
    QVERIFY(expect({R"("Check","qty","INPUT","check","7","")"}));
    // A press on Check takes the focus from the field, and the click on the
    // element to check takes it again: each time the field's text is a step,
    // and the click is the check.
    QTest::mouseClick(win.CmdCheck, Qt::LeftButton);
    click(Q("next"));
    QVERIFY(expect({R"("Web","qty","INPUT","onfocusout","73","")", R"("Web","qty","INPUT","onfocusout","73","")",
                    R"("Check","Next page","A","check","recorder/next.html","")"}));
    QVERIFY(shows(u"/next.html"_s));

    // The highlight, and its exact undo: the cell's own inline style comes
    // back. (That an element without one has none after is the label's.)
    const QVariant before = js(Q("sum") + u".getAttribute('style')"_s);
    hover(Q("sum"));
    QCOMPARE(k().session.border, 1);
    QCOMPARE(k().session.bgcolor, u"#ffff00"_s);
    QCOMPARE(js(u"getComputedStyle(%1).backgroundColor"_s.arg(Q("sum"))), u"rgb(192, 192, 192)"_s);
    hover(Q("cell"));
    QVERIFY(waitUntil([&] { return js(Q("sum") + u".getAttribute('style')"_s) == before; }));

    // Hovering does not end a check, the next click does; then recording
    // goes on. Alt with no element remembered writes nothing but ends check
    // mode.
    k().recorder.CmdCheck_Click();
    hover(Q("js"));
    QCOMPARE(k().session.g.gMode, Mode::Check);
    k().recorder.webobj = PageObject();
    k().recorder.ProcessWebEvent(QString(), u"altkey"_s);
    QCOMPARE(k().session.g.gMode, Mode::Record);
    k().recorder.CmdCheck_Click();
    click(Q("cell"));
    click(Q("cell"));
    QVERIFY(expect({R"("Check","onclick","TD","check","Total","")",
                    R"("Web","onclick","TD","onclick","Total","")"}));
}

void TestRecorder::hostilePage()
{
    recordOn(u"hostile.html"_s);
    // Handlers that throw, an element its own click removes, quotes, line
    // breaks, commas, NUL and non-ASCII text, a closed shadow root inside an
    // open one (nothing is recorded, and the tester is told once), a list
    // chosen by keyboard in the open one, and 50,000 elements.
    click(Q("thrower"));
    click(Q("vanish"));
    click(Q("quoted"));
    click(Q("odd"));
    click(Q("host") + u".shadowRoot.getElementById('inner-host')"_s);
    click(Q("host") + u".shadowRoot.getElementById('inner-host')"_s);
    // Focus moved by script would race the clicks still on their way.
    settle(6);
    js(Q("host") + u".shadowRoot.querySelector('select').focus()"_s);
    QTest::keyClick(input(), Qt::Key_Down);
    click(u"document.querySelector('#many span')"_s);
    const QString nul(QChar(0));
    QVERIFY(expect({R"("Web","onclick","DIV","onclick","Throws","")",
                    R"("Web","onclick","DIV","onclick","Vanishes","")",
                    QStringLiteral("\"Web\",\"Say \x01hi\x01,<i class=\x01x\x01>you</i>\",\"A\","
                                   "\"onclick\",\"(JS)\",\"\""),
                    QStringLiteral("\"Web\",\"onclick\",\"DIV\",\"onclick\",\"a%1b \x01" "c\x01, "
                                   "d%1e Grüße 日本\",\"\"").arg(nul),
                    R"("Web","plan","SELECT","onclick","1","pro:Pro")",
                    R"("Web","onclick","SPAN","onclick","n0","")"}));
    QCOMPARE(m_s->win.eventsText().count(u"closed shadow root"_s), 1);
    QCOMPARE(js(Q("vanish") + u" === null"_s), true);

    // A page that leaves on mouse-down: the click it still dispatched is
    // recorded from what it saw, and the next page is recorded as usual.
    click(Q("leave"));
    click(Q("hello"));
    QVERIFY(expect({R"("Web","onclick","DIV","onclick","Leave","")",
                    R"("Web","onclick","P","onclick","Hello from the pop-up","")"}));
}

// Enter in a form's field is one ENTER step, without the click the browser
// makes on the form's default button; Enter on a link is the link's click.
// A button that takes its own row away, and a field among unnamed ones, are
// the ones acted on again: the recording plays back.
void TestRecorder::enterAndSharedIdentities()
{
    const QString page = recordFromAddressBar(u"shared.html?rows"_s);
    QVERIFY(shows(u"/shared.html?rows"_s));
    click(u"document.querySelectorAll('button')[2]"_s);
    click(u"document.querySelectorAll('p input')[1]"_s);
    QTest::keyClicks(input(), u"hi"_s);
    click(u"document.querySelector('[name=user]')"_s);
    QTest::keyClicks(input(), u"bob"_s);
    QTest::keyClick(input(), Qt::Key_Return);
    QVERIFY(shows(u"/next.html?user=bob&pw="_s));
    m_s->win.CmdBack->click();
    QVERIFY(shows(u"/shared.html?rows"_s));
    js(Q("next") + u".focus()"_s);
    QTest::keyClick(input(), Qt::Key_Return);
    QVERIFY(shows(u"/next.html"_s));
    QVERIFY(expect({uR"("Special","URL","","","%1","")"_s.arg(page),
                    R"("Web","","BUTTON","onclick","Remove","@3")",
                    R"("Web","","INPUT","onclick","","@2")", R"("Web","","INPUT","onfocusout","hi","@2")",
                    R"("Web","user","INPUT","onclick","","")",
                    R"("Web","user","INPUT","ENTER","bob","")", R"("Special","Back","","","","")",
                    R"("Web","Next page","A","onclick","recorder/next.html","")"}));
    const QString acted = u"sessionStorage.removed + ' ' + sessionStorage.typed"_s;
    QCOMPARE(js(acted).toString(), u"Cy 1:hi"_s);
    js(u"sessionStorage.clear()"_s);
    m_s->win.CmdRecord->click();
    k().player.DoPlay();
    const auto log = [&] { return m_s->win.frmLog()->log->toPlainText(); };
    const auto ended = [&] { return log().contains("TEST COMPLETE"_L1) || log().contains("failed"_L1); };
    QVERIFY(waitUntil(ended, 60000));
    QVERIFY2(log().contains(" **** TEST COMPLETE - PASSED ****"_L1), qPrintable(log()));
    QVERIFY(shows(u"/next.html"_s));
    QCOMPARE(js(acted).toString(), u"Cy 1:hi"_s);

    // Elements that share what a line names them by get a hint telling which
    // one it was; unique ones keep their line as it always was.
    recordOn(u"shared.html"_s);
    click(u"document.querySelectorAll('p input')[2]"_s);
    click(Q("first"));
    click(u"document.querySelector('[name=unique]')"_s);
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
    hover(u"document.querySelector('[name=who]')"_s);
    const QVariantList text = js(u"textCentre(%1)"_s.arg(Q("who"))).toList();
    const QPoint onText(text.value(0).toInt(), text.value(1).toInt());
    QTest::mouseMove(input(), onText);
    QTest::mouseClick(input(), Qt::LeftButton, {}, onText);
    const QString label = uR"(Name: <input name="who">)"_s;
    QVERIFY(expect({uR"("Web","onclick","LABEL","onclick","%1","")"_s
                        .arg(QString(label).replace(u'"', QChar(1))),
                    R"("Web","who","INPUT","onclick","","")"}));
    QTest::mouseMove(input(), QPoint(-5, -5));
    QVERIFY(waitUntil([&] { return js(u"document.querySelectorAll('[style]').length"_s).toInt() == 0; }));
    QCOMPARE(js(Q("who") + u".innerHTML"_s).toString(), label);

    // Check mode: pressing the list checks it as it is; the choice then made
    // is a step of its own. Unchanged, it is the check alone; either way
    // check mode is over.
    k().recorder.CmdCheck_Click();
    click(Q("size"));
    chooseInList(5.0 / 6);
    k().recorder.CmdCheck_Click();
    click(Q("size"));
    chooseInList(5.0 / 6);
    click(u"document.querySelector('[name=unique]')"_s);
    // (The press comes before the field loses the focus to the list.)
    QVERIFY(expect({R"("Check","size","SELECT","check","0","s:Small")",
                    R"("Web","who","INPUT","onfocusout","","")",
                    R"("Web","size","SELECT","onclick","2","l:Large")",
                    R"("Check","size","SELECT","check","2","l:Large")",
                    R"("Web","unique","INPUT","onclick","","")"}));
    QCOMPARE(k().session.g.gMode, Mode::Record);
    // A check of one of several alike tells which one too.
    js(u"document.activeElement.blur()"_s);
    QVERIFY(expect({R"("Web","unique","INPUT","onfocusout","","")"}));
    k().recorder.CmdCheck_Click();
    click(u"document.querySelectorAll('button')[0]"_s);
    QVERIFY(expect({R"("Check","","BUTTON","check","Remove","@1")"}));
    // By keyboard: the key checks the list as it was, the choice follows.
    k().recorder.CmdCheck_Click();
    js(Q("size") + u".focus()"_s);
    QTest::keyClick(input(), Qt::Key_Up);
    QVERIFY(expect({R"("Check","size","SELECT","check","2","l:Large")",
                    R"("Web","size","SELECT","onclick","1","m:Medium")"}));

    // The background (the body's padding and the document below the body)
    // is no step unless the page handles it.
    const int clicksBefore = js(u"clicks"_s).toInt();
    const QPoint body(3, 3);
    const QPoint html(3, input()->height() - 3);
    QCOMPARE(js(u"tagsAt(3, 3, %1)"_s.arg(html.y())), u"BODYHTML"_s);
    for (const QPoint &p : {body, html}) {
        QTest::mouseMove(input(), p);
        QTest::mouseClick(input(), Qt::LeftButton, {}, p);
    }
    settle(clicksBefore + 2);
    // A page that handles it: a press of the mouse there.
    js(u"document.body.onclick = function () { document.title = 'clicked'; }"_s);
    QTest::mouseMove(input(), body);
    QTest::mouseClick(input(), Qt::LeftButton, {}, body);
    const QPoint g = b()->mapToGlobal(body);
    QVERIFY(expect({uR"("Special","mousedown","",""," %1"," %2")"_s.arg(g.x() * 15).arg(g.y() * 15)}));
}

// A page that replaces built-ins, before Record and again after, sees no
// token it could forge a report with, and changes no line.
void TestRecorder::tamperedBuiltIns()
{
    recordOn(u"tamper.html"_s);
    click(Q("a2"));
    QTest::keyClicks(input(), u"x"_s);
    QTest::keyClick(input(), Qt::Key_Tab);
    QTest::keyClick(input(), Qt::Key_Down);
    click(Q("pick"));
    chooseInList(5.0 / 6);
    QVERIFY(expect({R"("Web","dup","INPUT","onclick","","#a2")",
                    R"("Web","dup","INPUT","onfocusout","x","#a2")",
                    R"("Web","pick","SELECT","onclick","1","2:Two")",
                    R"("Web","pick","SELECT","onclick","2","3:Three")"}));
    js(u"tamper()"_s);
    k().recorder.hookBrowser();
    click(Q("a1"));
    QCOMPARE(js(u"forge()"_s).toInt(), 0);
    // Reports are handled in order: anything forged would come before this.
    click(Q("a2"));
    QVERIFY(expect({R"("Web","dup","INPUT","onclick","","#a1")",
                    R"("Web","dup","INPUT","onfocusout","","#a1")",
                    R"("Web","dup","INPUT","onclick","x","#a2")"}));
}

QTEST_MAIN(TestRecorder)
#include "test_recorder.moc"
