#include "Program.h"

#include "platform/HookManager.h"
#include "script/ScriptLine.h"

#include <QRegularExpression>
#include <QSignalSpy>
#include <QTimer>
#include <QWebEnginePage>

// Navigation, the address bar, load progress and pop-ups in the main window,
// on real pages over loopback. One main window serves every test.
class TestBrowsing : public QObject
{
    Q_OBJECT
public:
    static void initMain() { initTestEnvironment(); }

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void startupShowsHelpPage();
    void addressBarAndRecordedLines();
    void progressAndNotifications();
    void stopAndCrashEndWaits();
    void popupsStackAndClose();
    void pageDialogsThroughDialogs();
    void pageWithScriptsStillLoading();
    void clientSideNavigation();

private:
    QString url(const QString &path) const { return m_server.url(path).toString(); }
    QString lines() const { return m_p->workingCopy(); }
    static QString line(const QString &object, const QString &value = QString())
    {
        return fileForm({u"Special"_s, object, QString(), QString(), value, QString()});
    }
    QVariant js(const QString &code) { return m_p->js(code); }
    Kestrel &k() { return m_p->k; }
    FrmTestTrapEvents &win() { return m_p->win; }
    ScriptedDialogs &d() { return m_p->d; }
    // A real mouse click on the element with that id.
    void press(const QString &id) { m_p->click(u"document.getElementById('%1')"_s.arg(id)); }

    HttpServer m_server;
    std::unique_ptr<Program> m_p;
};

void TestBrowsing::initTestCase()
{
    m_server.addRedirect(u"/old.html"_s, u"/members.html"_s);
    // A picture that never arrives keeps its page loading; a page that never
    // comes keeps the browser waiting for it.
    m_server.addHangingPath(u"/x.gif"_s);
    m_server.addHangingPath(u"/never.html"_s);
    m_server.addHangingPath(u"/never.js"_s);
    m_p = std::make_unique<Program>();
    QVERIFY(m_p->start());
    QVERIFY(QTest::qWaitForWindowExposed(&win())); // for real mouse clicks
    // No playback here.
    k().player.Timer1.stop();
}

void TestBrowsing::cleanupTestCase()
{
    QVERIFY(d().unexpected.isEmpty());
    m_p.reset();
}

void TestBrowsing::init()
{
    QFile::remove(k().session.g.gTempFile);
    k().session.g.gMode = Mode::Idle;
}

void TestBrowsing::startupShowsHelpPage()
{
    BrowserElement *b = k().browser();
    QCOMPARE(win().TxtURL->text(), BrowserStack::helpPageUrl());
    QVERIFY(!b->Busy());
    QCOMPARE(win().LblSts->text(), QString());
    QCOMPARE(win().cursor().shape(), Qt::ArrowCursor);
    QVERIFY(findHandle(b, u"H1"_s, u"Kestrel"_s).valueOr({}).toInt() > 0);

    // Back with nothing to go back to still hands over its line.
    k().session.g.gMode = Mode::Record;
    win().CmdBack->click();
    QCOMPARE(lines(), line(u"Back"_s));

    // Any other address of the scheme is an error page, not a hang.
    k().browsers.GoToPage(u"kestrel://help/nothing-here"_s);
    QCOMPARE(win().TxtURL->text(), u"kestrel://help/nothing-here"_s);
}

void TestBrowsing::addressBarAndRecordedLines()
{
    k().session.g.gMode = Mode::Record;

    // Go with an empty box: the message, nothing else.
    win().TxtURL->clear();
    d().expect(u"message"_s);
    win().CmdGo->click();
    QVERIFY(d().allAnswered());
    QCOMPARE(d().shown.last(), u"message|Kestrel|You must enter a valid URL"_s);
    QCOMPARE(lines(), QString());

    // Silent is applied before, during and after the wait.
    // (Counted, so the test fails if nothing was ever looked at; unticked
    // first, so it fails if Go never applies the box.)
    k().browser()->setSilent(false);
    int seen = 0, silent = 0;
    auto c = connect(k().browser(), &BrowserElement::ProgressChange, this, [&] {
        ++seen;
        silent += k().browser()->Silent() ? 1 : 0;
    });
    win().TxtURL->setText(url(u"/page1.html"_s));
    win().CmdGo->click();
    disconnect(c);
    QVERIFY(seen > 0);
    QCOMPARE(silent, seen);
    QCOMPARE(win().TxtURL->text(), url(u"/page1.html"_s));

    // Enter with an address without scheme: the completed form is recorded.
    win().TxtURL->setText(u"127.0.0.1:%1/page2.html"_s.arg(m_server.serverPort()));
    QTest::keyClick(win().TxtURL, Qt::Key_Return);
    QCOMPARE(win().TxtURL->text(), url(u"/page2.html"_s));

    // A redirect: the address the page was loaded from.
    win().TxtURL->setText(url(u"/old.html"_s));
    win().CmdGo->click();
    QCOMPARE(win().TxtURL->text(), url(u"/members.html"_s));

    win().CmdBack->click();
    QVERIFY(waitUntil([&] { return !k().browser()->Busy(); }));
    QCOMPARE(win().TxtURL->text(), url(u"/page2.html"_s));

    // Enter in an empty box navigates (to a blank page) and records.
    win().TxtURL->clear();
    QTest::keyClick(win().TxtURL, Qt::Key_Return);
    QCOMPARE(win().TxtURL->text(), u"about:blank"_s);

    QCOMPARE(lines(), line(u"URL"_s, url(u"/page1.html"_s)) + line(u"URL"_s, url(u"/page2.html"_s))
                          + line(u"URL"_s, url(u"/members.html"_s)) + line(u"Back"_s)
                          + line(u"URL"_s, u"about:blank"_s));
    QVERIFY(win().TxtEvents->toPlainText().contains(u"URL,,"_s + url(u"/members.html"_s)));
}

// The status label, pointer and address box follow the notifications, from
// whichever element; mouse recording pauses while a page loads.
void TestBrowsing::progressAndNotifications()
{
    const std::tuple<int, int, const char *> cases[] = {
        {2, 3, "loading 66%"},     {29, 100, "loading 29%"},   {0, 100, "loading 0%"},
        {-1, 100, "loading 100%"}, {150, 100, "loading 100%"}, {0, 0, ""}};
    for (const auto &[progress, max, label] : cases) {
        k().browsers.wbMyBrowser_ProgressChange(3, progress, max);
        QCOMPARE(win().LblSts->text(), QLatin1String(label));
        QCOMPARE(win().cursor().shape(), *label ? Qt::WaitCursor : Qt::ArrowCursor);
    }
    HookManager &hooks = HookManager::instance();
    win().ChkWindowsEvent->setChecked(true);
    win().TxtURL->setText(u"typed"_s);
    k().browsers.wbMyBrowser_NavigateComplete2(0, QString());
    QCOMPARE(win().TxtURL->text(), k().browser()->LocationURL());
    QVERIFY(hooks.isInstalled(&k().recorder, HookManager::Mouse));
    k().browsers.wbMyBrowser_BeforeNavigate2(0, QString());
    QCOMPARE(win().cursor().shape(), Qt::WaitCursor);
    QVERIFY(!hooks.isInstalled(&k().recorder, HookManager::Mouse));
    win().ChkWindowsEvent->setChecked(false);
    k().browsers.wbMyBrowser_NavigateComplete2(0, QString());
    QCOMPARE(win().cursor().shape(), Qt::ArrowCursor);
    QVERIFY(!hooks.isInstalled(&k().recorder, HookManager::Mouse));
}

// Stop ends the wait for a page that keeps loading and for one that never
// comes, a crashed renderer ends it too, and the element serves on.
void TestBrowsing::stopAndCrashEndWaits()
{
    QStringList seen;
    auto c = connect(k().browser(), &BrowserElement::ProgressChange, this,
                     [&] { seen << win().LblSts->text(); });
    QTimer::singleShot(1000, win().CmdBrowserStop, &QPushButton::click);
    k().browsers.GoToPage(url(u"/slow.html"_s));
    disconnect(c);
    QVERIFY(!k().browser()->Busy());
    // While it waited, the label showed the progress.
    QVERIFY(!seen.filter(QRegularExpression(u"^loading \\d+%$"_s)).isEmpty());
    QCOMPARE(win().LblSts->text(), QString());

    QTimer::singleShot(500, win().CmdBrowserStop, &QPushButton::click);
    k().browsers.GoToPage(url(u"/never.html"_s));
    QCOMPARE(win().LblSts->text(), QString());

    QSignalSpy terminated(k().browser()->page(), &QWebEnginePage::renderProcessTerminated);
    k().browsers.GoToPage(u"chrome://crash"_s);
    QVERIFY(waitUntil([&] { return !terminated.isEmpty(); }));
    QCOMPARE(win().LblSts->text(), QString());
    win().TxtURL->setText(url(u"/page2.html"_s));
    win().CmdGo->click();
    QCOMPARE(win().TxtURL->text(), url(u"/page2.html"_s));
    QVERIFY(findHandle(k().browser(), u"P"_s, u"Two"_s).valueOr({}).toInt() > 0);
}

void TestBrowsing::popupsStackAndClose()
{
    // ix, each element shown or hidden, and whether Close shows.
    auto stack = [this] {
        QString s = QString::number(k().session.ix) + u':';
        for (BrowserElement *b : k().browsers.wbMyBrowser)
            s += b->isVisible() ? u" shown"_s : u" hidden"_s;
        return s + (win().CmdClose->isVisible() ? u", Close"_s : u""_s);
    };
    auto clickOn = [](BrowserElement *b, const QString &id) {
        runJs(b->page(), u"document.getElementById('%1').click()"_s.arg(id));
    };
    BrowserElement *main = k().browsers.wbMyBrowser.at(0);
    k().browsers.GoToPage(url(u"/popup.html"_s));

    // A link with a target while recording: stacked, shown, the message.
    k().session.g.gMode = Mode::Record;
    d().expect(u"message"_s);
    clickOn(main, u"target"_s);
    QVERIFY(waitUntil([&] { return k().session.ix == 1 && d().allAnswered(); }));
    QVERIFY(d().shown.last().startsWith(u"message|Pop-up|"_s));
    QCOMPARE(stack(), u"1: hidden shown, Close"_s);
    QCOMPARE(win().TxtURL->text(), url(u"/members.html"_s));
    QCOMPARE(win().LblSts->text(), QString());
    // Fitted like element 0, and kept fitted.
    QCOMPARE(k().browser()->geometry(), win().wbMyBrowser->rect());

    // The hidden main browser's notifications act on the shown pop-up.
    win().TxtURL->setText(u"typed"_s);
    main->Navigate2(url(u"/popup.html?again=1"_s));
    QVERIFY(waitUntil([&] { return !main->Busy(); }));
    QCOMPARE(win().TxtURL->text(), url(u"/members.html"_s));

    // A window requested by the pop-up opens in the pop-up itself.
    k().session.g.gMode = Mode::Idle;
    k().browsers.GoToPage(url(u"/popup.html"_s));
    clickOn(k().browser(), u"opener"_s);
    QVERIFY(m_p->shows(u"/dialogs.html"_s));
    QCOMPARE(k().session.ix, 1);

    // window.open from the main browser, not recording: no message. A page
    // opening thirty windows at once gets one (requests in a quick series
    // after the last pop-up count as part of it, hence the pause).
    waitUntil([] { return false; }, 400);
    clickOn(main, u"flood"_s);
    QVERIFY(waitUntil([&] { return k().session.ix == 2 && !k().browser()->Busy(); }));
    QVERIFY(!waitUntil([&] { return k().session.ix != 2; }, 1500));
    QCOMPARE(stack(), u"2: hidden hidden shown, Close"_s);
    QVERIFY(k().browser()->LocationURL().startsWith(url(u"/members.html?n="_s)));

    // Close twice: one Close line while recording, none in check mode.
    k().session.g.gMode = Mode::Record;
    const QString popupAddress = win().TxtURL->text();
    win().CmdClose->click();
    QCOMPARE(stack(), u"1: hidden shown, Close"_s);
    QCOMPARE(win().TxtURL->text(), popupAddress);
    k().session.g.gMode = Mode::Check;
    win().CmdClose->click();
    QCOMPARE(stack(), u"0: shown"_s);
    QCOMPARE(lines(), line(u"Close"_s));

    // Nothing to close: nothing happens, nothing is recorded.
    k().session.g.gMode = Mode::Record;
    k().browsers.ClosePopup();
    QCOMPARE(stack(), u"0: shown"_s);
    QCOMPARE(lines(), line(u"Close"_s));
}

void TestBrowsing::pageDialogsThroughDialogs()
{
    win().chkSilent->setChecked(false);
    k().browsers.GoToPage(url(u"/dialogs.html"_s));
    d().expect(u"message"_s);
    d().expect(u"question"_s, u"no"_s);
    d().expect(u"input"_s, u"Zed"_s);
    QCOMPARE(js(u"run()"_s).toString(), u"false|Zed"_s);
    QCOMPARE(d().shown.mid(d().shown.size() - 3),
             (QStringList{u"message|Kestrel|Hello"_s, u"question|Kestrel|Sure?"_s,
                          u"input|Kestrel|Name?"_s}));

    // Silent again: nothing is shown.
    win().chkSilent->setChecked(true);
    k().browsers.GoToPage(url(u"/dialogs.html"_s));
    QCOMPARE(js(u"run()"_s).toString(), u"true|Ann"_s);
}

// A page is shown, and can be used, while an external script of it still
// loads: it is reported and instrumented from then on, and what the tester
// does on it is recorded after the line that opened it.
void TestBrowsing::pageWithScriptsStillLoading()
{
    k().session.g.gMode = Mode::Record;
    const QString address = url(u"/loading.html"_s);
    const QString expected = line(u"URL"_s, address)
        + fileForm({u"Web"_s, QString(), u"BUTTON"_s, u"onclick"_s, u"Press"_s, QString()});
    // Go waits for the load, which never ends: the tester acts meanwhile,
    // inside that wait, once the page is instrumented, and then presses Stop.
    QString during;
    QTimer::singleShot(0, this, [&] {
        if (waitUntil([&] { return js(u"typeof document.onclick"_s) == "function"_L1; })) {
            press(u"press"_s);
            waitUntil([&] { return lines() == expected; });
        }
        const bool busy = k().browser()->Busy();
        during = win().TxtURL->text() + (busy ? u" loading\n"_s : u" loaded\n"_s) + lines();
        win().CmdBrowserStop->click();
    });
    win().TxtURL->setText(address);
    win().CmdGo->click();
    QCOMPARE(during, address + u" loading\n"_s + expected);
    // Once stopped, the address is not recorded a second time.
    QCOMPARE(lines(), expected);
}

// The address box follows a page that changes its own address, and Back
// over such an entry ends like any navigation.
void TestBrowsing::clientSideNavigation()
{
    k().browsers.GoToPage(url(u"/spa.html"_s));
    BrowserElement *b = k().browser();
    QSignalSpy complete(b, &BrowserElement::NavigateComplete2);
    const int document = b->documentSerial();

    for (const auto &[id, path] : {std::pair{"orders", "/orders"}, {"order", "/orders/7"},
                                   {"notes", "/orders/7#notes"}}) {
        press(QLatin1String(id));
        QTRY_COMPARE_WITH_TIMEOUT(win().TxtURL->text(), url(QLatin1String(path)), 10000);
    }
    press(u"details"_s);
    const QString view = u"document.getElementById('view').textContent"_s;
    QVERIFY(waitUntil([&] { return js(view) == "/orders/7#notes details"_L1; }));
    // The page is the same document: no navigation was reported for it.
    QCOMPARE(complete.size(), 0);
    QCOMPARE(b->documentSerial(), document);
    QVERIFY(!b->Busy());

    // Back within the document: the page renders the earlier entry, the box
    // shows its address, and the wait for the browser ends with it.
    // Each ends as a navigation (not by a time limit for loads that never
    // start), also the one over the entry that kept its address.
    k().session.g.gMode = Mode::Record;
    const QStringList entries = {u"/orders/7#notes"_s, u"/orders/7"_s, u"/spa.html"_s};
    for (int back = 0; back < entries.size(); ++back) {
        win().CmdBack->click();
        QVERIFY(back > 0 || b->Busy());
        QVERIFY(waitUntil([&] { return !b->Busy(); }));
        QCOMPARE(complete.size(), back + 1);
        QCOMPARE(win().TxtURL->text(), url(entries[back]));
        QCOMPARE(js(view).toString(), entries[back]);
    }
    QCOMPARE(lines(), line(u"Back"_s).repeated(3));
}

QTEST_MAIN(TestBrowsing)
#include "test_browsing.moc"
