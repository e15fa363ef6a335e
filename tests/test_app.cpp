#include "Program.h"

#include "settings/Settings.h"
#include "ui/FrmFolders.h"

#include <QAbstractButton>
#include <QApplication>
#include <QImage>
#include <QRandomGenerator>
#include <QSettings>
#include <QTimer>

#include <memory>
#include <vector>

class TestApp : public QObject
{
    Q_OBJECT
public:
    static void initMain() { initTestEnvironment(); }

private slots:
    void firstStartAsksForFoldersUntilSaved();
    void startupStateAndLayout();
    void exitStoresCloseBoxDoesNot();
    void commandLineOutcomes();
    void unattendedRunsKeepToThemselves();
};

namespace {
// Answers the modal folder dialog once it is up.
void whenFoldersShown(std::function<void(FrmFolders *)> act)
{
    QTimer::singleShot(50, [act] {
        auto *dlg = qobject_cast<FrmFolders *>(QApplication::activeModalWidget());
        if (!dlg) {
            whenFoldersShown(act);
            return;
        }
        act(dlg);
    });
}
} // namespace

void TestApp::firstStartAsksForFoldersUntilSaved()
{
    Program p;
    auto &[f, d, k, win] = p;
    int shownCount = 0;
    bool mainHiddenWhileAsking = true;
    std::function<void(FrmFolders *)> answer = [&](FrmFolders *dlg) {
        ++shownCount;
        mainHiddenWhileAsking = mainHiddenWhileAsking && !win.isVisible();
        if (shownCount == 1) {
            dlg->txtDftDir->setText(f.scripts());
            dlg->CmdCnl->click(); // shows it again
            whenFoldersShown(answer);
            return;
        }
        // The cancelled edit is gone.
        QCOMPARE(dlg->txtDftDir->text(), QString());
        dlg->txtDftDir->setText(f.scripts());
        dlg->txtDftImgDir->setText(f.images());
        dlg->TxtDftLogDir->setText(f.logs());
        dlg->CmdSave->click();
    };
    whenFoldersShown(answer);
    QVERIFY(k.Form_Load());
    QCOMPARE(shownCount, 2);
    QVERIFY(mainHiddenWhileAsking);
    QVERIFY(win.isVisible());
    QCOMPARE(k.session.g.gDftLogDir, f.logs());
    Globals stored;
    LoadSettings(stored);
    QCOMPARE(stored.gDftImgDir, f.images());
    QVERIFY(d.unexpected.isEmpty());
}

void TestApp::startupStateAndLayout()
{
    qunsetenv("KESTREL_STEP_INTERVAL_MS");
    Program p;
    auto &[f, d, k, win] = p;
    QVERIFY(p.start(u"/scripts/last.csv"_s));
    QCOMPARE(win.windowTitle(), QStringLiteral("Tarn Kestrel - /scripts/last.csv"));
    QVERIFY(win.chkSilent->isChecked());
    QVERIFY(!win.ChkWindowsEvent->isChecked());
    QVERIFY(win.CmdClose->isHidden());
    QTRY_VERIFY(win.isMaximized());
    QTRY_COMPARE(win.LblMouse->text(), QStringLiteral("Not Recording Mouse"));
    QCOMPARE(k.player.Timer1.interval(), 2000);

    // The Automation box is wider than designed, the browser right beside it.
    QVERIFY(win.FrmAutomation->width() > 217 + 100);
    QVERIFY(win.TxtEvents->geometry().right() < win.FrmAutomation->width());
    QCOMPARE(win.wbMyBrowser->x(), win.FrmAutomation->geometry().right() + 1 + 7);

    // No caption is cut, here or in the Default Folders dialog.
    auto captionsFit = [](QWidget *window) {
        for (QWidget *w : window->findChildren<QWidget *>()) {
            QString text;
            if (auto *l = qobject_cast<QLabel *>(w))
                text = l->text();
            else if (auto *b = qobject_cast<QAbstractButton *>(w))
                text = b->text().remove(QLatin1Char('&'));
            if (text.isEmpty() || !w->isVisibleTo(window))
                continue;
            const int room = qobject_cast<QCheckBox *>(w) ? w->width() - 16
                             : qobject_cast<QPushButton *>(w) ? w->width() - 4
                                                              : w->width();
            if (w->fontMetrics().horizontalAdvance(text) > room)
                return w->objectName() + QStringLiteral(" cuts \"") + text + QLatin1Char('"');
        }
        return QString();
    };
    QCOMPARE(captionsFit(&win), QString());
    FrmFolders folders(k);
    QCOMPARE(captionsFit(&folders), QString());
    QVERIFY(folders.CmdCnl->x() > folders.CmdSave->geometry().right());

    // Check mode shows until it ends: the button stays down and the status
    // line says what to do.
    win.CmdCheck->click();
    QVERIFY(win.CmdCheck->isChecked());
    QCOMPARE(win.LblSts->text(), QStringLiteral("Check: click the element to check"));
    QVERIFY(win.LblSts->width() >= win.LblSts->sizeHint().width());
    QCOMPARE(win.statusText(), QString()); // the page's status, which waits read, is empty
    win.CmdCheck->click(); // still in check mode
    QVERIFY(win.CmdCheck->isChecked());
    win.CmdStop->click();
    QVERIFY(!win.CmdCheck->isChecked());
    QCOMPARE(win.LblSts->text(), QString());

    // Browser and frame fitted to the window, 10 twips short of its edges.
    const QRect outer = win.frameGeometry();
    const QPoint bpos = win.wbMyBrowser->mapTo(&win, QPoint(0, 0));
    QTRY_COMPARE(win.wbMyBrowser->width(), outer.width() - bpos.x() - 1);
    QCOMPARE(win.wbMyBrowser->height(), outer.height() - bpos.y() - 1);
    const QPoint fpos = win.FrmAutomation->mapTo(&win, QPoint(0, 0));
    QCOMPARE(win.FrmAutomation->height(), outer.height() - fpos.y() - 1);
    QCOMPARE(k.browsers.wbMyBrowser.size(), 1);
    QCOMPARE(k.browsers.wbMyBrowser[0]->parentWidget(), win.wbMyBrowser);

    // The window stays maximized, the browser fitted to it.
    win.showNormal();
    QTRY_VERIFY(win.isMaximized());
    win.showMinimized();
    QTRY_VERIFY(win.isMaximized());
    QVERIFY(!(win.windowState() & Qt::WindowMinimized));
    QTRY_COMPARE(win.wbMyBrowser->width(), win.frameGeometry().width() - bpos.x() - 1);
}

void TestApp::exitStoresCloseBoxDoesNot()
{
    TestFolders f;
    f.writeSettings(QStringLiteral("/scripts/old.csv"));
    ScriptedDialogs d;
    Globals stored;
    for (const bool viaExit : {false, true}) {
        {
            Kestrel k(d);
            FrmTestTrapEvents win(k);
            QVERIFY(k.Form_Load());
            k.session.g.gFile = QStringLiteral("/scripts/changed.csv");
            if (viaExit)
                win.MnuExit->trigger();
            else
                win.close(); // the close box
            QVERIFY(!win.isVisible());
        }
        LoadSettings(stored);
        QCOMPARE(stored.gFile, viaExit ? QStringLiteral("/scripts/changed.csv")
                                       : QStringLiteral("/scripts/old.csv"));
    }

    // A store that cannot be written (its folder is a file) is never taken
    // for saved: the Folders dialog says so and stays open, Exit says so.
    {
        Kestrel k(d);
        FrmTestTrapEvents win(k);
        QVERIFY(k.Form_Load());
        const QString storeDir = f.config() + QLatin1Char('/') + settingsApplicationName();
        QVERIFY(QDir(storeDir).removeRecursively());
        QVERIFY(writeFile(storeDir, {}));
        win.mnuFolders->trigger();
        FrmFolders *dlg = win.frmFolders();
        QVERIFY(dlg->isVisible());
        d.expect(QStringLiteral("message"));
        dlg->TxtDftLogDir->setText(f.images());
        dlg->CmdSave->click();
        QVERIFY(d.allAnswered());
        QVERIFY(d.shown.last().contains(QStringLiteral("settings could not be saved")));
        QVERIFY(dlg->isVisible());
        QCOMPARE(k.session.g.gDftLogDir, f.images()); // until the program ends
        d.expect(QStringLiteral("message"));
        win.MnuExit->trigger();
        QVERIFY(d.allAnswered());
        QVERIFY(d.shown.last().contains(QStringLiteral("settings could not be saved")));
        QVERIFY(!win.isVisible());
        // The windows it owns close with it.
        QVERIFY(!dlg->isVisible());
    }
    QVERIFY(d.unexpected.isEmpty());
}

void TestApp::commandLineOutcomes()
{
    TestFolders f;
    f.writeSettings();
    const QString exe = QStringLiteral(KESTREL_BUILD_DIR "/kestrel");
    QProcess p;
    // Quotes are not removed, and several arguments are one path.
    const QString quoted = QStringLiteral("\"") + f.scripts() + QStringLiteral("\"");
    const QString fifo = f.scripts() + QStringLiteral("/pipe.csv");
    QCOMPARE(QProcess::execute(QStringLiteral("mkfifo"), {fifo}), 0);
    // 8 KB of random bytes are not a script: no run that passes 70 steps.
    const QString noise = f.scripts() + QStringLiteral("/noise.csv");
    QByteArray bytes(8192, Qt::Uninitialized);
    QRandomGenerator(11).fillRange(reinterpret_cast<quint32 *>(bytes.data()), bytes.size() / 4);
    QVERIFY(writeFile(noise, bytes));
    // Status 2 always says why, in one line naming the script.
    const struct
    {
        QStringList args;
        QString path;
        const char *reason;
    } refusals[] = {
        {{u"/no/such/script.csv"_s}, u"/no/such/script.csv"_s, "does not exist"},
        {{quoted, u"x"_s}, quoted + u" x"_s, "does not exist"},
        {{f.scripts()}, f.scripts(), "is a folder"},
        {{fifo}, fifo, "is not a regular file"},
        {{noise}, noise, "holds no step of a known type"},
    };
    for (const auto &r : refusals) {
        const int code = runToEnd(p, exe, r.args);
        const QString err = QString::fromLocal8Bit(p.readAllStandardError());
        QVERIFY2(code == 2 && err.count(u'\n') == 1
                     && err.startsWith(u"kestrel: "_s + r.path + u": "_s + QLatin1String(r.reason)),
                 qPrintable(QStringLiteral("status %1, error output: %2").arg(code).arg(err)));
    }
    QVERIFY(QDir(f.logs()).isEmpty());

    // Nothing names a script: the interactive program (a launcher's empty
    // "$1"), decided in one place.
    QCOMPARE(Kestrel::joinedCommandLine({}), QString());
    QCOMPARE(Kestrel::joinedCommandLine({QString()}), QString());
    QCOMPARE(Kestrel::joinedCommandLine({QString(), QString()}), QString());
    QCOMPARE(Kestrel::joinedCommandLine({QStringLiteral("a"), QStringLiteral("b.csv")}),
             QStringLiteral("a b.csv"));
    for (const auto &[option, says] :
         {std::pair{"--version", "Kestrel 1.0"}, std::pair{"--help", "Usage: kestrel"}}) {
        QCOMPARE(runToEnd(p, exe, {QLatin1String(option)}), 0);
        QVERIFY(p.readAllStandardOutput().startsWith(says));
    }
}

void TestApp::unattendedRunsKeepToThemselves()
{
    TestFolders f;
    HttpServer server;
    const QByteArray start = server.url(u"/player/start.html"_s).toEncoded();
    auto script = [&](const QString &name, const QByteArray &steps) {
        const QString path = f.scripts() + u'/' + name;
        writeFile(path, "\"Special\",\"URL\",\"\",\"\",\"" + start + "\",\"\"\r\n" + steps);
        return path;
    };
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY", "KESTREL_DEBUG"})
        env.remove(QLatin1String(name)); // no display at all, as on a build server
    env.insert(u"KESTREL_STEP_INTERVAL_MS"_s, u"0"_s); // each step once the page is ready
    QByteArray errors;
    // A run without folder settings: test_runner's singleRunNeedsNoSetup.
    f.writeProgramSettings();
    QSettings s(f.programSettings(), QSettings::IniFormat);
    s.setValue(u"globals/gFile"_s, u"/kept.csv"_s);
    s.sync();
    // A run whose private working copy cannot be made is reported, not
    // waited on nor played.
    QProcessEnvironment missing = env;
    missing.insert(u"TMPDIR"_s, f.root() + u"/missing"_s);
    QCOMPARE(runUnattended(script(u"unopened.csv"_s, {}), missing, &errors), 3);
    QVERIFY2(errors.contains("no private temporary folder"), errors.constData());

    // The interactive program's working copy: an unattended run leaves it be.
    const QString shared = f.temp() + u"/tarn_a_s.csv"_s;
    QVERIFY(writeFile(shared, "\"Special\",\"Back\",\"\",\"\",\"\",\"\"\r\n"));
    const QString passes = script(u"passes.csv"_s,
                                  "\"Special\",\"Manual\",\"\",\"\",\"Look at it\",\"\"\r\n"
                                  "\"Web\",\"Next page\",\"A\",\"onclick\",\"\",\"\"\r\n");
    const QString fails =
        script(u"fails.csv"_s, "\"Web\",\"Gone\",\"A\",\"onclick\",\"\",\"\"\r\n");
    const QString processTemp = f.root() + u"/process-tmp"_s;
    QVERIFY(QDir().mkpath(processTemp));
    env.insert(u"TMPDIR"_s, processTemp);

    // Three runs together in one environment, two of them of one script:
    // each plays its own script, ends with its own status and writes its own
    // log; nothing but Kestrel's own lines on the error output.
    const QStringList order = {passes, fails, passes};
    const QString notice = u"manual step not shown in an unattended run: Look at it"_s;
    // The notices: the error output without the lines that follow the run (a
    // line per step, the log's name at the end).
    auto notices = [](const QByteArray &errorOutput) {
        QStringList lines = QString::fromLocal8Bit(errorOutput).split(u'\n', Qt::SkipEmptyParts);
        lines.removeIf([](const QString &l) {
            return l.startsWith("step "_L1) || l.startsWith("kestrel: log "_L1);
        });
        return lines;
    };
    std::vector<std::unique_ptr<QProcess>> runs;
    for (const QString &path : order) {
        runs.push_back(std::make_unique<QProcess>());
        runs.back()->setProcessEnvironment(env);
        runs.back()->start(u"" KESTREL_BUILD_DIR "/kestrel"_s, {path});
    }
    // The pages are served by this process: wait with events running.
    QVERIFY(waitUntil([&] {
        return std::all_of(runs.begin(), runs.end(),
                           [](const auto &p) { return p->state() == QProcess::NotRunning; });
    }, 120000));
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(runs[i]->exitStatus(), QProcess::NormalExit);
        QCOMPARE(runs[i]->exitCode(), order[i] == fails ? 1 : 0);
        QCOMPARE(notices(runs[i]->readAllStandardError()),
                 order[i] == fails ? QStringList() : QStringList{u"kestrel: step 2: "_s + notice});
    }
    // A failure's screen shot, of the whole screen, is named in its log.
    const QStringList shots = QDir(f.images()).entryList(QDir::Files);
    QCOMPARE(shots.size(), 1);
    QVERIFY(shots[0].startsWith("fail_"_L1) && shots[0].endsWith("_.bmp"_L1));
    QVERIFY(QImage(f.images() + u'/' + shots[0]).width() >= 1024);
    const QStringList logs = QDir(f.logs()).entryList(QDir::Files, QDir::Name);
    QCOMPARE(logs.size(), 3);
    int passedLogs = 0;
    for (const QString &name : logs) {
        const QString log = readText(f.logs() + u'/' + name);
        QCOMPARE(log.count("Step: 1, =>Type=Special"_L1), 1);
        if (name.startsWith("passes_"_L1)) {
            ++passedLogs;
            QVERIFY(log.contains(u"Step: 2, =>"_s + notice));
            QVERIFY2(log.endsWith("Step: 3, =>passed\r\n\r\n"
                                  "Step: 3, => **** TEST COMPLETE - PASSED ****\r\n"_L1),
                     qPrintable(log));
        } else {
            QVERIFY(name.startsWith("fails_"_L1));
            QVERIFY(log.contains("Step: 2, =>failed - cannot find object\r\n"_L1));
            QVERIFY(log.contains(f.images() + u'/' + shots[0] + u" saved !!!!!!"_s));
            QVERIFY(!log.contains("TEST COMPLETE"_L1) && !log.contains("Look at it"_L1));
        }
    }
    QCOMPARE(passedLogs, 2);
    // Nothing left behind in the temporary folder; the shared copy untouched;
    // no settings stored.
    QCOMPARE(QDir(processTemp).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList());
    QVERIFY(readText(shared).contains("Back"_L1));
    QCOMPARE(QSettings(f.programSettings(), QSettings::IniFormat).value(u"globals/gFile"_s),
             u"/kept.csv"_s);

    // What the window would show goes to the error output too, once per
    // kind; the verdict stays the script's.
    const QString blocked = f.root() + QStringLiteral("/a file");
    QVERIFY(writeFile(blocked, {}));
    s.setValue(QStringLiteral("globals/gDftImgDir"), blocked);
    s.setValue(QStringLiteral("globals/gDftLogDir"), blocked);
    s.sync();
    const QString noticing = script(
        QStringLiteral("notices.csv"),
        "\"Special\",\"Snapshot\",\"\",\"\",\"one\",\"\"\r\n"
        "\"Special\",\"Snapshot\",\"\",\"\",\"two\",\"\"\r\n"
        "\"Special\",\"Manual\",\"\",\"\",\"log in by hand\",\"\"\r\n");
    QCOMPARE(runUnattended(noticing, env, &errors), 0);
    const QStringList err = notices(errors);
    QCOMPARE(err.size(), 3);
    QVERIFY(err[0].startsWith(QStringLiteral("kestrel: the log file ") + blocked));
    QVERIFY(err[1].startsWith(QStringLiteral("kestrel: step 2: snapshot \"one\" not saved")));
    QVERIFY(err[2].startsWith(QStringLiteral("kestrel: step 4: manual step not shown")));
}

QTEST_MAIN(TestApp)
#include "test_app.moc"
