// kestrel-run: a suite of scripts, each played by its own kestrel process, so
// that a crashed or hung page never takes the others down.
#include "runner/Suite.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QThread>
#include <QTimer>

#include <cstdio>
#include <memory>
#include <csignal>
#include <sys/prctl.h>
#include <unistd.h>

namespace {
void say(const QString &text)
{
    std::fprintf(stderr, "%s\n", qPrintable(text));
    std::fflush(stderr);
}

// kestrel beside kestrel-run, unless KESTREL_BINARY names another.
QString kestrelProgram()
{
    const QString named = qEnvironmentVariable("KESTREL_BINARY");
    return named.isEmpty() ? QCoreApplication::applicationDirPath() + QStringLiteral("/kestrel")
                           : named;
}

class Suite : public QObject
{
public:
    Suite(const SuiteOptions &options, const QStringList &scripts, const QStringList &imageFolders)
        : m_options(options), m_scripts(scripts), m_imageFolders(imageFolders),
          m_results(scripts.size()), m_terminal(isatty(STDERR_FILENO))
    {
    }

    void start()
    {
        m_clock.start();
        // The progress display's clock goes on between a script's start and end.
        if (m_terminal) {
            connect(&m_ticker, &QTimer::timeout, this, &Suite::progress);
            m_ticker.start(1000);
        }
        if (m_scripts.isEmpty()) {
            say(QStringLiteral("kestrel-run: no script in this shard"));
            QTimer::singleShot(0, this, &Suite::finish);
            return;
        }
        fill();
    }

private:
    struct Run
    {
        int index;
        std::unique_ptr<QProcess> process;
        QElapsedTimer clock;
        QTimer timeout;
        bool timedOut = false;
    };

    QStringList argumentsFor(int index) const
    {
        QStringList args;
        if (!m_options.images.isEmpty())
            args << QStringLiteral("--images")
                 << QDir(m_options.images).absoluteFilePath(m_imageFolders.at(index));
        if (!m_options.logs.isEmpty())
            args << QStringLiteral("--logs") << QDir(m_options.logs).absolutePath();
        if (m_options.intervalMs >= 0)
            args << QStringLiteral("--interval") << QString::number(m_options.intervalMs);
        if (m_options.pageTimeoutMs > 0)
            args << QStringLiteral("--page-timeout") << QString::number(m_options.pageTimeoutMs);
        return args << QStringLiteral("--") << m_scripts.at(index);
    }

    void fill()
    {
        while (m_running.size() < static_cast<size_t>(m_options.jobs) && m_next < m_scripts.size())
            launch(m_next++);
        progress();
    }

    void launch(int index)
    {
        auto run = std::make_unique<Run>();
        run->index = index;
        run->process = std::make_unique<QProcess>();
        QProcess *p = run->process.get();
        Run *r = run.get();
        // Errors and step lines are read at the end; output is nobody's.
        p->setStandardOutputFile(QProcess::nullDevice());
        // A runner that is ended (a cancelled CI job) ends its runs too.
        p->setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGTERM); });
        connect(p, &QProcess::finished, this, [this, r] { ended(r); });
        connect(p, &QProcess::errorOccurred, this, [this, r](QProcess::ProcessError e) {
            if (e == QProcess::FailedToStart)
                ended(r);
        });
        r->timeout.setSingleShot(true);
        r->timeout.setInterval(m_options.timeoutMs);
        connect(&r->timeout, &QTimer::timeout, this, [r] {
            r->timedOut = true;
            r->process->terminate();
            // A run that ignores the request is ended for good.
            QTimer::singleShot(5000, r->process.get(), &QProcess::kill);
        });
        clearProgress();
        say(QStringLiteral("start  %1").arg(m_scripts.at(index)));
        m_running.push_back(std::move(run));
        r->clock.start();
        r->timeout.start();
        p->start(kestrelProgram(), argumentsFor(index));
    }

    void ended(Run *r)
    {
        const auto it = std::find_if(m_running.begin(), m_running.end(),
                                     [r](const auto &x) { return x.get() == r; });
        if (it == m_running.end())
            return;
        std::unique_ptr<Run> run = std::move(*it);
        m_running.erase(it);
        run->timeout.stop();
        QProcess &p = *run->process;
        const double seconds = run->clock.elapsed() / 1000.0;
        QString errors = QString::fromLocal8Bit(p.readAllStandardError());
        RunEnd end = RunEnd::Exited;
        if (run->timedOut)
            end = RunEnd::TimedOut;
        else if (p.error() == QProcess::FailedToStart) {
            errors += QStringLiteral("kestrel: %1 cannot be started: %2\n")
                          .arg(p.program(), p.errorString());
        } else if (p.exitStatus() == QProcess::CrashExit)
            end = RunEnd::Crashed;
        const int code = p.error() == QProcess::FailedToStart ? 2 : p.exitCode();
        const ScriptResult result = readRun(m_scripts.at(run->index), end, code, errors, seconds);
        m_results[run->index] = result;
        ++m_done;
        report(result);
        p.disconnect(this);
        // The process object may still be delivering its own signals.
        run->process.release()->deleteLater();
        fill();
        if (m_running.empty() && m_next >= m_scripts.size())
            finish();
    }

    void report(const ScriptResult &r)
    {
        using V = ScriptResult::Verdict;
        clearProgress();
        const QString verdict = r.verdict == V::Passed   ? QStringLiteral("passed")
                                : r.verdict == V::Failed ? QStringLiteral("FAILED")
                                                         : QStringLiteral("ERROR ");
        QString line =
            QStringLiteral("%1 %2 (%3 s)").arg(verdict, r.script).arg(r.seconds, 0, 'f', 1);
        if (r.failedStep > 0)
            line += QStringLiteral(" step %1").arg(r.failedStep);
        if (!r.message.isEmpty())
            line += QStringLiteral(": ") + r.message;
        say(line);
        if (!r.image.isEmpty())
            say(QStringLiteral("       image %1").arg(r.image));
    }

    void clearProgress()
    {
        if (m_terminal && m_progressShown) {
            std::fputs("\r\033[K", stderr);
            m_progressShown = false;
        }
    }

    // On a terminal the last line shows where the suite is.
    void progress()
    {
        if (!m_terminal || m_running.empty())
            return;
        clearProgress();
        std::fprintf(stderr, "[%d/%lld] %d running, %.0f s", m_done,
                     static_cast<long long>(m_scripts.size()), static_cast<int>(m_running.size()),
                     m_clock.elapsed() / 1000.0);
        std::fflush(stderr);
        m_progressShown = true;
    }

    void finish()
    {
        using V = ScriptResult::Verdict;
        m_ticker.stop();
        clearProgress();
        const double seconds = m_clock.elapsed() / 1000.0;
        int passed = 0;
        int failed = 0;
        int errors = 0;
        for (const ScriptResult &r : m_results)
            (r.verdict == V::Passed ? passed : r.verdict == V::Failed ? failed : errors)++;
        say(QStringLiteral("kestrel-run: %1 %2: %3 passed, %4 failed, %5 errors in %6 s")
                .arg(m_scripts.size())
                .arg(m_scripts.size() == 1 ? QStringLiteral("script") : QStringLiteral("scripts"))
                .arg(passed)
                .arg(failed)
                .arg(errors)
                .arg(seconds, 0, 'f', 1));
        int code = failed + errors > 0 ? 1 : 0;
        if (!m_options.junit.isEmpty()) {
            if (const Result<> written = writeJUnit(m_options.junit, m_results, seconds);
                !written) {
                say(QStringLiteral("kestrel-run: the report %1 cannot be written: %2")
                        .arg(m_options.junit, written.error()));
                code = 2;
            }
        }
        QCoreApplication::exit(code);
    }

    SuiteOptions m_options;
    QStringList m_scripts;
    QStringList m_imageFolders;
    QVector<ScriptResult> m_results;
    std::vector<std::unique_ptr<Run>> m_running;
    qsizetype m_next = 0;
    int m_done = 0;
    QElapsedTimer m_clock;
    bool m_terminal;
    bool m_progressShown = false;
    QTimer m_ticker;
};
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kestrel-run"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KESTREL_VERSION));
    const QStringList args = QCoreApplication::arguments();
    if (args.contains(QStringLiteral("--help")) || args.contains(QStringLiteral("-h"))) {
        std::fputs(qPrintable(suiteUsage()), stdout);
        return 0;
    }
    if (args.contains(QStringLiteral("--version")) || args.contains(QStringLiteral("-v"))) {
        std::printf("kestrel-run %s\n", KESTREL_VERSION);
        return 0;
    }
    const Result<SuiteOptions> options = parseSuiteArguments(args, QThread::idealThreadCount());
    if (!options) {
        say(QStringLiteral("kestrel-run: %1 (see kestrel-run --help)").arg(options.error()));
        return 2;
    }
    const Result<QStringList> all = collectScripts(options.value().paths);
    if (!all) {
        say(QStringLiteral("kestrel-run: ") + all.error());
        return 2;
    }
    const SuiteOptions &o = options.value();
    if (!QFileInfo(kestrelProgram()).isExecutable()) {
        say(QStringLiteral("kestrel-run: %1 is not an executable program").arg(kestrelProgram()));
        return 2;
    }
    const QString reportDir = o.junit.isEmpty() ? QString() : QFileInfo(o.junit).absolutePath();
    for (const QString &dir : {o.images, o.logs, reportDir}) {
        if (!dir.isEmpty() && !QDir().mkpath(dir)) {
            say(QStringLiteral("kestrel-run: the folder %1 cannot be created").arg(dir));
            return 2;
        }
    }
    // Image folders are named over the whole list: the same in every shard.
    const QStringList mine = shardOf(all.value(), o.shard, o.shards);
    const QStringList mineFolders = shardOf(imageFolderNames(all.value()), o.shard, o.shards);
    Suite suite(o, mine, mineFolders);
    suite.start();
    return app.exec();
}
