#include "platform/ChromiumEnv.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QTemporaryDir>
#include <QWebEngineUrlScheme>
#include <QtGlobal>

#include <cstdio>
#include <memory>

#include <unistd.h>

namespace {

// A screen as big as a desktop one, so pages lay out as they would for a
// tester and the main window has room for every control.
const char kOffscreenConfig[] =
    R"({"synchronousWindowSystemEvents": false, "windowFrameMargins": false, )"
    R"("screens": [{"name": "s0", "x": 0, "y": 0, "width": 1280, "height": 1024, )"
    R"("logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})";

// The platform reads its configuration once, when the application is
// created. A folder of this process's own keeps runs started together from
// writing each other's file, and it goes away when the process ends.
std::unique_ptr<QTemporaryDir> &configFolder()
{
    static std::unique_ptr<QTemporaryDir> dir;
    return dir;
}

QString offscreenConfigFile()
{
    QString temp = qEnvironmentVariable("TMPDIR");
    if (temp.isEmpty())
        temp = QStringLiteral("/tmp");
    if (!QFileInfo(temp).isDir())
        return QString();
    auto &dir = configFolder();
    if (!dir)
        dir = std::make_unique<QTemporaryDir>(temp + QStringLiteral("/kestrel-XXXXXX"));
    if (!dir->isValid())
        return QString();
    const QString path = dir->filePath(QStringLiteral("offscreen.json"));
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(kOffscreenConfig);
    return path;
}

bool debugOutput()
{
    return qEnvironmentVariableIntValue("KESTREL_DEBUG") == 1;
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
                        "--disable-component-update --no-pings");
    if (!debugOutput())
        appendChromiumFlags("--log-level=3 --disable-logging");

    const bool noDisplay = qEnvironmentVariableIsEmpty("DISPLAY")
                           && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if ((platform.isEmpty() && noDisplay) || platform == "offscreen") {
        const QString config = offscreenConfigFile();
        qputenv("QT_QPA_PLATFORM", config.isEmpty()
                                       ? QByteArray("offscreen")
                                       : "offscreen:configfile=" + config.toLocal8Bit());
    }

    // Qt warns on every start when there is no runtime folder; give it a
    // private one.
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        const QString runtime = QStringLiteral("/tmp/runtime-%1").arg(getuid());
        QDir().mkpath(runtime);
        QFile::setPermissions(runtime, QFileDevice::ReadOwner | QFileDevice::WriteOwner
                                           | QFileDevice::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", runtime.toLocal8Bit());
    }

    // The engine's list of its switches, at every start, is for debugging.
    if (!debugOutput())
        QLoggingCategory::setFilterRules(QStringLiteral("qt.webenginecontext=false"));

    // The error output is Kestrel's own: Qt's and Chromium's messages (which
    // reach it through Qt) only on request.
    static const QtMessageHandler previous = qInstallMessageHandler(nullptr);
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &ctx, const QString &msg) {
        if (type != QtFatalMsg && !debugOutput())
            return;
        if (previous)
            previous(type, ctx, msg);
        else
            std::fprintf(stderr, "%s\n", qPrintable(qFormatLogMessage(type, ctx, msg)));
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
