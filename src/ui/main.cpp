#include "app/Kestrel.h"
#include "platform/ChromiumEnv.h"
#include "script/ScriptReader.h"
#include "ui/FrmTestTrapEvents.h"
#include "ui/QtDialogs.h"

#include <QApplication>
#include <QStringList>

#include <cstdio>

namespace {
const char kUsage[] =
    "Usage: kestrel [SCRIPT]\n"
    "Records and plays back tests of web pages.\n\n"
    "With no argument the main window opens for recording and playing.\n"
    "With a script path (all arguments joined by blanks form the path) the script\n"
    "is played unattended and Kestrel exits when the run ends.\n\n"
    "Exit status: 0 passed, 1 a step failed, 2 the script does not exist, cannot\n"
    "be opened or holds no step Kestrel knows (the reason is printed),\n"
    "3 the default folders are not set (start Kestrel once without a script).\n\n"
    "  --help     show this text and exit\n"
    "  --version  show the version and exit\n";
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

    // Interactive or unattended is decided here, once.
    const QString script = Kestrel::joinedCommandLine(args);
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

    // An unattended run must never wait on a dialog nobody can answer.
    QtDialogs interactive;
    UnattendedDialogs unattended;
    Kestrel k(script.isEmpty() ? static_cast<Dialogs &>(interactive) : unattended);
    k.setCommandLine(args);
    int rc = 0;
    {
        FrmTestTrapEvents window(k);
        // Ended with its main window, not only when Qt finds no window left.
        QObject::connect(&k, &Kestrel::mainWindowClosed, &app, &QCoreApplication::quit,
                         Qt::QueuedConnection);
        // Form_Load has said why when it stops the program.
        if (!k.Form_Load())
            return k.exitCode;
        k.startCommandLineRun();
        // A run may already have ended inside the start-up's waits.
        if (!k.commandLineRunEnded)
            rc = app.exec();
    }
    return rc != 0 ? rc : k.exitCode;
}
