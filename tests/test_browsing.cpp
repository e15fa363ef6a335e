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
    void progressLabel();
    void stopEndsWaits();
    void popupsStackAndClose();
    void pageDialogsThroughDialogs();
    void crashedRendererLeavesKestrelUsable();
    void mouseHookAroundNavigation();
    void pageWithScriptsStillLoading();
    void clientSideNavigation();

private:
    QString url(const QString &path) const { return m_server.url(path).toString(); }
    QString lines() const { return m_p->workingCopy(); }
    static QString line(const QString &object, const QString &value = QString())
    {
        return fileForm({u"Special"_s, object, QString(), QString(), value, QString()});
    }
    void click(int element, const char *tag, const char *identity);
    QVariant js(const QString &code) { return m_p->js(code); }
    // A real mouse click on the element with that id.
    void press(const QString &id) { m_p->click(u"document.getElementById('%1')"_s.arg(id)); }

    HttpServer m_server;
    std::unique_ptr<Program> m_p;
    // One main window serves every test.
    Kestrel *m_k = nullptr;
    FrmTestTrapEvents *m_win = nullptr;
    ScriptedDialogs *m_dialogs = nullptr;
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
    m_k = &m_p->k;
    m_win = &m_p->win;
    m_dialogs = &m_p->d;
    QVERIFY(m_p->start());
    // No playback here.
    m_k->player.Timer1.stop();
}

void TestBrowsing::cleanupTestCase()
{
    QVERIFY(m_dialogs->unexpected.isEmpty());
    m_p.reset();
}

void TestBrowsing::init()
{
    QFile::remove(m_k->session.g.gTempFile);
    m_k->session.g.gMode = Mode::Idle;
}

void TestBrowsing::click(int element, const char *tag, const char *identity)
{
    BrowserElement *b = m_k->browsers.wbMyBrowser.value(element);
    QVERIFY(b);
    const AgentResult found = findHandle(b, QLatin1String(tag), QLatin1String(identity));
    QVERIFY2(found.ok() && found.value().toInt() > 0, identity);
    QVERIFY(b->callAgent(u"invoke"_s, {found.value().toInt(), u"Click"_s}).ok());
}

void TestBrowsing::startupShowsHelpPage()
{
    const QString help = BrowserStack::helpPageUrl();
    QCOMPARE(m_win->TxtURL->text(), help);
    QCOMPARE(m_win->Label2->text(), help);
    BrowserElement *b = m_k->browser();
    QCOMPARE(b->LocationURL(), help);
    QVERIFY(!b->Busy());
    QCOMPARE(m_win->LblSts->text(), QString());
    QCOMPARE(m_win->cursor().shape(), Qt::ArrowCursor);
    QVERIFY(findHandle(b, QStringLiteral("H1"), QStringLiteral("Kestrel")).value().toInt() > 0);

    // Any other address of the scheme is an error page, not a hang.
    m_k->browsers.GoToPage(QStringLiteral("kestrel://help/nothing-here"));
    QVERIFY(!b->Busy());
    QCOMPARE(m_win->TxtURL->text(), QStringLiteral("kestrel://help/nothing-here"));
}

void TestBrowsing::addressBarAndRecordedLines()
{
    m_k->session.g.gMode = Mode::Record;
    const QString before = m_k->browser()->LocationURL();

    // Go with an empty box: the message, nothing else.
    m_win->TxtURL->clear();
    m_dialogs->expect(QStringLiteral("message"));
    m_win->CmdGo->click();
    QVERIFY(m_dialogs->allAnswered());
    QCOMPARE(m_dialogs->shown.last(), QStringLiteral("message|Kestrel|You must enter a valid URL"));
    QCOMPARE(lines(), QString());
    QCOMPARE(m_k->browser()->LocationURL(), before);

    // Silent is applied before, during and after the wait.
    // (Counted, so the test fails if nothing was ever looked at; unticked
    // first, so it fails if Go never applies the box.)
    m_k->browser()->setSilent(false);
    int seen = 0, silent = 0;
    auto c = connect(m_k->browser(), &BrowserElement::ProgressChange, this, [&] {
        ++seen;
        silent += m_k->browser()->Silent() ? 1 : 0;
    });
    m_win->TxtURL->setText(url(QStringLiteral("/page1.html")));
    m_win->CmdGo->click();
    disconnect(c);
    QVERIFY(seen > 0);
    QCOMPARE(silent, seen);
    QVERIFY(!m_k->browser()->Busy());
    QCOMPARE(m_win->TxtURL->text(), url(QStringLiteral("/page1.html")));

    // Enter with an address without scheme: the completed form is recorded.
    const QString bare = QStringLiteral("127.0.0.1:%1/page2.html").arg(m_server.serverPort());
    m_win->TxtURL->setText(bare);
    QTest::keyClick(m_win->TxtURL, Qt::Key_Return);
    QCOMPARE(m_win->TxtURL->text(), url(QStringLiteral("/page2.html")));

    // A redirect: the address the page was loaded from.
    m_win->TxtURL->setText(url(QStringLiteral("/old.html")));
    m_win->CmdGo->click();
    QCOMPARE(m_win->TxtURL->text(), url(QStringLiteral("/members.html")));

    m_win->CmdBack->click();
    QVERIFY(waitUntil([&] { return !m_k->browser()->Busy(); }));
    QCOMPARE(m_win->TxtURL->text(), url(QStringLiteral("/page2.html")));

    // Enter in an empty box navigates (to a blank page) and records.
    m_win->TxtURL->clear();
    QTest::keyClick(m_win->TxtURL, Qt::Key_Return);
    QCOMPARE(m_win->TxtURL->text(), QStringLiteral("about:blank"));

    QCOMPARE(lines(), line(QStringLiteral("URL"), url(QStringLiteral("/page1.html")))
                          + line(QStringLiteral("URL"), url(QStringLiteral("/page2.html")))
                          + line(QStringLiteral("URL"), url(QStringLiteral("/members.html")))
                          + line(QStringLiteral("Back"))
                          + line(QStringLiteral("URL"), QStringLiteral("about:blank")));
    QVERIFY(m_win->TxtEvents->toPlainText().contains(
        QStringLiteral("URL,,") + url(QStringLiteral("/members.html"))));

    // Back with nothing to go back to still hands over its line.
    QFile::remove(m_k->session.g.gTempFile);
    BrowserElement fresh(1);
    m_k->browsers.wbMyBrowser.append(&fresh);
    m_k->session.ix = 1;
    m_win->CmdBack->click();
    m_k->session.ix = 0;
    m_k->browsers.wbMyBrowser.removeLast();
    QCOMPARE(lines(), line(QStringLiteral("Back")));
}

void TestBrowsing::progressLabel()
{
    struct Case
    {
        int progress, max;
        const char *label;
        bool busy;
    };
    const Case cases[] = {
        {1, 3, "loading 33%", true},  {2, 3, "loading 66%", true},  {-1, 100, "loading 100%", true},
        {150, 100, "loading 100%", true}, {29, 100, "loading 29%", true}, {0, 100, "loading 0%", true},
        {100, 100, "loading 100%", true}, {0, 0, "", false},          {5, 0, "", false},
    };
    for (const Case &c : cases) {
        m_k->browsers.wbMyBrowser_ProgressChange(3, c.progress, c.max);
        QCOMPARE(m_win->LblSts->text(), QLatin1String(c.label));
        QCOMPARE(m_win->cursor().shape(), c.busy ? Qt::WaitCursor : Qt::ArrowCursor);
    }
    m_k->browsers.wbMyBrowser_BeforeNavigate2(0, QString());
    QCOMPARE(m_win->cursor().shape(), Qt::WaitCursor);
    m_k->browsers.wbMyBrowser_NavigateComplete2(0, QString());
    QCOMPARE(m_win->cursor().shape(), Qt::ArrowCursor);
    QCOMPARE(m_win->TxtURL->text(), m_k->browser()->LocationURL());
}

void TestBrowsing::stopEndsWaits()
{
    QStringList seen;
    auto c = connect(m_k->browser(), &BrowserElement::ProgressChange, this,
                     [&] { seen << m_win->LblSts->text(); });
    QTimer::singleShot(1000, m_win->CmdBrowserStop, &QPushButton::click);
    m_k->browsers.GoToPage(url(QStringLiteral("/slow.html")));
    disconnect(c);
    QVERIFY(!m_k->browser()->Busy());
    // While it waited, the label showed the progress.
    QVERIFY(!seen.filter(QRegularExpression(QStringLiteral("^loading \\d+%$"))).isEmpty());
    QCOMPARE(m_win->LblSts->text(), QString());
    QCOMPARE(m_win->TxtURL->text(), url(QStringLiteral("/slow.html")));
    QCOMPARE(m_win->cursor().shape(), Qt::ArrowCursor);

    // A server that never answers the page itself.
    const QString never = url(u"/never.html"_s);
    QTimer::singleShot(500, m_win->CmdBrowserStop, &QPushButton::click);
    m_k->browsers.GoToPage(never);
    QVERIFY(!m_k->browser()->Busy());
    QCOMPARE(m_win->LblSts->text(), QString());

    // The element is still in order.
    m_k->browsers.GoToPage(url(QStringLiteral("/page1.html")));
    QCOMPARE(m_win->TxtURL->text(), url(QStringLiteral("/page1.html")));
}

void TestBrowsing::popupsStackAndClose()
{
    BrowserElement *main = m_k->browsers.wbMyBrowser.at(0);
    m_k->browsers.GoToPage(url(QStringLiteral("/popup.html")));

    // A link with a target while recording: stacked, shown, the message.
    m_k->session.g.gMode = Mode::Record;
    m_dialogs->expect(QStringLiteral("message"));
    click(0, "A", "Target");
    QVERIFY(waitUntil([&] { return m_k->session.ix == 1; }));
    QVERIFY(waitUntil([&] { return m_dialogs->allAnswered(); }));
    QVERIFY(m_dialogs->shown.last().startsWith(QStringLiteral("message|Pop-up|")));
    QCOMPARE(m_k->browsers.wbMyBrowser.size(), 2);
    BrowserElement *first = m_k->browsers.wbMyBrowser.at(1);
    QVERIFY(main->isHidden());
    QVERIFY(first->isVisible());
    QCOMPARE(first->index(), 1);
    QCOMPARE(first->LocationURL(), url(QStringLiteral("/members.html")));
    QCOMPARE(m_win->TxtURL->text(), url(QStringLiteral("/members.html")));
    QVERIFY(m_win->CmdClose->isVisible());
    QCOMPARE(m_win->LblSts->text(), QString());
    // Fitted like element 0, and kept fitted.
    QCOMPARE(first->geometry(), m_win->wbMyBrowser->rect());

    // The hidden main browser's notifications act on the shown pop-up.
    m_win->TxtURL->setText(QStringLiteral("typed"));
    main->Navigate2(url(QStringLiteral("/popup.html?again=1")));
    QVERIFY(waitUntil([&] { return !main->Busy(); }));
    QCOMPARE(m_win->TxtURL->text(), url(QStringLiteral("/members.html")));

    // A window requested by the pop-up opens in the pop-up itself.
    m_k->session.g.gMode = Mode::Idle;
    m_k->browsers.GoToPage(url(QStringLiteral("/popup.html")));
    click(1, "BUTTON", "Open");
    QVERIFY(waitUntil([&] { return first->LocationURL() == url(QStringLiteral("/dialogs.html")); }));
    QVERIFY(waitUntil([&] { return !first->Busy(); }));
    QCOMPARE(m_k->session.ix, 1);

    // window.open from the main browser, not recording: no message. A page
    // opening thirty windows at once gets one (requests in a quick series
    // after the last pop-up count as part of it, hence the pause).
    waitUntil([] { return false; }, 400);
    click(0, "BUTTON", "Flood");
    QVERIFY(waitUntil([&] { return m_k->session.ix == 2; }));
    QVERIFY(waitUntil([&] { return !m_k->browser()->Busy(); }));
    QVERIFY(!waitUntil([&] { return m_k->session.ix != 2; }, 1500));
    QCOMPARE(m_k->browsers.wbMyBrowser.size(), 3);
    QVERIFY(first->isHidden());
    QVERIFY(m_k->browser()->LocationURL().startsWith(url(QStringLiteral("/members.html?n="))));

    // Close twice: one Close line while recording, none in check mode.
    m_k->session.g.gMode = Mode::Record;
    const QString popupAddress = m_win->TxtURL->text();
    m_win->CmdClose->click();
    QCOMPARE(m_k->session.ix, 1);
    QCOMPARE(m_k->browsers.wbMyBrowser.size(), 2);
    QVERIFY(first->isVisible());
    QVERIFY(m_win->CmdClose->isVisible());
    QCOMPARE(m_win->TxtURL->text(), popupAddress);
    m_k->session.g.gMode = Mode::Check;
    m_win->CmdClose->click();
    QCOMPARE(m_k->session.ix, 0);
    QCOMPARE(m_k->browsers.wbMyBrowser.size(), 1);
    QVERIFY(main->isVisible());
    QVERIFY(m_win->CmdClose->isHidden());
    QCOMPARE(lines(), line(QStringLiteral("Close")));

    // Nothing to close: nothing happens, nothing is recorded.
    m_k->session.g.gMode = Mode::Record;
    m_k->browsers.ClosePopup();
    QCOMPARE(m_k->session.ix, 0);
    QCOMPARE(lines(), line(QStringLiteral("Close")));
}

void TestBrowsing::pageDialogsThroughDialogs()
{
    auto run = [this] {
        return runJs(m_k->browser()->page(), QStringLiteral("run()"), QStringLiteral("TIMEOUT")).toString();
    };
    m_win->chkSilent->setChecked(false);
    m_k->browsers.GoToPage(url(QStringLiteral("/dialogs.html")));
    QVERIFY(!m_k->browser()->Silent());
    m_dialogs->expect(QStringLiteral("message"));
    m_dialogs->expect(QStringLiteral("question"), QStringLiteral("no"));
    m_dialogs->expect(QStringLiteral("input"), QStringLiteral("Zed"));
    QCOMPARE(run(), QStringLiteral("false|Zed"));
    QVERIFY(m_dialogs->allAnswered());
    QCOMPARE(m_dialogs->shown.mid(m_dialogs->shown.size() - 3),
             (QStringList{QStringLiteral("message|Kestrel|Hello"),
                          QStringLiteral("question|Kestrel|Sure?"),
                          QStringLiteral("input|Kestrel|Name?")}));

    // Silent again: nothing is shown.
    m_win->chkSilent->setChecked(true);
    m_k->browsers.GoToPage(url(QStringLiteral("/dialogs.html")));
    QCOMPARE(run(), QStringLiteral("true|Ann"));
}

void TestBrowsing::crashedRendererLeavesKestrelUsable()
{
    m_k->browsers.GoToPage(url(QStringLiteral("/page1.html")));
    QSignalSpy terminated(m_k->browser()->page(), &QWebEnginePage::renderProcessTerminated);
    m_k->browsers.GoToPage(QStringLiteral("chrome://crash"));
    QVERIFY(waitUntil([&] { return !terminated.isEmpty(); }));
    QVERIFY(!m_k->browser()->Busy());
    QCOMPARE(m_win->LblSts->text(), QString());
    m_win->TxtURL->setText(url(QStringLiteral("/page2.html")));
    m_win->CmdGo->click();
    QCOMPARE(m_win->TxtURL->text(), url(QStringLiteral("/page2.html")));
    const AgentResult r = findHandle(m_k->browser(), QStringLiteral("P"), QStringLiteral("Two"));
    QVERIFY(r.ok() && r.value().toInt() > 0);
}

void TestBrowsing::mouseHookAroundNavigation()
{
    HookManager &hooks = HookManager::instance();
    m_win->ChkWindowsEvent->setChecked(true);
    m_k->browsers.GoToPage(url(QStringLiteral("/page1.html")));
    QVERIFY(hooks.isInstalled(&m_k->recorder, HookManager::Mouse));
    m_k->browsers.wbMyBrowser_BeforeNavigate2(0, QString());
    QVERIFY(!hooks.isInstalled(&m_k->recorder, HookManager::Mouse));
    m_win->ChkWindowsEvent->setChecked(false);
    m_k->browsers.GoToPage(url(QStringLiteral("/page2.html")));
    QVERIFY(!hooks.isInstalled(&m_k->recorder, HookManager::Mouse));
}


// A page is shown, and can be used, while an external script of it still
// loads: it is reported and instrumented from then on, and what the tester
// does on it is recorded after the line that opened it.
void TestBrowsing::pageWithScriptsStillLoading()
{
    QVERIFY(QTest::qWaitForWindowExposed(m_win));
    m_k->session.g.gMode = Mode::Record;
    const QString address = url(QStringLiteral("/loading.html"));
    const QString expected = line(u"URL"_s, address)
        + fileForm({u"Web"_s, QString(), u"BUTTON"_s, u"onclick"_s, u"Press"_s, QString()});
    // Go waits for the load, which never ends: the tester acts meanwhile,
    // inside that wait, and then presses Stop.
    bool instrumented = false, busy = false;
    QString shown, recorded;
    QTimer::singleShot(0, this, [&] {
        instrumented = waitUntil(
            [&] { return js(QStringLiteral("typeof document.onclick")) == "function"_L1; });
        shown = m_win->TxtURL->text();
        busy = m_k->browser()->Busy();
        if (instrumented) {
            press(u"press"_s);
            waitUntil([&] { return lines() == expected; });
        }
        recorded = lines();
        m_win->CmdBrowserStop->click();
    });
    m_win->TxtURL->setText(address);
    m_win->CmdGo->click();
    QVERIFY(instrumented);
    QCOMPARE(shown, address);
    QVERIFY(busy);
    QCOMPARE(recorded, expected);
    // Once stopped, the address is not recorded a second time.
    QVERIFY(!m_k->browser()->Busy());
    QCOMPARE(lines(), expected);
    m_k->session.g.gMode = Mode::Idle;
}

// The address box follows a page that changes its own address, and Back
// over such an entry ends like any navigation.
void TestBrowsing::clientSideNavigation()
{
    QVERIFY(QTest::qWaitForWindowExposed(m_win));
    m_k->browsers.GoToPage(url(QStringLiteral("/spa.html")));
    BrowserElement *b = m_k->browser();
    QCOMPARE(m_win->TxtURL->text(), url(QStringLiteral("/spa.html")));
    QSignalSpy complete(b, &BrowserElement::NavigateComplete2);
    const int document = b->documentSerial();

    press(QStringLiteral("orders"));
    QTRY_COMPARE_WITH_TIMEOUT(m_win->TxtURL->text(), url(QStringLiteral("/orders")), 10000);
    press(QStringLiteral("order"));
    QTRY_COMPARE_WITH_TIMEOUT(m_win->TxtURL->text(), url(QStringLiteral("/orders/7")), 10000);
    press(QStringLiteral("notes"));
    QTRY_COMPARE_WITH_TIMEOUT(m_win->TxtURL->text(), url(QStringLiteral("/orders/7#notes")), 10000);
    press(QStringLiteral("details"));
    const QString view = QStringLiteral("document.getElementById('view').textContent");
    QVERIFY(waitUntil([&] { return js(view) == "/orders/7#notes details"_L1; }));
    // The page is the same document: no navigation was reported for it.
    QCOMPARE(complete.size(), 0);
    QCOMPARE(b->documentSerial(), document);
    QVERIFY(!b->Busy());

    // Back within the document: the page renders the earlier entry, the box
    // shows its address, and the wait for the browser ends with it.
    // Each ends as a navigation (not by a time limit for loads that never
    // start), also the one over the entry that kept its address.
    m_k->session.g.gMode = Mode::Record;
    const QStringList entries = {QStringLiteral("/orders/7#notes"), QStringLiteral("/orders/7"),
                                 QStringLiteral("/spa.html")};
    for (int back = 0; back < entries.size(); ++back) {
        m_win->CmdBack->click();
        QVERIFY(back > 0 || b->Busy());
        QVERIFY(waitUntil([&] { return !b->Busy(); }));
        QCOMPARE(complete.size(), back + 1);
        QCOMPARE(m_win->TxtURL->text(), url(entries[back]));
        QCOMPARE(js(view).toString(), entries[back]);
    }
    QCOMPARE(lines(), line(QStringLiteral("Back")).repeated(3));
    m_k->session.g.gMode = Mode::Idle;
}

QTEST_MAIN(TestBrowsing)
#include "test_browsing.moc"
