#include "app/DemoShop.h"
#include "app/Kestrel.h"
#include "platform/ChromiumEnv.h"
#include "script/ScriptReader.h"
#include "settings/RunOptions.h"
#include "ui/FrmTestTrapEvents.h"
#include "ui/QtDialogs.h"

#include <QApplication>
#include <QStringList>

#include <cstdio>
#include <optional>

namespace {
// Whether windows can be shown: not on the offscreen or minimal platform,
// nor without an X or Wayland display.
bool hasDisplay()
{
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (platform.startsWith("offscreen") || platform.startsWith("minimal"))
        return false;
    return !qEnvironmentVariableIsEmpty("DISPLAY")
        || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

const char kUsage[] =
    "Usage: kestrel [OPTIONS] [SCRIPT]\n"
    "       kestrel --demo\n"
    "Records and plays back tests of web pages.\n\n"
    "With no argument the main window opens for recording and playing.\n"
    "With a script path (all arguments after the options joined by blanks form the\n"
    "path) the script is played unattended and Kestrel exits when the run ends,\n"
    "printing a line per step on standard error.\n\n"
    "Options of an unattended run (for this run only, never stored):\n"
    "  --images DIR         failure and snapshot images (env KESTREL_IMAGES_DIR)\n"
    "  --logs DIR           playback logs (env KESTREL_LOGS_DIR)\n"
    "  --interval MS        pause between steps, 0 for none (env KESTREL_STEP_INTERVAL_MS)\n"
    "  --page-timeout MS    longest wait for a page (env KESTREL_PAGE_TIMEOUT_MS)\n"
    "  --                   ends the options\n"
    "Folders named nowhere (options, environment, settings) are kestrel-out/images\n"
    "and kestrel-out/logs under the current folder.\n\n"
    "  --demo     plays a demo script against a demo shop Kestrel serves itself\n"
    "             (in the window when there is a display, else unattended)\n"
    "  --help     show this text and exit\n"
    "  --version  show the version and exit\n\n"
    "Exit status: 0 passed, 1 a step failed, 2 a bad option, or the script does\n"
    "not exist, cannot be opened or holds no step Kestrel knows (the reason is\n"
    "printed), 3 a folder cannot be created or no private working copy.\n";
}

int main(int argc, char *argv[])
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    if (args.size() == 1 && args.first() == QLatin1String("--help")) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (args.size() == 1 && args.first() == QLatin1String("--version")) {
        std::printf("Kestrel %s\n", KESTREL_VERSION);
        return 0;
    }

    const Result<RunOptions> options = parseRunOptions(args);
    if (!options) {
        std::fprintf(stderr, "kestrel: %s\n", qPrintable(options.error()));
        return 2;
    }
    // The player reads these where it always has; they stay with this run.
    if (options.value().intervalMs >= 0)
        qputenv("KESTREL_STEP_INTERVAL_MS", QByteArray::number(options.value().intervalMs));
    if (options.value().pageTimeoutMs > 0)
        qputenv("KESTREL_PAGE_TIMEOUT_MS", QByteArray::number(options.value().pageTimeoutMs));

    const RunOptions &run = options.value();
    if (run.demo && !run.scriptArgs.isEmpty()) {
        std::fputs("kestrel: --demo plays its own script and takes no other\n", stderr);
        return 2;
    }
    // The window would ignore them: say so rather than drop them silently.
    const QStringList optionArgs = args.mid(0, args.size() - run.scriptArgs.size());
    if (!run.demo && Kestrel::joinedCommandLine(run.scriptArgs).isEmpty()
        && optionArgs.count(QStringLiteral("--")) < optionArgs.size()) {
        std::fputs("kestrel: the options are for playing a script; name the script after them\n",
                   stderr);
        return 2;
    }
    // Whether a person can watch, decided before the platform is chosen.
    const bool display = hasDisplay();

    // Interactive or unattended is decided here, once.
    QString script = Kestrel::joinedCommandLine(run.scriptArgs);
    if (!script.isEmpty()) {
        // A script that cannot be played ends the run before any window or
        // browser exists, saying why.
        QString reason = Kestrel::scriptProblem(script);
        if (reason.isEmpty() && !holdsKnownStep(script))
            reason = QStringLiteral("holds no step of a known type (Web, Special or Check); "
                                    "it is not a Kestrel script");
        if (!reason.isEmpty()) {
            std::fprintf(stderr, "kestrel: %s: %s\n", qPrintable(script), qPrintable(reason));
            return 2;
        }
    }

    prepareChromiumEnvironment();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kestrel"));

    // The demo shop is served by this process for as long as it runs.
    std::optional<DemoShop> shop;
    QStringList scriptArgs = run.scriptArgs;
    if (run.demo) {
        shop.emplace();
        const Result<QString> demoScript = shop->script();
        if (!demoScript) {
            std::fprintf(stderr, "kestrel: %s\n", qPrintable(demoScript.error()));
            return 3;
        }
        scriptArgs = {demoScript.value()};
        script = demoScript.value();
    }
    const bool inWindow = run.demo && display;

    // An unattended run must never wait on a dialog nobody can answer.
    QtDialogs interactive;
    UnattendedDialogs unattended;
    Kestrel k(script.isEmpty() || inWindow ? static_cast<Dialogs &>(interactive) : unattended);
    k.setCommandLine(scriptArgs);
    k.runInWindow = inWindow;
    k.runOptions = run;
    int rc = 0;
    {
        FrmTestTrapEvents window(k);
        // Ended with its main window, not only when Qt finds no window left.
        // The window may close while start-up still waits for its page,
        // before the event loop runs, when quitting has no effect yet.
        bool windowClosed = false;
        QObject::connect(
            &k, &Kestrel::mainWindowClosed, &app,
            [&windowClosed] {
                windowClosed = true;
                QCoreApplication::quit();
            },
            Qt::QueuedConnection);
        // Form_Load has said why when it stops the program.
        if (!k.Form_Load())
            return k.exitCode;
        k.startCommandLineRun();
        // A run may already have ended inside the start-up's waits.
        if (!k.commandLineRunEnded && !windowClosed)
            rc = app.exec();
    }
    return rc != 0 ? rc : k.exitCode;
}
