// kestrel-run over 40 scripts of 5 steps against the demo shop, with
// --jobs 1 and --jobs 2: wall time, and the peak memory of all its
// processes together (kestrel-run, every kestrel and their browser
// processes), sampled from /proc every 100 ms.
#include "platform/LoopbackServer.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

namespace {
// Resident memory in KiB of pid and every process below it.
long treeKiB(qint64 root)
{
    QHash<qint64, qint64> parent;
    QHash<qint64, long> rss;
    const QStringList pids = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString &name : pids) {
        bool ok = false;
        const qint64 pid = name.toLongLong(&ok);
        if (!ok)
            continue;
        QFile status(QStringLiteral("/proc/%1/status").arg(pid));
        if (!status.open(QIODevice::ReadOnly))
            continue;
        for (const QByteArray &line : status.readAll().split('\n')) {
            if (line.startsWith("PPid:"))
                parent[pid] = line.mid(5).trimmed().toLongLong();
            else if (line.startsWith("VmRSS:"))
                rss[pid] = line.mid(6).trimmed().split(' ').first().toLong();
        }
    }
    long total = 0;
    for (auto it = rss.cbegin(); it != rss.cend(); ++it) {
        for (qint64 p = it.key(); p > 1; p = parent.value(p, 0)) {
            if (p == root) {
                total += it.value();
                break;
            }
        }
    }
    return total;
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    LoopbackServer shop(QStringLiteral(KESTREL_SOURCE_DIR "/examples/site"));
    QTemporaryDir dir;
    QFile demo(QStringLiteral(KESTREL_SOURCE_DIR "/examples/demo.csv"));
    if (!demo.open(QIODevice::ReadOnly) || !dir.isValid())
        return 2;
    // The order without its check and snapshot: five steps.
    QList<QByteArray> lines = demo.readAll().split('\n').mid(0, 5);
    const QByteArray script =
        lines.join('\n').replace("http://127.0.0.1:8000/",
                                 shop.url(QStringLiteral("/")).toString().toUtf8())
        + '\n';
    QDir().mkpath(dir.filePath(QStringLiteral("scripts")));
    for (int i = 0; i < 40; ++i) {
        QFile f(dir.filePath(QStringLiteral("scripts/s%1.csv").arg(i, 2, 10, QLatin1Char('0'))));
        if (!f.open(QIODevice::WriteOnly))
            return 2;
        f.write(script);
    }
    qputenv("XDG_CONFIG_HOME", dir.filePath(QStringLiteral("config")).toLocal8Bit());
    for (const char *jobs : {"1", "2"}) {
        QProcess run;
        run.setProcessChannelMode(QProcess::ForwardedOutputChannel);
        run.setStandardErrorFile(QProcess::nullDevice());
        const QString out = dir.filePath(QStringLiteral("out-") + QLatin1String(jobs));
        QElapsedTimer clock;
        clock.start();
        run.start(QStringLiteral(KESTREL_BUILD_DIR "/kestrel-run"),
                  {QStringLiteral("--jobs"), QLatin1String(jobs), QStringLiteral("--interval"),
                   QStringLiteral("100"), QStringLiteral("--images"),
                   out + QStringLiteral("/images"), QStringLiteral("--logs"),
                   out + QStringLiteral("/logs"), dir.filePath(QStringLiteral("scripts"))});
        long peak = 0;
        QTimer sample;
        QObject::connect(&sample, &QTimer::timeout,
                         [&] { peak = std::max(peak, treeKiB(run.processId())); });
        sample.start(100);
        QEventLoop loop;
        QObject::connect(&run, &QProcess::finished, &loop, &QEventLoop::quit);
        loop.exec();
        std::printf("--jobs %s: 40 scripts of 5 steps in %.1f s, exit %d, peak memory of all "
                    "processes %ld MiB\n",
                    jobs, clock.elapsed() / 1000.0, run.exitCode(), peak / 1024);
        std::fflush(stdout);
    }
    return 0;
}
