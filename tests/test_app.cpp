#include "Program.h"

#include "settings/Settings.h"
#include "ui/FrmFolders.h"

#include <QAbstractButton>
#include <QApplication>
#include <QImage>
#include <QSettings>
#include <QTimer>

class TestApp : public QObject
{
    Q_OBJECT
public:
    static void initMain() { initTestEnvironment(); }

private slots:
    void startUpAndCloseDown();
    void commandLineRuns();
};

// The program started the first time, then with its folders stored; how
// it looks, and what it stores when it ends.
void TestApp::startUpAndCloseDown()
{
    qunsetenv("KESTREL_STEP_INTERVAL_MS");
    Program p;
    auto &[f, d, k, win] = p;
    int shownCount = 0;
    bool mainHiddenWhileAsking = true;
    // Answers the modal folder dialog each time it is up.
    QTimer answerer;
    answerer.callOnTimeout([&] {
        auto *dlg = qobject_cast<FrmFolders *>(QApplication::activeModalWidget());
        if (!dlg)
            return;
        ++shownCount;
        mainHiddenWhileAsking = mainHiddenWhileAsking && !win.isVisible();
        if (shownCount == 1) {
            dlg->txtDftDir->setText(f.scripts());
            dlg->CmdCnl->click(); // shows it again
            return;
        }
        // The cancelled edit is gone.
        QCOMPARE(dlg->txtDftDir->text(), QString());
        dlg->txtDftDir->setText(f.scripts());
        dlg->txtDftImgDir->setText(f.images());
        dlg->TxtDftLogDir->setText(f.logs());
        dlg->CmdSave->click();
    });
    answerer.start(50);
    QVERIFY(k.Form_Load());
    answerer.stop();
    QCOMPARE(shownCount, 2);
    QVERIFY(mainHiddenWhileAsking);
    QVERIFY(win.isVisible());
    QCOMPARE(k.session.g.gDftLogDir, f.logs());
    QCOMPARE((QList<bool>{win.chkSilent->isChecked(), win.ChkWindowsEvent->isChecked(),
                          win.CmdClose->isHidden()}), (QList<bool>{true, false, true}));
    QTRY_VERIFY(win.isMaximized());
    QCOMPARE(k.player.Timer1.interval(), 2000);

    // The Automation box is wider than designed, the browser right beside it.
    QVERIFY(win.FrmAutomation->width() > 217 + 100);
    QVERIFY(win.TxtEvents->geometry().right() < win.FrmAutomation->width());
    QCOMPARE(win.wbMyBrowser->x(), win.FrmAutomation->geometry().right() + 1 + 7);

    // Check mode shows until it ends: the button stays down and the status
    // line says what to do. No caption is cut, here or in the Default
    // Folders dialog.
    win.CmdCheck->click();
    QVERIFY(win.CmdCheck->isChecked());
    QCOMPARE(win.LblSts->text(), QStringLiteral("Check: click the element to check"));
    auto captionsFit = [](QWidget *window) {
        for (QWidget *w : window->findChildren<QWidget *>()) {
            const bool captioned = qobject_cast<QLabel *>(w) || qobject_cast<QAbstractButton *>(w);
            QString text = captioned ? w->property("text").toString().remove(u'&') : QString();
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
    FrmFolders *folders = win.frmFolders();
    QCOMPARE(captionsFit(folders), QString());
    QVERIFY(folders->CmdCnl->x() > folders->CmdSave->geometry().right());
    QCOMPARE(win.statusText(), QString()); // the page's status, which waits read, is empty
    win.CmdCheck->click(); // still in check mode
    QVERIFY(win.CmdCheck->isChecked());
    win.CmdStop->click();
    QVERIFY(!win.CmdCheck->isChecked());
    QCOMPARE(win.LblSts->text(), QString());

    // The window stays maximized, the browser and the frame fitted to it,
    // 10 twips short of its edges.
    win.showNormal();
    QTRY_VERIFY(win.isMaximized());
    win.showMinimized();
    QTRY_VERIFY(win.isMaximized());
    QVERIFY(!(win.windowState() & Qt::WindowMinimized));
    const QPoint bpos = win.wbMyBrowser->mapTo(&win, QPoint(0, 0));
    QTRY_COMPARE(win.wbMyBrowser->width(), win.frameGeometry().width() - bpos.x() - 1);
    const QRect outer = win.frameGeometry();
    QCOMPARE(win.wbMyBrowser->height(), outer.height() - bpos.y() - 1);
    const QPoint fpos = win.FrmAutomation->mapTo(&win, QPoint(0, 0));
    QCOMPARE(win.FrmAutomation->height(), outer.height() - fpos.y() - 1);
    QCOMPARE(win.wbMyBrowser->findChildren<BrowserElement *>(), k.browsers.wbMyBrowser);

    // File > Exit stores the last script, which the next start's window
    // names; the close box stores nothing.
    const QString changed = QStringLiteral("/scripts/changed.csv");
    k.session.g.gFile = changed;
    win.MnuExit->trigger();
    {
        Kestrel k2(d);
        FrmTestTrapEvents win2(k2);
        QVERIFY(k2.Form_Load());
        QCOMPARE(win2.windowTitle(), QStringLiteral("Tarn Kestrel - ") + changed);
        k2.session.g.gFile = QStringLiteral("/scripts/other.csv");
        win2.close();
    }
    Globals stored;
    LoadSettings(stored);
    QCOMPARE((QStringList{stored.gFile, stored.gDftImgDir}), (QStringList{changed, f.images()}));

    // A store that cannot be written (its folder is a file) is never taken
    // for saved: the Folders dialog says so and stays open, Exit says so.
    Kestrel k3(d);
    FrmTestTrapEvents win3(k3);
    QVERIFY(k3.Form_Load());
    const QString storeDir = f.config() + QLatin1Char('/') + settingsApplicationName();
    QVERIFY(QDir(storeDir).removeRecursively());
    QVERIFY(writeFile(storeDir, {}));
    win3.mnuFolders->trigger();
    FrmFolders *dlg = win3.frmFolders();
    // The user is told each time, in a message.
    const auto toldNotSaved = [&](const std::function<void()> &act) {
        d.expect(QStringLiteral("message"));
        act();
        return d.allAnswered() && d.shown.last().contains(u"settings could not be saved"_s);
    };
    dlg->TxtDftLogDir->setText(f.images());
    QVERIFY(toldNotSaved([&] { dlg->CmdSave->click(); }));
    QVERIFY(dlg->isVisible());
    QCOMPARE(k3.session.g.gDftLogDir, f.images()); // until the program ends
    win3.frmLog()->show();
    QVERIFY(toldNotSaved([&] { win3.MnuExit->trigger(); }));
    // The windows it owns close with it: no window is left open.
    for (QWidget *w : QApplication::topLevelWidgets())
        QVERIFY2(!w->isVisible(), qPrintable(w->objectName()));
    QVERIFY(d.unexpected.isEmpty());
}

// Refused, informative and unattended runs of the program, each ending with
// its own status.
void TestApp::commandLineRuns()
{
    TestFolders f;
    f.writeProgramSettings(); // a refused run would log here: only the three played below do
    const QString exe = QStringLiteral(KESTREL_BUILD_DIR "/kestrel");
    QProcess p;
    // Quotes are not removed, and several arguments are one path.
    const QString quoted = QStringLiteral("\"") + f.scripts() + QStringLiteral("\"");
    const QString fifo = f.scripts() + QStringLiteral("/pipe.csv");
    QCOMPARE(QProcess::execute(QStringLiteral("mkfifo"), {fifo}), 0);
    // Text without a known step type is not a script: no run that passes it.
    const QString noise = f.scripts() + QStringLiteral("/noise.csv");
    QVERIFY(writeFile(noise, "Note,a\r\n\x01\xff,\"web \"\r\n"));
    // Status 2 always says why, in one line naming the script.
    const std::pair<QStringList, const char *> refusals[] = {
        {{u"/no/such/script.csv"_s}, "does not exist"},
        {{quoted, u"x"_s}, "does not exist"},
        {{f.scripts()}, "is a folder"},
        {{fifo}, "is not a regular file"},
        {{noise}, "holds no step of a known type"},
    };
    for (const auto &[args, reason] : refusals) {
        QCOMPARE(runToEnd(p, exe, args), 2);
        const QString err = QString::fromLocal8Bit(p.readAllStandardError());
        const QString path = args.join(u' '); // the arguments are one path
        QVERIFY2(err.count(u'\n') == 1 && err.startsWith(u"kestrel: "_s + path + u": "_s + reason),
                 qPrintable(err));
    }

    // Blanks name no script: the interactive program (a launcher's empty "$1").
    QCOMPARE(Kestrel::joinedCommandLine({QString(), QString()}), QString());
    for (const auto &[option, says] :
         {std::pair{"--version", "Kestrel 1.0"}, std::pair{"--help", "Usage: kestrel"}}) {
        QCOMPARE(runToEnd(p, exe, {QLatin1String(option)}), 0);
        QVERIFY(p.readAllStandardOutput().startsWith(says));
    }

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
    QSettings s(f.programSettings(), QSettings::IniFormat);
    s.setValue(u"globals/gFile"_s, u"/kept.csv"_s);
    s.sync();
    // A run whose private working copy cannot be made is reported, not
    // waited on nor played.
    env.insert(u"TMPDIR"_s, f.root() + u"/missing"_s);
    QCOMPARE(runUnattended(script(u"unopened.csv"_s, {}), env, &errors), 3);
    QVERIFY2(errors.contains("no private temporary folder"), errors.constData());

    // The interactive program's working copy: an unattended run leaves it be.
    const QString shared = f.temp() + u"/tarn_a_s.csv"_s;
    QVERIFY(writeFile(shared, "\"Special\",\"Back\",\"\",\"\",\"\",\"\"\r\n"));
    const QString passes = script(u"passes.csv"_s,
                                  "\"Special\",\"Manual\",\"\",\"\",\"Look at it\",\"\"\r\n"
                                  "\"Web\",\"Next page\",\"A\",\"onclick\",\"\",\"\"\r\n");
    const QString fails =
        script(u"fails.csv"_s, "\"Web\",\"Gone\",\"A\",\"onclick\",\"\",\"\"\r\n");
    env.insert(u"TMPDIR"_s, f.temp()); // beside it

    // Three runs together in one environment, two of them of one script:
    // each plays its own script, ends with its own status and writes its own
    // log; nothing but Kestrel's own lines on the error output.
    const QStringList order = {passes, fails, passes};
    const QString notice = u"manual step not shown in an unattended run: Look at it"_s;
    // The notices: the error output without the lines that follow the run (a
    // line per step, the log's name at the start and the end).
    auto notices = [](const QByteArray &errorOutput) {
        return QString::fromLocal8Bit(errorOutput).split(u'\n', Qt::SkipEmptyParts)
            .filter(QRegularExpression(u"^(?!step |kestrel: (playing [^;]*; )?log )"_s));
    };
    QProcess runs[3];
    for (int i = 0; i < 3; ++i) {
        runs[i].setProcessEnvironment(env);
        runs[i].start(exe, {order[i]});
    }
    // The pages are served by this process: wait with events running.
    const auto ended = [](const QProcess &r) { return r.state() == QProcess::NotRunning; };
    QVERIFY(waitUntil([&] { return std::ranges::all_of(runs, ended); }, 120000));
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(runs[i].exitStatus(), QProcess::NormalExit);
        QCOMPARE(runs[i].exitCode(), order[i] == fails ? 1 : 0);
        QCOMPARE(notices(runs[i].readAllStandardError()),
                 order[i] == fails ? QStringList() : QStringList{u"kestrel: step 2: "_s + notice});
    }
    // A failure's screen shot, of the whole screen, is named in its log.
    const QStringList shots = QDir(f.images()).entryList(QDir::Files);
    QCOMPARE(shots.size(), 1);
    QVERIFY(QImage(f.images() + u'/' + shots[0]).width() >= 1024);
    const QStringList logs = QDir(f.logs()).entryList(QDir::Files, QDir::Name);
    QCOMPARE(logs.size(), 3); // by name: the failed run's, then the passed ones'
    for (const QString &name : logs) {
        const QString log = readText(f.logs() + u'/' + name);
        QCOMPARE(log.count("Step: 1, =>Type=Special"_L1), 1);
        if (name != logs[0]) {
            QVERIFY(name.startsWith("passes_"_L1) && log.contains(u"Step: 2, =>"_s + notice));
            QVERIFY2(log.endsWith("Step: 3, =>passed\r\n\r\n"
                                  "Step: 3, => **** TEST COMPLETE - PASSED ****\r\n"_L1),
                     qPrintable(log));
        } else {
            QVERIFY(name.startsWith("fails_"_L1)
                    && log.contains("Step: 2, =>failed - cannot find object\r\n"_L1));
            QVERIFY(log.contains(f.images() + u'/' + shots[0] + u" saved !!!!!!"_s));
            QVERIFY(!log.contains("TEST COMPLETE"_L1) && !log.contains("Look at it"_L1));
        }
    }
    // Nothing left behind in the temporary folder; the shared copy untouched;
    // no settings stored.
    QCOMPARE(QDir(f.temp()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList{u"tarn_a_s.csv"_s});
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
        "\"Special\",\"Snapshot\",\"\",\"\",\"two\",\"\"\r\n");
    QCOMPARE(runUnattended(noticing, env, &errors), 0);
    const QStringList err = notices(errors);
    QCOMPARE(err.size(), 2);
    QVERIFY(err[0].startsWith(QStringLiteral("kestrel: the log file ") + blocked));
    QVERIFY(err[1].startsWith(QStringLiteral("kestrel: step 2: snapshot \"one\" not saved")));
}

QTEST_MAIN(TestApp)
#include "test_app.moc"
