// The windows under a real X server with a window manager, driven by real X
// input (XTest through xdotool). The group starts its own Xvfb and openbox
// and is skipped when they are not installed.
#include "Program.h"

#include "platform/HookManager.h"

#include <QApplication>
#include <QMenu>
#include <QScrollBar>
#include <QStandardPaths>

#include <csignal>
#include <cstdio>

namespace {

// Generous: the machine may be busy with other work.
constexpr int kWait = 30000;

QString g_skip;
FILE *g_xvfb = nullptr; // Xvfb's output; closing it waits for Xvfb to end
pid_t g_xvfbPid = 0;

// Xvfb on a free display it picks itself and names on its output; it ends
// with this process at the latest.
void startX()
{
    for (const char *tool : {"Xvfb", "openbox", "xdotool", "xmessage", "xprop"}) {
        if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty()) {
            g_skip = QStringLiteral("%1 is not installed (apt-get install xvfb xauth xdotool "
                                    "openbox x11-utils); the real-window tests need it")
                         .arg(QLatin1String(tool));
            return;
        }
    }
    // The shell names its process, which becomes Xvfb.
    g_xvfb = popen("echo $$; exec setpriv --pdeathsig TERM Xvfb -displayfd 1 -screen 0 "
                   "1280x1024x24 -nolisten tcp 2>/dev/null",
                   "re");
    char pid[16] = {}, number[16] = {};
    if (!g_xvfb || !fgets(pid, sizeof pid, g_xvfb) || !fgets(number, sizeof number, g_xvfb)) {
        g_skip = QStringLiteral("Xvfb did not start");
        return;
    }
    g_xvfbPid = QByteArray(pid).trimmed().toInt();
    qputenv("DISPLAY", ":" + QByteArray(number).trimmed());
    qunsetenv("WAYLAND_DISPLAY");
    qputenv("QT_QPA_PLATFORM", "xcb");
}

// Runs a command while this process goes on handling its windows' events;
// its standard output, or a null string when it failed.
QString run(const QString &program, const QStringList &args, int timeoutMs = 30000)
{
    QProcess p;
    if (runToEnd(p, program, args, timeoutMs) != 0)
        return QString();
    return QString::fromLocal8Bit(p.readAllStandardOutput()) + QLatin1Char(' ');
}

// xdotool with these arguments, separated by blanks.
bool xdo(const QString &args)
{
    return !run(u"xdotool"_s, args.split(u' ')).isNull();
}
// The one visible window xdotool finds with these arguments, waiting for it.
QString xsearch(const QString &args)
{
    return run(u"xdotool"_s, (u"search --sync --onlyvisible "_s + args).split(u' '), 120000).trimmed();
}

// Moves the real pointer to the middle of w.
bool pointAt(const QWidget *w, QPoint offset = {})
{
    const QPoint g = w->mapToGlobal(w->rect().center() + offset);
    return xdo(u"mousemove %1 %2"_s.arg(g.x()).arg(g.y()));
}

bool activate(const QWidget *w)
{
    return xdo(u"windowactivate --sync "_s + QString::number(w->winId()));
}

} // namespace

class TestWindows : public QObject
{
    Q_OBJECT
public:
    static void initMain()
    {
        startX();
        if (!g_skip.isEmpty())
            qputenv("QT_QPA_PLATFORM", "offscreen");
        qputenv("KESTREL_STEP_INTERVAL_MS", "100");
        initTestEnvironment();
    }

private slots:
    void initTestCase();
    void cleanupTestCase();
    void aboutThenExitEndsTheProgram();
    void logMenusAndMouseHookAcrossWindows();

private:
    QProcess m_wm;
};

void TestWindows::initTestCase()
{
    if (!g_skip.isEmpty())
        QSKIP(qPrintable(g_skip));
    m_wm.start(u"openbox"_s);
    // The window manager is up once it has announced itself on the root.
    const QStringList wm = {u"-root"_s, u"_NET_SUPPORTING_WM_CHECK"_s};
    QTRY_VERIFY_WITH_TIMEOUT(run(u"xprop"_s, wm).contains("window id"_L1), 30000);
}

void TestWindows::cleanupTestCase()
{
    m_wm.kill();
    m_wm.waitForFinished();
    if (g_xvfbPid > 0 && kill(g_xvfbPid, SIGTERM) == 0)
        pclose(g_xvfb);
}

void TestWindows::aboutThenExitEndsTheProgram()
{
    // The program itself, as a user starts it: Help > About, OK, File > Exit,
    // all with the keyboard's access keys.
    TestFolders f;
    f.writeProgramSettings();
    QProcess kestrel;
    kestrel.start(QStringLiteral(KESTREL_BUILD_DIR "/kestrel"), {QString()});
    const QString main = xsearch(u"--name ^Tarn.Kestrel"_s);
    QVERIFY2(!main.isEmpty(), "the main window did not show");
    QVERIFY(xdo(u"windowactivate --sync "_s + main));
    const QString about = u"search --onlyvisible --name ^About.Kestrel$"_s;
    // A key may reach the program before it has taken in its activation;
    // then the access key does nothing and is given again.
    auto repeatUntil = [&](const QString &keys, const std::function<bool()> &done) {
        for (int i = 0; i < 12 && !done(); ++i) {
            if (!xdo(u"key "_s + keys))
                return false;
            waitUntil(done, 5000);
        }
        return done();
    };
    QVERIFY(repeatUntil(u"alt+h a"_s, [&] { return xdo(about); }));
    QVERIFY(repeatUntil(u"Return"_s, [&] { return !xdo(about); }));
    QVERIFY(repeatUntil(u"alt+f x"_s, [&] { return kestrel.state() == QProcess::NotRunning; }));
    QCOMPARE(kestrel.exitStatus(), QProcess::NormalExit);
    QCOMPARE(kestrel.exitCode(), 0);
    QCOMPARE(kestrel.readAllStandardError(), QByteArray());
}

void TestWindows::logMenusAndMouseHookAcrossWindows()
{
    Program p;
    auto &[f, d, k, win] = p;
    QVERIFY(p.start());
    QTRY_VERIFY_WITH_TIMEOUT(win.isMaximized() && win.isActiveWindow(), 30000);

    // A run of 32 steps: the log shows over the maximized main window, the
    // main window keeps the focus, and the log follows the newest line.
    const QByteArray step = "\"Note\",\"step\",\"\",\"\",\"\",\"\"\r\n";
    QVERIFY(writeFile(k.session.g.gTempFile, step.repeated(32)));
    // Started with a click on Play, and the user clicks into the main window
    // while it runs: the log stays in sight all the same.
    QVERIFY(pointAt(win.CmdPlay));
    QVERIFY(xdo(u"click 1"_s));
    FrmLog *log = win.frmLog();
    QTRY_VERIFY_WITH_TIMEOUT(log->isVisible() && log->log->toPlainText().contains("Step: 3,"), 30000);
    QTRY_VERIFY_WITH_TIMEOUT(win.isActiveWindow(), kWait);
    QWidget *target = win.TxtURL;
    for (QWidget *w : {static_cast<QWidget *>(win.TxtURL), static_cast<QWidget *>(win.TxtEvents)}) {
        if (!log->frameGeometry().contains(w->mapToGlobal(w->rect().center())))
            target = w;
    }
    QVERIFY(pointAt(target));
    QVERIFY(xdo(u"click 1"_s));
    QTRY_VERIFY_WITH_TIMEOUT(target->hasFocus(), kWait);
    QVERIFY(pointAt(log->log->viewport()));
    QTRY_VERIFY_WITH_TIMEOUT(log->log->viewport()->underMouse(), 30000);
    QVERIFY(win.isActiveWindow());
    QTRY_VERIFY_WITH_TIMEOUT(log->log->toPlainText().contains("TEST COMPLETE"), 60000);
    QScrollBar *logBar = log->log->verticalScrollBar();
    QVERIFY(logBar->maximum() > 0);
    QTRY_COMPARE_WITH_TIMEOUT(logBar->value(), logBar->maximum(), kWait);

    // The Automation box follows recorded lines too, unless the user has
    // scrolled up to read.
    QVERIFY(activate(&win));
    k.session.g.gMode = Mode::Record;
    for (int i = 0; i < 60; ++i)
        k.script.AppendScriptLine("Special", "Back", "", "", QString::number(i), "");
    QScrollBar *eventsBar = win.TxtEvents->verticalScrollBar();
    QVERIFY(eventsBar->maximum() > 0);
    QCOMPARE(eventsBar->value(), eventsBar->maximum());
    eventsBar->setValue(0);
    k.script.AppendScriptLine("Special", "Back", "", "", "more", "");
    QCOMPARE(eventsBar->value(), 0);

    // The user widens the Automation box by dragging its edge.
    QWidget *edge = win.findChild<QWidget *>(QStringLiteral("automationSplitter"));
    QVERIFY(edge);
    const int frameWidth = win.FrmAutomation->width();
    const int browserLeft = win.wbMyBrowser->x();
    QVERIFY(pointAt(edge));
    QVERIFY(xdo(u"mousedown 1 mousemove_relative 60 0 mousemove_relative 60 0 mouseup 1"_s));
    QTRY_VERIFY_WITH_TIMEOUT(win.FrmAutomation->width() >= frameWidth + 100, kWait);
    QCOMPARE(win.wbMyBrowser->x() - browserLeft, win.FrmAutomation->width() - frameWidth);
    QCOMPARE(win.wbMyBrowser->geometry().right(), win.centralWidget()->width() - 2);

    // Alt+F opens the File menu, also after the Alt key has taken a check.
    win.CmdCheck->click();
    QVERIFY(win.CmdCheck->isChecked());
    QVERIFY(pointAt(win.wbMyBrowser));
    QVERIFY(xdo(u"key alt"_s));
    QTRY_VERIFY_WITH_TIMEOUT(k.session.g.gMode != Mode::Check, 30000);
    QVERIFY(!win.CmdCheck->isChecked());
    QMenu *file = win.findChild<QMenu *>(QStringLiteral("mnuFile"));
    QVERIFY(xdo(u"key alt+f"_s));
    QTRY_VERIFY_WITH_TIMEOUT(file->isVisible(), 30000);
    QVERIFY(xdo(u"key Escape Escape"_s));
    QTRY_VERIFY_WITH_TIMEOUT(!file->isVisible(), kWait);

    // Mouse recording: the main window, another program's window, then the
    // Playback Log. The main window has lost the activation to the log in
    // the end: the hook goes, and a click in the log is no page press.
    HookManager &hooks = HookManager::instance();
    win.ChkWindowsEvent->click();
    QVERIFY(hooks.isInstalled(&k.recorder, HookManager::Mouse));
    log->move(700, 500); // over the browser, where presses are page presses
    log->show();
    QTRY_VERIFY_WITH_TIMEOUT(log->isVisible(), kWait);
    QVERIFY(activate(&win));
    QTRY_VERIFY_WITH_TIMEOUT(win.isActiveWindow(), kWait);
    QProcess other;
    other.start(u"xmessage"_s, {u"-name"_s, u"otherprogram"_s, u"another program"_s});
    const QString otherId = xsearch(u"--classname otherprogram"_s);
    QVERIFY(!otherId.isEmpty());
    QVERIFY(xdo(u"windowactivate --sync "_s + otherId));
    QTRY_VERIFY_WITH_TIMEOUT(QApplication::activeWindow() == nullptr, kWait);
    QVERIFY(hooks.isInstalled(&k.recorder, HookManager::Mouse)); // another program does not count
    QVERIFY(activate(log));
    QTRY_VERIFY_WITH_TIMEOUT(log->isActiveWindow(), kWait);
    QTRY_VERIFY_WITH_TIMEOUT(!hooks.isInstalled(&k.recorder, HookManager::Mouse), kWait);
    QVERIFY(win.ChkWindowsEvent->isChecked());
    const QString before = win.TxtEvents->toPlainText();
    log->log->moveCursor(QTextCursor::Start);
    QVERIFY(pointAt(log->log->viewport()));
    QVERIFY(xdo(u"click 1"_s));
    // The log has the press (it moved its cursor); the hook would have seen
    // it first.
    QTRY_VERIFY_WITH_TIMEOUT(log->log->textCursor().position() > 0, kWait);
    QCOMPARE(win.TxtEvents->toPlainText(), before);
    other.kill();
    other.waitForFinished();
    k.session.g.gMode = Mode::Idle;
}

QTEST_MAIN(TestWindows)
#include "test_windows.moc"
