#include "Program.h"

#include "player/ObjectLocation.h"
#include "player/PlayerWaits.h"
#include "script/ScriptFiles.h"
#include "script/ScriptLine.h"

#include <QImage>
#include <QTimer>

namespace {

// Script lines, their fields as the file holds them.
using Field = QAnyStringView;
ScriptLine web(Field object, Field tag, Field method, Field value = {}, Field value2 = {})
{
    return {u"Web"_qs, object.toString(), tag.toString(), method.toString(), value.toString(),
            value2.toString()};
}
ScriptLine special(Field command, Field value = {}, Field value2 = {})
{
    return {u"Special"_qs, command.toString(), {}, {}, value.toString(), value2.toString()};
}
ScriptLine check(Field object, Field tag, Field value, Field value2 = {})
{
    return {u"Check"_qs, object.toString(), tag.toString(), u"check"_qs, value.toString(),
            value2.toString()};
}
void writeLines(const QString &path, const QVector<ScriptLine> &lines)
{
    QString text;
    for (const ScriptLine &l : lines)
        text += fileForm(l);
    QVERIFY(writeFile(path, text.toUtf8()));
}

const int kRun = 30000;
const QString kComplete = u" **** TEST COMPLETE - PASSED ****"_qs;

// The interactive program with a page server.
struct Run : Program
{
    HttpServer server;

    QString url(const QString &page) const { return server.url(u"/player/"_qs + page).toString(); }
    ScriptLine open(Field page = u"start.html") const
    {
        return special(u"URL", url(page.toString()));
    }
    void play(const QVector<ScriptLine> &lines)
    {
        const QString path = f.scripts() + u"/s.csv"_qs;
        writeLines(path, lines);
        k.script.Open_File(path);
        k.player.DoPlay();
    }
    bool running() const
    {
        return k.session.g.gMode == Mode::Play || k.session.doingstep || k.player.Timer1.isActive();
    }
    // Until the run has ended, without the QTRY macros' sleeps.
    bool done(int timeoutMs = kRun) { return waitUntil([this] { return !running(); }, timeoutMs); }
    bool run(const QVector<ScriptLine> &lines) { return play(lines), done(); }
    // The run ends with its last step passed and the test complete.
    bool passes(const QVector<ScriptLine> &lines)
    {
        return run(lines) && passedAt(int(lines.size()));
    }
    QString log() { return win.frmLog()->log->toPlainText(); }
    // Whether the log says so; if not, the test prints the log.
    bool logShows(bool says)
    {
        if (!says)
            qWarning().noquote() << "the log:\n" << log();
        return says;
    }
    bool logEnds(const QString &text) { return logShows(log().endsWith(text)); }
    bool logHas(const QString &text) { return logShows(log().contains(text)); }
    bool passedAt(int step)
    {
        return logEnds(u"Step: %1, =>passed\nStep: %1, =>"_qs.arg(step) + kComplete);
    }
    QString playPicture() const { return win.CmdPlay->property("picture").toString(); }
    QStringList images(const QString &pattern) const
    {
        return QDir(f.images()).entryList({pattern}, QDir::Files, QDir::Name);
    }
    QString events() { return js(u"window.events ? window.events.join('|') : ''"_qs).toString(); }
    // act runs delayMs after text is logged, inside the step's wait as a click would.
    void whenLogged(const QString &text, std::function<void()> act, int delayMs = 0)
    {
        auto *poll = new QTimer(&win);
        QObject::connect(poll, &QTimer::timeout, poll, [this, poll, text, act, delayMs] {
            if (log().contains(text)) {
                poll->stop();
                poll->deleteLater();
                QTimer::singleShot(delayMs, &win, act);
            }
        });
        poll->start(10);
    }
};

} // namespace

class TestPlayer : public QObject
{
    Q_OBJECT
public:
    static void initMain()
    {
        initTestEnvironment();
        qputenv("KESTREL_STEP_INTERVAL_MS", "50");
        // Steps meant to fail do so after a short wait for the page.
        qputenv("KESTREL_WAIT_MS", "300");
    }

private slots:
    void passingRunsWhatReachesThePageAndPopups();
    void failuresChecksAndLogs();
    void manualStepsSnapshotsPlayAndStop();
    void waitsForPagesAndElements();
};

void TestPlayer::passingRunsWhatReachesThePageAndPopups()
{
    Run s;
    QVERIFY(s.start());
    s.play({s.open(), web("q", "INPUT", "onfocusout", "widgets"),
            web("Next page", "A", "onclick", "next.html")});
    QVERIFY(s.win.frmLog()->isVisible());
    QCOMPARE(s.playPicture(), u"play-on.bmp"_qs);
    QVERIFY(s.done());

    const QStringList entries = {
        u"Step: 1, =>Type=Special, Object=URL, Method=,Value="_qs + s.url(u"start.html"_qs)
            + u", Value2=....."_qs,
        u"Step: 1, =>passed\r\n"_qs,
        u"Step: 2, =>Type=Web, Object=q, Method=onfocusout,Value=widgets, Value2=....."_qs,
        u"Step: 2, =>passed\r\n"_qs,
        u"Step: 3, =>Type=Web, Object=Next page, Method=onclick,Value=next.html, Value2=....."_qs,
        u"Step: 3, =>passed\r\n"_qs,
        u"Step: 3, =>"_qs + kComplete};
    QCOMPARE(s.log(), entries.join(QString()).replace(u"\r\n"_qs, u"\n"_qs));
    QCOMPARE(readText(s.k.session.g.gLogFile), entries.join(u"\r\n"_qs) + u"\r\n"_qs);
    QCOMPARE(s.playPicture(), u"play-off.bmp"_qs);
    QVERIFY(s.k.browser()->LocationURL().endsWith("/player/next.html"_L1));
    QVERIFY(s.images(u"*"_qs).isEmpty());

    // Values, list choices and clicks reach the page as a person's would.
    QVERIFY(s.passes({s.open(), web("q", "INPUT", "onfocusout", "widgets"),
                      web("country", "SELECT", "onclick", "2", "UK:United Kingdom"),
                      web("covered", "BUTTON", "onclick", "Covered"),
                      web("far", "BUTTON", "onclick", "Far")}));
    // A value tracker saw the change; covered and far buttons got their own clicks.
    QCOMPARE(s.events(),
             u"q input widgets false|q change widgets|country UK|"
             "covered clicked|covered trusted false|far clicked true"_qs);

    // A mouse press clicks what is at its screen position (15 twips a pixel);
    // Enter in a field submits its form.
    s.js(u"window.scrollTo(0, 0)"_qs);
    const QPoint screen = s.k.browser()->mapToGlobal(
        centreOf(s.k.browser()->page(), u"document.getElementById('spot')"_qs));
    QVERIFY(s.passes({s.open(),
                      special("mousedown", u" %1"_qs.arg(screen.x() * 15),
                              u" %1"_qs.arg(screen.y() * 15)),
                      check("seen", "P", "spot true"), web("term", "INPUT", "ENTER", "kestrel")}));
    QTRY_VERIFY(s.k.browser()->LocationURL().endsWith("result.html?term=kestrel"_L1));
    QCOMPARE(QCursor::pos(), screen);

    // Of elements sharing an identity the one acted on is found again (by
    // value or hint); where nothing tells, the first, with a note.
    const QString cell = u"<button onclick=\"note('delete pressed')\">Delete</button>"_qs;
    QVERIFY(s.passes({s.open(u"many.html"_qs), web({}, "INPUT", "onfocusout", "Ann", "@1"),
                      web({}, "INPUT", "onfocusout", "Lee", "#last-name"),
                      web({}, "INPUT", "onclick", "Send"), // the unnamed submit button
                      web("veg", "INPUT", "onclick", "peas"),
                      web({}, "BUTTON", "onclick", "Remove", "@2"),
                      web({}, "BUTTON", "onclick", "Remove", "#rm-plum"),
                      web({}, "TD", "onclick", cell), // the cell, not the button in its middle
                      web({}, "INPUT", "onfocusout", "Zed"),
                      web("inner", "INPUT", "onfocusout", "deep"),
                      web({}, "BUTTON", "onclick", "Same")}));
    QCOMPARE(s.events(), u"submitted Ann Lee|removed Pear|removed Plum|cell clicked false|"
                         "inner deep|inner pressed"_qs);
    QCOMPARE(s.js(u"inputValues()"_qs).toString(), u"Zed,Lee,Send,beans,peas*,Alice,"_qs);
    QVERIFY(s.logHas("Step: 9, =>3 elements match; the first was used\nStep: 9, =>passed"_L1));
    QVERIFY(s.logHas("Step: 11, =>2 elements match; the first was used\nStep: 11, =>passed"_L1));
    QCOMPARE(s.log().count("elements match"_L1), 2);

    // The check finds its text only in the pop-up the click opened, in front.
    const ScriptLine popUp = web("x", "BUTTON", "onclick", "Open");
    QVERIFY(s.passes({s.open(u"next.html"_qs), popUp, check("child", "P", "A pop-up"),
                      special("Close"), web("Start again", "A", "onclick"), special("back"),
                      special({})}));
    QTRY_VERIFY(s.k.browser()->LocationURL().endsWith("/player/next.html"_L1));

    // A run that leaves a pop-up open; the next Play closes it first.
    QVERIFY(s.run({popUp}));
    QCOMPARE(s.k.session.ix, 1);
    s.k.player.DoPlay();
    QCOMPARE(s.k.session.ix, 0);
    QCOMPARE(s.k.browsers.wbMyBrowser.size(), 1);
    QVERIFY(s.k.browser()->isVisible());
    QVERIFY(s.done());

    // The pop-up is closed while a step waits for it: the step fails, the
    // browser is not used again.
    s.play({s.open(u"next.html"_qs), popUp, web("late", "INPUT", "ENTER", "v"), special({})});
    s.whenLogged(u"Step: 3, =>Type=Web"_qs, [&s] { s.win.CmdClose->click(); }, 500);
    QVERIFY(s.done());
    QCOMPARE(s.k.session.ix, 0);
    QCOMPARE(s.k.browsers.wbMyBrowser.size(), 1);
    QVERIFY(s.logHas("Step: 3, =>failed - cannot find object\n"_L1));
    QVERIFY(!s.log().contains("Step: 3, =>passed"_L1));
}

void TestPlayer::failuresChecksAndLogs()
{
    Run s;
    QVERIFY(s.start());
    const ScriptLine after = web("q", "INPUT", "onfocusout", "never");
    // A changed check, an element gone between search and click, a link text
    // in another letter case: a failure image each, none replaced.
    QVERIFY(s.run({s.open(), check("total", "TD", "41.00"), after}));
    QVERIFY(s.logHas("Step: 2, =>failed\n"_L1));
    QVERIFY(s.run({s.open(), web("vanish", "INPUT", "onclick", "x"), after}));
    QVERIFY(s.logHas("Step: 2, =>failed - cannot find object\n"_L1));
    QCOMPARE(s.events(), u"vanished"_qs);
    QVERIFY(s.run({s.open(), web("next page", "A", "onclick"), after}));

    const QStringList shots = s.images(u"fail_*_.bmp"_qs);
    QCOMPARE(shots.size(), 3);
    const QString shot = s.f.images() + u'/' + shots[2];
    QVERIFY(!QImage(shot).isNull());
    const QString log = readText(s.k.session.g.gLogFile);
    QVERIFY2(log.endsWith(u"Step: 2, =>failed - cannot find object\r\n\r\n"
                          "Step: 2, =>!!!!! - FAILURE - screen shot "_qs
                          + shot + u" saved !!!!!!\r\n\r\n"_qs),
             qPrintable(log));
    QVERIFY(!log.contains("Step: 2, =>passed"_L1));
    QCOMPARE(s.playPicture(), u"play-on.bmp"_qs);

    // An empty working copy is one empty step that passes.
    const QString empty = u"Step: 1, =>Type=, Object=, Method=,Value=, Value2=....."_qs;
    QVERIFY(s.run({}));
    QCOMPARE(s.log(), empty + u"Step: 1, =>passed\nStep: 1, =>"_qs + kComplete);
    // A working copy that is gone ends the run after one empty step, failed.
    QFile::remove(s.k.session.g.gTempFile);
    s.k.player.DoPlay();
    QVERIFY(s.done());
    QCOMPARE(s.k.session.stepno, 1);
    QVERIFY2(s.log().startsWith(empty + u"Step: 1, =>failed - the script "_qs + s.k.session.g.gTempFile),
             qPrintable(s.log()));
    QVERIFY(!s.log().contains("TEST COMPLETE"_L1));
    QCOMPARE(s.images(u"fail_*"_qs).size(), 4);

    // Lines of unknown type do nothing, and the log does not call them passed.
    QVERIFY(writeFile(s.k.session.g.gTempFile, "\"Note\",\"a\",\"\",\"\",\"\",\"\"\r\nxyz\r\n"));
    s.k.player.DoPlay();
    QVERIFY(s.done());
    QCOMPARE(s.log().count(u"=>skipped - unknown step type"_qs), 2);
    QVERIFY(s.logHas(u"Step: 2, =>Type=xyz, Object="_qs));
    QVERIFY(!s.log().contains(u"passed\n"_qs));
    QVERIFY(s.log().endsWith(kComplete));

    // After New, runs are logged not into the old script's log but one of their own.
    ScriptClock::now = [] { return QDateTime(QDate(2005, 12, 9), QTime(14, 30, 5)); };
    s.win.mnuFileNew->trigger();
    QCOMPARE(s.playPicture(), u"play-off.bmp"_qs);
    for (const QString &entry : {u"first"_qs, u"second"_qs}) {
        s.k.player.DoPlay();
        s.k.player.CmdStop_Click();
        s.k.log.WriteLog(1, entry + u"\r\n"_qs);
    }
    ScriptClock::now = [] { return QDateTime::currentDateTime(); };
    QCOMPARE(readText(s.f.logs() + u"/untitled_2005-12-09-143005.log"_qs),
             u"Step: 1, =>first\r\n\r\nStep: 1, =>second\r\n\r\n"_qs);
    // A check compares a text field's text as it is, a list's chosen index.
    const std::tuple<const char *, const char *, const char *, bool> cases[] = {
        {"INPUT", nullptr, "anything", true}, // no content read: nothing to compare
        {"INPUT", "Alice", "Alice", true},    {"INPUT", "Alice", "alice", false},
        {"INPUT", "Alice", "Alice ", false},  {"INPUT", "", "0", false},
        {"SELECT", "2", " 2", true},          {"SELECT", "2", "1", false},
        {"SELECT", "2", "UK", false},
    };
    for (const auto &[tag, content, expected, matches] : cases) {
        PageSearch field;
        if (content)
            field.content = QString::fromLatin1(content);
        QVERIFY2(contentMatches(QLatin1String(tag), field, QLatin1String(expected)) == matches,
                 expected);
    }

    QVERIFY(s.passes(
        {s.open(), check("dup", "INPUT", "first"), check("ignored", "TD", "plain cell")}));
    QVERIFY(s.logHas("Step: 2, =>2 elements match; the first was used\nStep: 2, =>passed"_L1));
    // Highlighted with border 3 and grey, then put back exactly as it was.
    const QString events = s.events();
    QVERIFY2(events.contains("white style 3px rgb(192, 192, 192)|"_L1)
                 && events.endsWith("|white style none"_L1),
             qPrintable(events));
    QCOMPARE(s.k.session.border, 0);
    QCOMPARE(s.k.session.bgcolor, u"#ffffff"_qs);
    // Of two fields with one name the first is found and given the focus.
    QCOMPARE(s.js(u"document.activeElement.id"_qs).toString(), u"dup1"_qs);

    // Pictures by file name, other tags by inner HTML; exact, whole tag names.
    BrowserElement *b = s.k.browser();
    const auto finds = [b](Field tag, Field object, Field value) {
        const AgentResult r =
            b->locateLine(tag.toString(), object.toString(), value.toString(), {});
        return r.ok() && r.value().toObject().value("handle"_L1).toInt() > 0;
    };
    QVERIFY(finds("IMG", "logo.gif", {}) && !finds("IMG", "Logo.gif", {}));
    QVERIFY(!finds("IM", "logo.gif", {}) && !finds("IMG", "pic", {})); // not by its name
    QVERIFY(finds("TD", "any", "42.50") && !finds("td", "any", "42.50"));
    QVERIFY(!finds("TD", "42.50", "42.50 "));

    // Fields by what they hold; comments are not content; open shadow roots searched.
    QVERIFY(s.passes({s.open(u"many.html"_qs), check("who", "INPUT", "Alice"),
                      check("size", "SELECT", "1", "M:M"),
                      check("x", "P", "<!--?lit$4711$-->Hello <!--?lit$4712$--><b>World</b>"),
                      check("inner", "INPUT", {}),
                      check({}, "DIV", "<button>Same</button>")})); // a host, as recorded before
    for (const ScriptLine &failing :
         {check("who", "INPUT", "WRONG NAME"), check("size", "SELECT", "2", "L:L")}) {
        QVERIFY(s.run({s.open(u"many.html"_qs), failing, special({})}));
        QVERIFY(s.logHas("Step: 2, =>failed\n"_L1));
    }

    // Built-ins the page replaced change neither what a check finds nor compares.
    QVERIFY(s.passes({s.open(u"tamper.html"_qs), check("x", "TD", "real cell"),
                      check("who", "INPUT", "Bob", "#bob"),
                      web("who", "INPUT", "onfocusout", "Carol", "@2"),
                      check("who", "INPUT", "Carol", "@2"), check("who", "INPUT", "Alice", "@1")}));
    for (const ScriptLine &forged : {check("x", "TD", "forged"), check("who", "INPUT", "forged")}) {
        QVERIFY(s.run({s.open(u"tamper.html"_qs), forged, special({})}));
        QVERIFY(s.logHas("Step: 2, =>failed\n"_L1));
    }
}

void TestPlayer::manualStepsSnapshotsPlayAndStop()
{
    Run s;
    QVERIFY(s.start());
    s.d.expect(u"message"_qs);
    s.play({s.open(), special("Manual", "Compare \"the\" form"), special({}),
            special("manual", "Last one")});
    QTRY_COMPARE_WITH_TIMEOUT(s.k.session.g.gMode, Mode::Manual, kRun);
    QTRY_VERIFY(!s.k.session.doingstep);
    QCOMPARE(s.d.shown.last(), u"message|Manual Step|Compare \"the\" form"_qs);
    QCOMPARE(s.playPicture(), u"pause.bmp"_qs);
    QTest::qWait(200);
    QCOMPARE(s.k.session.stepno, 2);
    // Edited while it waits: the next tick reads the new third line.
    writeLines(s.k.session.g.gTempFile,
               {s.open(), special("Manual", "Compare"), special("Snapshot", "edited"),
                special("manual", "Last one")});

    // Play goes on and keeps the log; a last manual step shows after each Play.
    s.d.expect(u"message"_qs);
    s.d.expect(u"message"_qs);
    s.k.player.DoPlay();
    QTRY_COMPARE_WITH_TIMEOUT(s.k.session.stepno, 4, kRun);
    QTRY_COMPARE(s.k.session.g.gMode, Mode::Manual);
    s.k.player.DoPlay();
    QTRY_COMPARE_WITH_TIMEOUT(s.k.session.stepno, 5, kRun);
    QTRY_VERIFY(!s.k.session.doingstep);
    QCOMPARE(s.d.shown.mid(1), QStringList(2, u"message|Manual Step|Last one"_qs));
    QCOMPARE(s.images(u"*"_qs), QStringList{u"step_3_edited.bmp"_qs});
    QVERIFY(s.log().startsWith("Step: 1, =>"_L1));
    QVERIFY(!s.log().contains("TEST COMPLETE"_L1));
    s.win.CmdStop->click();
    QCOMPARE(s.k.session.g.gMode, Mode::Idle);
    QCOMPARE(s.playPicture(), u"play-off.bmp"_qs);

    // No snapshot name is the step number; names leaving the folder or no
    // file name are not saved, and the run goes on.
    QDir(s.f.images()).removeRecursively(); // made again
    QVERIFY(s.passes({special("Snapshot", "login page"), special("snapshot"),
                      special("Snapshot", "../escaped"), special("Snapshot", "a/b"),
                      special("Snapshot", "two\r\nlines")}));
    QCOMPARE(s.images(u"*"_qs), QStringList({u"step_1_login page.bmp"_qs, u"step_2_.bmp"_qs}));
    QCOMPARE(QImage(s.f.images() + u"/step_1_login page.bmp"_qs, "BMP").size(), s.win.size());
    QCOMPARE(QDir(s.f.root()).entryList({u"*escaped*"_qs}), QStringList());
    for (const char *entry :
         {"Step: 3, =>snapshot \"../escaped\" not saved: ",
          "Step: 4, =>snapshot \"a/b\" not saved: ", "Step: 5, =>snapshot \"two"})
        QVERIFY2(s.log().contains(QLatin1String(entry)), entry);

    // Play between steps halts: no further step, no completion line.
    s.play(QVector<ScriptLine>(30, special({})));
    QTRY_VERIFY_WITH_TIMEOUT(s.k.session.stepno >= 3, kRun);
    s.win.CmdPlay->click();
    QCOMPARE(s.playPicture(), u"play-off.bmp"_qs);
    QTRY_VERIFY(!s.running());
    const int halted = s.k.session.stepno;
    QTest::qWait(200);
    QCOMPARE(s.k.session.stepno, halted);
    QVERIFY(halted < 30 && !s.log().contains("TEST COMPLETE"_L1));

    // Play or Stop during a step (the check's highlight): the step ends, the
    // run is complete there.
    for (QPushButton *button : {s.win.CmdPlay, s.win.CmdStop}) {
        s.play({s.open(), check("x", "TD", "42.50"), special({})});
        QVERIFY(s.log().isEmpty());
        s.whenLogged(u"Step: 2, =>Type=Check"_qs, [button] { button->click(); });
        QVERIFY(s.done() && s.passedAt(2));
    }

    // Step 3 waits for a page loading since step 2, before it searches.
    s.server.addHangingPath(u"/player/hang.gif"_qs);
    s.k.player.Timer1.setInterval(1000);
    const auto duringLoad = [&s](std::function<void()> act) {
        s.play({s.open(), special({}), web("q", "INPUT", "onfocusout", "x"), special({})});
        s.whenLogged(u"Step: 2, =>passed"_qs,
                     [&s] { s.k.browser()->Navigate2(s.url(u"slow.html"_qs)); });
        s.whenLogged(u"Step: 3, =>Type=Web"_qs, act, 300);
    };
    // Stop: the run ends there, with no verdict for that step and no image.
    duringLoad([&s] { s.win.CmdStop->click(); });
    QVERIFY(s.done());
    QVERIFY(s.logEnds(u"Step: 3, =>stopped - the run was stopped before this step acted\n"_qs));
    QVERIFY(!s.log().contains("failed"_L1) && !s.log().contains("TEST COMPLETE"_L1));
    QVERIFY(s.images(u"fail_*"_qs).isEmpty());
    // Stop and Play at once, while it is ending in its wait: the new run starts
    // after it, whole; the old step's entry neither lands in it nor ends it.
    duringLoad([&s] {
        s.win.CmdStop->click();
        s.win.CmdPlay->click();
    });
    QVERIFY(waitUntil([&s] { return s.log().contains("TEST COMPLETE"_L1); }, kRun));
    QVERIFY(s.done() && s.passedAt(4));
    QVERIFY(s.log().startsWith("Step: 1, =>"_L1) && !s.log().contains("stopped"_L1));
}

void TestPlayer::waitsForPagesAndElements()
{
    // No pause between steps (as unattended runs play) is 0, not the default.
    qputenv("KESTREL_STEP_INTERVAL_MS", "0");
    QCOMPARE(stepIntervalMs(), 0);
    qputenv("KESTREL_STEP_INTERVAL_MS", "50");
    qputenv("KESTREL_PAGE_TIMEOUT_MS", "1500");
    Run s;
    s.server.addHangingPath(u"/player/hang.gif"_qs);
    QVERIFY(s.start());
    const QString late = u"=>failed - the page was still loading after 1.5 seconds\n"_qs;
    const QVector<ScriptLine> viaClick = {s.open(), web("Slow page", "A", "onclick"), special({})};
    QVERIFY(s.run(viaClick));
    QVERIFY(s.logHas(u"Step: 2, "_qs + late));
    // Also when a step opens the address (a wait of navigation's own).
    QVERIFY(s.run({s.open(u"slow.html"_qs), special({})}));
    QVERIFY(s.logHas(u"Step: 1, "_qs + late));
    QCOMPARE(s.images(u"fail_*"_qs).size(), 2);
    // A page loading after the step acted: one verdict, once loaded (never).
    QVERIFY(s.run({s.open(u"many.html"_qs), web("go", "INPUT", "onfocusout", "x"), special({}),
                   special({})}));
    QVERIFY(s.logHas(late));
    for (int step = 1; step <= 4; ++step)
        QVERIFY2(!s.log().contains(u"Step: %1, =>passed"_qs.arg(step))
                     || !s.log().contains(u"Step: %1, =>failed"_qs.arg(step)),
                 qPrintable(s.log()));

    // A page that stops answering in a check: the check fails, and says why.
    s.play({s.open(u"spin.html"_qs), check("who", "INPUT", "Alice"), special({})});
    QTRY_VERIFY_WITH_TIMEOUT(!s.running(), 60000);
    QVERIFY(s.logHas("Step: 2, =>failed - the page did not respond\n"_L1));
    QVERIFY(!s.log().contains("Step: 2, =>passed"_L1));
    QCOMPARE(s.images(u"fail_*"_qs).size(), 4);

    // Interactively, Stop ends the wait at once.
    qputenv("KESTREL_PAGE_TIMEOUT_MS", "600000");
    s.play(viaClick);
    s.whenLogged(u"Step: 2, =>Type=Web"_qs, [&s] { s.win.CmdStop->click(); }, 300);
    QVERIFY(s.done() && s.passedAt(2));
    qunsetenv("KESTREL_PAGE_TIMEOUT_MS");

    // What an app renders late is waited for, also the element to click; Stop
    // ends a long wait at once, without a verdict.
    qputenv("KESTREL_WAIT_MS", "8000");
    s.server.addDelayedPath(u"/player/orders.txt"_qs, 1200);
    const ScriptLine page = s.open(u"late.html"_qs), orders = check("onclick", "P", "3 orders"),
                     load = web("onclick", "BUTTON", "onclick", "Load"),
                     open = web("onclick", "BUTTON", "onclick", "Open"),
                     opened = check("onclick", "BUTTON", "Opened");
    QVERIFY(s.passes({page, load, orders, open, opened}));
    QVERIFY(s.passes({page, load, open, opened}));
    qputenv("KESTREL_WAIT_MS", "600000");
    for (const ScriptLine &awaited : {open, orders}) {
        s.play({page, awaited, special({})});
        s.whenLogged(u"Step: 2, =>Type="_qs, [&s] { s.win.CmdStop->click(); }, 300);
        QVERIFY(s.done());
        QVERIFY(s.logEnds(u"Step: 2, =>stopped - the run was stopped before this step acted\n"_qs));
    }
    qputenv("KESTREL_WAIT_MS", "300");
}

QTEST_MAIN(TestPlayer)
#include "test_player.moc"
