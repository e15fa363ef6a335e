// Peak memory of an unattended run, by hand: the kestrel executable plays a
// small script and then one of about 50 MB (many records, the second step
// fails so the run ends early). Reading and playing must take memory in
// proportion to one record, so the two peaks should be close.
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const QByteArray kHead = "\"Special\",\"URL\",\"\",\"\",\"about:blank\",\"\"\r\n"
                         "\"Web\",\"nothing\",\"INPUT\",\"onclick\",\"\",\"\"\r\n";

// Peak resident memory in MiB of one run, and its exit status.
long peakMiB(const QString &kestrel, const QString &script, int *status)
{
    const pid_t pid = fork();
    if (pid == 0) {
        const QByteArray exe = kestrel.toLocal8Bit(), arg = script.toLocal8Bit();
        execl(exe.constData(), exe.constData(), arg.constData(), static_cast<char *>(nullptr));
        _exit(127);
    }
    rusage usage{};
    wait4(pid, status, 0, &usage);
    return usage.ru_maxrss / 1024;
}

} // namespace

int main(int argc, char *argv[])
{
    const QString kestrel = argc > 1 ? QString::fromLocal8Bit(argv[1])
                                     : QStringLiteral(KESTREL_BUILD_DIR "/kestrel");
    QTemporaryDir dir;
    const QString root = dir.path();
    for (const char *sub : {"/config/kestrel", "/images", "/logs", "/tmp"})
        QDir().mkpath(root + QLatin1String(sub));
    QSettings s(root + QStringLiteral("/config/kestrel/kestrel.ini"), QSettings::IniFormat);
    s.setValue(QStringLiteral("globals/gDftDir"), root);
    s.setValue(QStringLiteral("globals/gDftImgDir"), root + QStringLiteral("/images"));
    s.setValue(QStringLiteral("globals/gDftLogDir"), root + QStringLiteral("/logs"));
    s.sync();
    qputenv("XDG_CONFIG_HOME", (root + QStringLiteral("/config")).toLocal8Bit());
    qputenv("TMPDIR", (root + QStringLiteral("/tmp")).toLocal8Bit());
    qputenv("KESTREL_STEP_INTERVAL_MS", "50");
    qunsetenv("DISPLAY");
    qunsetenv("WAYLAND_DISPLAY");
    qunsetenv("QT_QPA_PLATFORM");

    QFile small(root + QStringLiteral("/small.csv"));
    small.open(QIODevice::WriteOnly);
    small.write(kHead);
    small.close();
    QFile big(root + QStringLiteral("/big.csv"));
    big.open(QIODevice::WriteOnly);
    big.write(kHead);
    const QByteArray record = "\"Note\",\"n\",\"\",\"\",\"" + QByteArray(400, 'z') + "\",\"\"\r\n";
    while (big.size() < 50 * 1024 * 1024)
        big.write(record);
    big.close();

    int status = 0;
    const long base = peakMiB(kestrel, small.fileName(), &status);
    std::printf("small script: peak %ld MiB (exit %d)\n", base, WEXITSTATUS(status));
    const long large = peakMiB(kestrel, big.fileName(), &status);
    std::printf("50 MB script: peak %ld MiB (exit %d), %+ld MiB over the small one\n", large,
                WEXITSTATUS(status), large - base);
    return 0;
}
