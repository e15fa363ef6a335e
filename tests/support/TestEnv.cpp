#include "TestEnv.h"

#include "core/Session.h"
#include "settings/Settings.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QEventLoop>
#include <QTimer>
#include <QSettings>
#include <QStandardPaths>

TestFolders::TestFolders()
{
    for (const QString &d : {config(), temp(), scripts(), images(), logs()})
        QDir().mkpath(d);
    qputenv("XDG_CONFIG_HOME", config().toLocal8Bit());
    qputenv("tmp", temp().toLocal8Bit());
    qunsetenv("temp");
    qunsetenv("TMP");
    qunsetenv("TEMP");
    // QSettings caches the folder of the user's settings; point it at ours.
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, config());
}

void TestFolders::writeSettings(const QString &gFile) const
{
    // Through the program's own writer: the settings suite pins the file's
    // keys, the other suites only need the folders to arrive.
    Globals g;
    g.gFile = gFile;
    g.gDftDir = scripts();
    g.gDftImgDir = images();
    g.gDftLogDir = logs();
    if (!SaveSettings(g))
        qFatal("the test settings could not be stored in %s", qPrintable(config()));
}

QString readText(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

void TestFolders::writeProgramSettings() const
{
    QSettings ini(programSettings(), QSettings::IniFormat);
    ini.setValue(QStringLiteral("globals/gDftDir"), scripts());
    ini.setValue(QStringLiteral("globals/gDftImgDir"), images());
    ini.setValue(QStringLiteral("globals/gDftLogDir"), logs());
}

bool waitUntil(const std::function<bool()> &condition, int timeoutMs)
{
    if (condition())
        return true;
    QEventLoop loop;
    QTimer poll, deadline;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (condition())
            loop.quit();
    });
    QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    poll.start(2);
    deadline.setSingleShot(true);
    deadline.start(timeoutMs);
    loop.exec();
    return condition();
}

int runToEnd(QProcess &p, const QString &program, const QStringList &args, int timeoutMs)
{
    p.start(program, args);
    if (!waitUntil([&] { return p.state() == QProcess::NotRunning; }, timeoutMs)) {
        p.kill();
        p.waitForFinished();
        return -1;
    }
    return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
}
