#include "platform/ChromiumEnv.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLoggingCategory>
#include <QWebEngineUrlScheme>
#include <QtGlobal>

#include <unistd.h>

namespace {

// A screen as big as a desktop one, so pages lay out as they would for a
// tester and the main window has room for every control.
const char kOffscreenConfig[] =
    R"({"synchronousWindowSystemEvents": false, "windowFrameMargins": false, )"
    R"("screens": [{"name": "s0", "x": 0, "y": 0, "width": 1280, "height": 1024, )"
    R"("logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})";

QString offscreenConfigFile()
{
    QString dir = qEnvironmentVariable("TMPDIR");
    if (dir.isEmpty() || !QDir(dir).exists())
        dir = QStringLiteral("/tmp");
    const QString path = dir + QStringLiteral("/kestrel-offscreen-%1.json").arg(getuid());
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(kOffscreenConfig);
    return path;
}

void appendChromiumFlags(const QByteArray &flags)
{
    QByteArray current = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    if (!current.isEmpty())
        current += ' ';
    qputenv("QTWEBENGINE_CHROMIUM_FLAGS", current + flags);
}

} // namespace

void prepareChromiumEnvironment()
{
    // Chromium refuses to start its sandbox as root; only then is it turned off.
    if (geteuid() == 0)
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    appendChromiumFlags("--disable-gpu --disable-background-networking "
                        "--disable-component-update --no-pings --log-level=3");

    const bool noDisplay = qEnvironmentVariableIsEmpty("DISPLAY")
                           && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if ((platform.isEmpty() && noDisplay) || platform == "offscreen")
        qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + offscreenConfigFile().toLocal8Bit());

    // Chromium's own chatter on stderr is unavoidable; Qt's is not.
    QLoggingCategory::setFilterRules(QStringLiteral("qt.webenginecontext=false"));

    // Qt warns on every start when there is no runtime folder; give it a
    // private one.
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        const QString runtime = QStringLiteral("/tmp/runtime-%1").arg(getuid());
        QDir().mkpath(runtime);
        QFile::setPermissions(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                           | QFileDevice::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", runtime.toLocal8Bit());
    }

    static const QtMessageHandler previous = qInstallMessageHandler(nullptr);
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &ctx, const QString &msg) {
        // The offscreen platform says this for every window it shows.
        if (msg.contains(QLatin1String("propagateSizeHints")))
            return;
        if (previous)
            previous(type, ctx, msg);
    });

    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);

    // The help page's scheme (served by the browsing part). Chromium learns
    // its schemes once, before the application exists.
    static bool registered = false;
    if (!registered) {
        registered = true;
        QWebEngineUrlScheme scheme("kestrel");
        scheme.setSyntax(QWebEngineUrlScheme::Syntax::Host);
        scheme.setFlags(QWebEngineUrlScheme::SecureScheme | QWebEngineUrlScheme::LocalScheme);
        QWebEngineUrlScheme::registerScheme(scheme);
    }
}
