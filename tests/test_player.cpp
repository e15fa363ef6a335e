#include "HttpServer.h"
#include "ScriptedDialogs.h"
#include "TestEnv.h"

#include "app/Kestrel.h"
#include "platform/BrowserElement.h"
#include "script/ScriptLine.h"
#include "ui/FrmLog.h"
#include "ui/FrmTestTrapEvents.h"

#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <QTimer>

namespace {

ScriptLine web(const QString &object, const QString &tag, const QString &method,
               const QString &value = QString(), const QString &value2 = QString())
{
    return {QStringLiteral("Web"), object, tag, method, value, value2};
}

ScriptLine special(const QString &command, const QString &value = QString(),
                   const QString &value2 = QString())
{
    return {QStringLiteral("Special"), command, QString(), QString(), value, value2};
}

ScriptLine check(const QString &object, const QString &tag, const QString &value)
{
    return {QStringLiteral("Check"), object, tag, QStringLiteral("check"), value, QString()};
}

QString readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

// One interactive program: settings, folders, the main window and a page server.
struct Session
{
    TestFolders f;
    ScriptedDialogs d;
    HttpServer server;
    Kestrel k{d};
    FrmTestTrapEvents win{k};

    bool start()
    {
        f.writeSettings();
        return k.Form_Load();
    }
    QString url(const QString &page) const
    {
        return server.url(QStringLiteral("/player/") + page).toString();
    }
    QString script(const QVector<ScriptLine> &lines, const QString &name = QStringLiteral("s.csv"))
    {
        const QString path = f.scripts() + QLatin1Char('/') + name;
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        for (const ScriptLine &l : lines)
            file.write(fileForm(l).toUtf8());
        return path;
    }
    void play(const QVector<ScriptLine> &lines)
    {
        k.Open_File(script(lines));
        k.DoPlay();
    }
    bool running() const
    {
        return k.g.gMode == QLatin1String("play") || k.w.doingstep || k.Timer1.isActive();
    }
    QString log() { return k.frmLog()->log->toPlainText(); }
    QString playPicture() const { return win.CmdPlay->property("picture").toString(); }
    QStringList images(const QString &pattern) const
    {
        return QDir(f.images()).entryList({pattern}, QDir::Files, QDir::Name);
    }
    // The result of a script in the page in front.
    QVariant js(const QString &code)
    {
        QVariant result;
        bool done = false;
        k.browser()->page()->runJavaScript(code, [&](const QVariant &v) {
            result = v;
            done = true;
        });
        QElapsedTimer t;
        t.start();
        while (!done && t.elapsed() < 10000)
            QTest::qWait(5);
        return result;
    }
    // Runs act once text is in the log window; it may run inside a step's
    // nested wait, as a person's click would.
    void whenLogged(const QString &text, std::function<void()> act)
    {
        auto *poll = new QTimer(&win);
        QObject::connect(poll, &QTimer::timeout, poll, [this, poll, text, act] {
            if (log().contains(text)) {
                poll->deleteLater();
                poll->stop();
                act();
            }
        });
        poll->start(10);
    }
    QString events() { return js(QStringLiteral("window.events ? window.events.join('|') : ''")).toString(); }
};

const int kRun = 30000;

} // namespace

class TestPlayer : public QObject
{
    Q_OBJECT
public:
    static void initMain()
    {
        initTestEnvironment();
        qputenv("KESTREL_STEP_INTERVAL_MS", "50");
    }

private slots:
    void threeStepScriptPasses();
    void failuresEndTheRunWithAScreenShot();
    void checksFindAndHighlight();
    void valuesClicksAndKeysReachThePage();
    void navigationAndPopupSteps();
    void manualStepPausesAndResumes();
    void snapshotNames();
    void playAndStopDuringARun();
    void workingCopyMissingOrEmpty();
    void pageThatNeverFinishesLoading();
    void commandLineRun();
};

void TestPlayer::threeStepScriptPasses()
{
    Session s;
    QVERIFY(s.start());
    const QString start = s.url(QStringLiteral("start.html"));
    s.play({special(QStringLiteral("URL"), start),
            web(QStringLiteral("q"), QStringLiteral("INPUT"), QStringLiteral("onfocusout"),
                QStringLiteral("widgets")),
            web(QStringLiteral("Next page"), QStringLiteral("A"), QStringLiteral("onclick"),
                QStringLiteral("next.html"))});
    QVERIFY(s.k.frmLog()->isVisible());
    QCOMPARE(s.playPicture(), QStringLiteral("play-on.bmp"));
    QTRY_VERIFY_WITH_TIMEOUT(!s.running(), kRun);

    const QString entries[] = {
        QStringLiteral("Step: 1, =>Type=Special, Object=URL, Method=,Value=") + start
            + QStringLiteral(", Value2=....."),
        QStringLiteral("Step: 1, =>passed\r\n"),
        QStringLiteral("Step: 2, =>Type=Web, Object=q, Method=onfocusout,Value=widgets, Value2=....."),
        QStringLiteral("Step: 2, =>passed\r\n"),
        QStringLiteral("Step: 3, =>Type=Web, Object=Next page, Method=onclick,Value=next.html, "
                       "Value2=....."),
        QStringLiteral("Step: 3, =>passed\r\n"),
        QStringLiteral("Step: 3, => **** TEST COMPLETE - PASSED ****")};
    QString window, file;
    for (const QString &e : entries) {
        window += e;
        file += e + QStringLiteral("\r\n");
    }
    window.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QCOMPARE(s.log(), window);
    QCOMPARE(readAll(s.k.g.gLogFile), file);
    QCOMPARE(s.k.g.gMode, QString());
    QCOMPARE(s.playPicture(), QStringLiteral("play-off.bmp"));
    QVERIFY(s.k.browser()->LocationURL().endsWith(QLatin1String("/player/next.html")));
    QVERIFY(s.images(QStringLiteral("*")).isEmpty());
    QCOMPARE(s.k.exitCode, 0);
}

void TestPlayer::failuresEndTheRunWithAScreenShot()
{
    Session s;
    QVERIFY(s.start());
    const ScriptLine open = special(QStringLiteral("URL"), s.url(QStringLiteral("start.html")));
    const ScriptLine after = web(QStringLiteral("q"), QStringLiteral("INPUT"),
                                 QStringLiteral("onfocusout"), QStringLiteral("never"));
    // A check whose text changed, then a link whose text differs in letter case.
    s.play({open, check(QStringLiteral("total"), QStringLiteral("TD"), QStringLiteral("41.00")), after});
    QTRY_VERIFY_WITH_TIMEOUT(!s.running(), kRun);
    QVERIFY(s.log().contains(QLatin1String("Step: 2, =>failed\n")));
    s.play({open, web(QStringLiteral("next page"), QStringLiteral("A"), QStringLiteral("onclick")), after});
    QTRY_VERIFY_WITH_TIMEOUT(!s.running(), kRun);

    const QStringList shots = s.images(QStringLiteral("fail_*_.bmp"));
    QCOMPARE(shots.size(), 2);
    QVERIFY(!QImage(s.f.images() + QLatin1Char('/') + shots[1]).isNull());
    const QString log = readAll(s.k.g.gLogFile);
    QVERIFY2(log.endsWith(QStringLiteral("Step: 2, =>failed - cannot find object\r\n\r\n"
                                         "Step: 2, =>!!!!! - FAILURE - screen shot ")
                          + s.f.images() + QLatin1Char('/') + shots[1]
                          + QStringLiteral(" saved !!!!!!\r\n\r\n")),
             qPrintable(log));
    QVERIFY(!log.contains(QLatin1String("Step: 2, =>passed")));
    QVERIFY(!log.contains(QLatin1String("Step: 3")));
    QVERIFY(!log.contains(QLatin1String("TEST COMPLETE")));
    QVERIFY(s.log().startsWith(QLatin1String("Step: 1, =>Type=Special")));
    QVERIFY(s.log().contains(QStringLiteral("Step: 2, =>failed - cannot find object\n")));
    QCOMPARE(s.k.w.stepno, 2);
    QCOMPARE(s.k.g.gMode, QString());
    QCOMPARE(s.playPicture(), QStringLiteral("play-on.bmp"));
    QVERIFY(s.events().isEmpty());
    // The first run's failure is in the first log file of this script.
    QCOMPARE(QDir(s.f.logs()).entryList(QDir::Files).size() >= 1, true);
}

void TestPlayer::checksFindAndHighlight()
{
    Session s;
    QVERIFY(s.start());
    s.play({special(QStringLiteral("URL"), s.url(QStringLiteral("start.html"))),
            check(QStringLiteral("dup"), QStringLiteral("INPUT"), QString()),
            check(QStringLiteral("ignored"), QStringLiteral("TD"), QStringLiteral("plain cell"))});
    QTRY_VERIFY_WITH_TIMEOUT(!s.running(), kRun);
    QVERIFY2(s.log().endsWith(QLatin1String("Step: 3, =>passed\nStep: 3, => **** TEST COMPLETE - PASSED ****")),
             qPrintable(s.log()));
    // Highlighted with border 3 and grey, then put back exactly as it was.
    const QString events = s.events();
    QVERIFY2(events.contains(QLatin1String("white style 3px rgb(192, 192, 192)|"))
                 && events.endsWith(QLatin1String("|white style none")),
             qPrintable(events));
    QCOMPARE(s.js(QStringLiteral("document.getElementById('white').getAttribute('style')")), QVariant());
    // Of two fields with one name the first is found and given the focus.
    QCOMPARE(s.js(QStringLiteral("document.activeElement.id")).toString(), QStringLiteral("dup1"));
    QCOMPARE(s.k.w.border, 0);
    QCOMPARE(s.k.w.bgcolor, QStringLiteral("#ffffff"));
}

void TestPlayer::valuesClicksAndKeysReachThePage()
{
    Session s;
    QVERIFY(s.start());
    s.play({special(QStringLiteral("URL"), s.url(QStringLiteral("start.html"))),
            web(QStringLiteral("q"), QStringLiteral("INPUT"), QStringLiteral("onfocusout"),
                QStringLiteral("widgets")),
            web(QStringLiteral("country"), QStringLiteral("SELECT"), QStringLiteral("onclick"),
                QStringLiteral("2"), QStringLiteral("UK:United Kingdom")),
            web(QStringLiteral("covered"), QStringLiteral("BUTTON"), QStringLiteral("onclick"),
                QStringLiteral("Covered")),
            web(QStringLiteral("far"), QStringLiteral("BUTTON"), QStringLiteral("onclick"),
                QStringLiteral("Far"))});
    QTRY_VERIFY_WITH_TIMEOUT(!s.running(), kRun);
    QVERIFY2(s.log().endsWith(QLatin1String("TEST COMPLETE - PASSED ****")), qPrintable(s.log()));
    // The field's tracker saw a real change; the covered button got its own
    // click, the one far down a trusted click after scrolling.
    QCOMPARE(s.events(), QStringLiteral("q input widgets false|q change widgets|country UK|"
                                        "covered clicked|covered trusted false|far clicked true"));

    // A recorded mouse press clicks what is at that screen position.
    const QVariantList r = s.js(QStringLiteral(
        "(() => { window.scrollTo(0, 0); const r = document.getElementById('spot')"
        ".getBoundingClientRect(); return [r.left + r.width / 2, r.top + r.height / 2]; })()")).toList();
    QCOMPARE(r.size(), 2);
    const double zoom = s.k.browser()->zoomFactor();
    const QPoint screen = s.k.browser()->mapToGlobal(QPoint(qRound(r[0].toDouble() * zoom),
                                                            qRound(r[1].toDouble() * zoom)));
    // 15 twips per pixel on the test screen.
    s.play({special(QStringLiteral("URL"), s.url(QStringLiteral("start.html"))),
            special(QStringLiteral("mousedown"), QStringLiteral(" %1").arg(screen.x() * 15),
                    QStringLiteral(" %1").arg(screen.y() * 15)),
            check(QStringLiteral("seen"), QStringLiteral("P"), QStringLiteral("spot true")),
            web(QStringLiteral("term"), QStringLiteral("INPUT"), QStringLiteral("ENTER"),
                QStringLiteral("kestrel"))});
    QTRY_VERIFY_WITH_TIMEOUT(!s.running(), kRun);
    QVERIFY2(s.log().endsWith(QLatin1String("TEST COMPLETE - PASSED ****")), qPrintable(s.log()));
    QTRY_VERIFY(s.k.browser()->LocationURL().endsWith(QLatin1String("result.html?term=kestrel")));
    QCOMPARE(QCursor::pos(), screen);
}

void TestPlayer::navigationAndPopupSteps()
{
    Session s;
    QVERIFY(s.start());
    s.play({special(QStringLiteral("URL"), s.url(QStringLiteral("next.html"))),
            web(QStringLiteral("x"), QStringLiteral("BUTTON"), QStringLiteral("onclick"),
                QStringLiteral("Open")),
            // Found only when the pop-up the click opened is the browser in front.
            check(QStringLiteral("child"), QStringLiteral("P"), QStringLiteral("A pop-up")),
            special(QStringLiteral("Close")),
            web(QStringLiteral("Start again"), QStringLiteral("A"), QStringLiteral("onclick")),
            special(QStringLiteral("back")), special(QString(), QString())});
    QTRY_VERIFY_WITH_TIMEOUT(!s.running(), kRun);
    QVERIFY2(s.log().endsWith(QLatin1String("Step: 7, => **** TEST COMPLETE - PASSED ****")),
             qPrintable(s.log()));
    QCOMPARE(s.k.w.ix, 0);
    QCOMPARE(s.k.wbMyBrowser.size(), 1);
    QTRY_VERIFY(s.k.browser()->LocationURL().endsWith(QLatin1String("/player/next.html")));
}

void TestPlayer::manualStepPausesAndResumes()
{
    Session s;
    QVERIFY(s.start());
    s.d.expect(QStringLiteral("message"));
    s.play({special(QStringLiteral("URL"), s.url(QStringLiteral("start.html"))),
            special(QStringLiteral("Manual"), QStringLiteral("Compare \"the\" form")),
            special(QString()), special(QStringLiteral("manual"), QStringLiteral("Last one"))});
    QTRY_COMPARE_WITH_TIMEOUT(s.k.g.gMode, QStringLiteral("manual"), kRun);
    QTRY_VERIFY(!s.k.w.doingstep);
    QCOMPARE(s.d.shown.last(), QStringLiteral("message|Manual Step|Compare \"the\" form"));
    QCOMPARE(s.playPicture(), QStringLiteral("pause.bmp"));
    QCOMPARE(s.k.w.stepno, 2);
    QVERIFY(!s.k.Timer1.isActive());
    QTest::qWait(200);
    QCOMPARE(s.k.w.stepno, 2);

    // Play resumes with the next line and keeps the log; the last line, a
    // manual step, is shown again after each Play until Stop.
    s.d.expect(QStringLiteral("message"));
    s.d.expect(QStringLiteral("message"));
    s.k.DoPlay();
    QTRY_COMPARE_WITH_TIMEOUT(s.k.w.stepno, 4, kRun);
    QTRY_COMPARE(s.k.g.gMode, QStringLiteral("manual"));
    s.k.DoPlay();
    QTRY_COMPARE_WITH_TIMEOUT(s.k.w.stepno, 5, kRun);
    QTRY_VERIFY(!s.k.w.doingstep);
    QCOMPARE(s.d.shown.size(), 3);
    QCOMPARE(s.d.shown.last(), QStringLiteral("message|Manual Step|Last one"));
    QVERIFY(s.d.allAnswered());
    QVERIFY(s.log().startsWith(QLatin1String("Step: 1, =>")));
    QVERIFY(s.log().contains(QLatin1String("Step: 5, =>Type=Special, Object=manual")));
    QVERIFY(!s.log().contains(QLatin1String("TEST COMPLETE")));
    s.win.CmdStop->click();
    QCOMPARE(s.k.g.gMode, QString());
    QCOMPARE(s.playPicture(), QStringLiteral("play-off.bmp"));
    QCOMPARE(s.win.CmdRecord->property("picture").toString(), QStringLiteral("record-off.bmp"));
}

void TestPlayer::snapshotNames()
{
    Session s;
    QVERIFY(s.start());
    // A missing image folder is made again.
    QDir(s.f.images()).removeRecursively();
    s.play({special(QStringLiteral("Snapshot"), QStringLiteral("login page")),
            special(QStringLiteral("snapshot")),
            special(QStringLiteral("Snapshot"), QStringLiteral("../escaped")),
            special(QStringLiteral("Snapshot"), QStringLiteral("a/b")),
            special(QStringLiteral("Snapshot"), QStringLiteral("two\r\nlines"))});
    QTRY_VERIFY_WITH_TIMEOUT(!s.running(), kRun);
    QCOMPARE(s.images(QStringLiteral("*")), QStringList({QStringLiteral("step_1_login page.bmp"),
                                                         QStringLiteral("step_2_.bmp")}));
    const QImage image(s.f.images() + QStringLiteral("/step_1_login page.bmp"), "BMP");
    QCOMPARE(image.size(), s.win.size());
    QCOMPARE(QDir(s.f.root()).entryList({QStringLiteral("*escaped*")}), QStringList());
    const QString log = s.log();
    QVERIFY(log.contains(QLatin1String("Step: 3, =>snapshot \"../escaped\" not saved: ")));
    QVERIFY(log.contains(QLatin1String("Step: 4, =>snapshot \"a/b\" not saved: ")));
    QVERIFY(log.contains(QLatin1String("Step: 5, =>snapshot \"two")));
    QVERIFY(log.endsWith(QLatin1String("Step: 5, =>passed\nStep: 5, => **** TEST COMPLETE - PASSED ****")));
}

void TestPlayer::playAndStopDuringARun()
{
    Session s;
    QVERIFY(s.start());
    QVector<ScriptLine> idle(30, special(QString()));
    // Play between steps halts: no further step, no completion line.
    s.play(idle);
    QTRY_VERIFY_WITH_TIMEOUT(s.k.w.stepno >= 3, kRun);
    s.win.CmdPlay->click();
    QCOMPARE(s.playPicture(), QStringLiteral("play-off.bmp"));
    QTRY_VERIFY(!s.running());
    const int halted = s.k.w.stepno;
    QTest::qWait(200);
    QCOMPARE(s.k.w.stepno, halted);
    QVERIFY(halted < 30);

    // Play and Stop during a step (the check's highlight): the step runs to
    // its end and the run completes there.
    for (QPushButton *button : {s.win.CmdPlay, s.win.CmdStop}) {
        s.play({special(QStringLiteral("URL"), s.url(QStringLiteral("start.html"))),
                check(QStringLiteral("x"), QStringLiteral("TD"), QStringLiteral("42.50")),
                special(QString())});
        QVERIFY(s.log().isEmpty());
        s.whenLogged(QStringLiteral("Step: 2, =>Type=Check"), [button] { button->click(); });
        QTRY_VERIFY_WITH_TIMEOUT(!s.running(), kRun);
        QVERIFY2(s.log().endsWith(QLatin1String("Step: 2, =>passed\nStep: 2, => **** TEST COMPLETE - PASSED ****")),
                 qPrintable(s.log()));
    }
}

void TestPlayer::workingCopyMissingOrEmpty()
{
    Session s;
    QVERIFY(s.start());
    // An empty script is one empty step that passes.
    s.play({});
    QTRY_VERIFY_WITH_TIMEOUT(!s.running(), kRun);
    QCOMPARE(s.log(), QStringLiteral("Step: 1, =>Type=, Object=, Method=,Value=, Value2=....."
                                     "Step: 1, =>passed\nStep: 1, => **** TEST COMPLETE - PASSED ****"));
    // A working copy that is gone ends the run after one empty step, failed.
    QFile::remove(s.k.g.gTempFile);
    s.k.DoPlay();
    QTRY_VERIFY_WITH_TIMEOUT(!s.running(), kRun);
    QCOMPARE(s.k.w.stepno, 1);
    QVERIFY2(s.log().startsWith(QStringLiteral("Step: 1, =>Type=, Object=, Method=,Value=, Value2=....."
                                               "Step: 1, =>failed - the script ") + s.k.g.gTempFile),
             qPrintable(s.log()));
    QVERIFY(!s.log().contains(QLatin1String("TEST COMPLETE")));
    QCOMPARE(s.images(QStringLiteral("fail_*")).size(), 1);
}

void TestPlayer::pageThatNeverFinishesLoading()
{
    qputenv("KESTREL_PAGE_TIMEOUT_MS", "1500");
    Session s;
    s.server.addHangingPath(QStringLiteral("/player/hang.gif"));
    QVERIFY(s.start());
    const QVector<ScriptLine> script = {
        special(QStringLiteral("URL"), s.url(QStringLiteral("start.html"))),
        web(QStringLiteral("Slow page"), QStringLiteral("A"), QStringLiteral("onclick")),
        special(QString())};
    s.play(script);
    QTRY_VERIFY_WITH_TIMEOUT(!s.running(), kRun);
    QVERIFY2(s.log().contains(QLatin1String("Step: 2, =>failed - the page was still loading after 1.5 seconds\n")),
             qPrintable(s.log()));
    QVERIFY(!s.log().contains(QLatin1String("TEST COMPLETE")));
    // Also when the address is opened by a step.
    s.play({special(QStringLiteral("URL"), s.url(QStringLiteral("slow.html"))), special(QString())});
    QTRY_VERIFY_WITH_TIMEOUT(!s.running(), kRun);
    QVERIFY2(s.log().contains(QLatin1String("Step: 1, =>failed - the page was still loading after 1.5 seconds\n")),
             qPrintable(s.log()));
    QCOMPARE(s.images(QStringLiteral("fail_*")).size(), 2);

    // Interactively, Stop ends the wait at once.
    qputenv("KESTREL_PAGE_TIMEOUT_MS", "600000");
    s.play(script);
    s.whenLogged(QStringLiteral("Step: 2, =>Type=Web"), [&s] {
        QTimer::singleShot(300, s.win.CmdStop, &QPushButton::click);
    });
    QTRY_VERIFY_WITH_TIMEOUT(!s.running(), kRun);
    QVERIFY(s.log().endsWith(QLatin1String("Step: 2, =>passed\nStep: 2, => **** TEST COMPLETE - PASSED ****")));
    qunsetenv("KESTREL_PAGE_TIMEOUT_MS");
}

void TestPlayer::commandLineRun()
{
    Session s; // for the folders, the server and the script writer only
    const ScriptLine open = special(QStringLiteral("URL"), s.url(QStringLiteral("start.html")));
    // The settings of the program itself, not of this test.
    const QString ini = s.f.config() + QStringLiteral("/kestrel/kestrel.ini");
    const QString exe = QStringLiteral(KESTREL_BUILD_DIR "/kestrel");
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // No display at all, as on a build server.
    for (const char *name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        env.remove(QLatin1String(name));
    const auto run = [&](const QVector<ScriptLine> &lines, const QString &name) {
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(exe, {s.script(lines, name)});
        // The page server answers in this process: wait with events running.
        [&] { QTRY_COMPARE_WITH_TIMEOUT(p.state(), QProcess::NotRunning, 120000); }();
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    };
    // Without the three folders nobody could answer the folder dialog.
    QCOMPARE(run({open}, QStringLiteral("nofolders.csv")), 3);
    {
        QSettings settings(ini, QSettings::IniFormat);
        settings.setValue(QStringLiteral("globals/gFile"), QStringLiteral("/kept.csv"));
        settings.setValue(QStringLiteral("globals/gDftDir"), s.f.scripts());
        settings.setValue(QStringLiteral("globals/gDftImgDir"), s.f.images());
        settings.setValue(QStringLiteral("globals/gDftLogDir"), s.f.logs());
    }

    QCOMPARE(run({open, special(QStringLiteral("Manual"), QStringLiteral("Look at it")),
                  web(QStringLiteral("Next page"), QStringLiteral("A"), QStringLiteral("onclick"))},
                 QStringLiteral("good.csv")),
             0);
    QStringList logs = QDir(s.f.logs()).entryList({QStringLiteral("good_*.log")});
    QCOMPARE(logs.size(), 1);
    const QString good = readAll(s.f.logs() + QLatin1Char('/') + logs[0]);
    QVERIFY(good.contains(QLatin1String("Step: 2, =>manual step not shown in an unattended run: Look at it")));
    QVERIFY2(good.endsWith(QLatin1String("Step: 3, =>passed\r\n\r\nStep: 3, => **** TEST COMPLETE - PASSED ****\r\n")),
             qPrintable(good));
    QVERIFY(s.images(QStringLiteral("*")).isEmpty());

    QCOMPARE(run({open, web(QStringLiteral("Gone"), QStringLiteral("A"), QStringLiteral("onclick"))},
                 QStringLiteral("bad.csv")),
             1);
    logs = QDir(s.f.logs()).entryList({QStringLiteral("bad_*.log")});
    QCOMPARE(logs.size(), 1);
    const QString bad = readAll(s.f.logs() + QLatin1Char('/') + logs[0]);
    QVERIFY(bad.contains(QLatin1String("Step: 2, =>failed - cannot find object\r\n")));
    QVERIFY(!bad.contains(QLatin1String("TEST COMPLETE")));
    const QStringList shots = s.images(QStringLiteral("fail_*_.bmp"));
    QCOMPARE(shots.size(), 1);
    QVERIFY(bad.contains(s.f.images() + QLatin1Char('/') + shots[0] + QStringLiteral(" saved !!!!!!")));
    QVERIFY(QImage(s.f.images() + QLatin1Char('/') + shots[0]).width() >= 1024);

    // The runs stored no settings.
    QCOMPARE(QSettings(ini, QSettings::IniFormat).value(QStringLiteral("globals/gFile")).toString(),
             QStringLiteral("/kept.csv"));
}

QTEST_MAIN(TestPlayer)
#include "test_player.moc"
