#pragma once

#include "core/Result.h"

#include <QString>
#include <QStringList>
#include <QVector>

// The decisions of kestrel-run, apart from its processes: the command line,
// which scripts a shard plays, what one run's output says, the JUnit report.

struct SuiteOptions
{
    QStringList paths; // script files and folders as given
    int jobs = 1;
    int shard = 1; // 1-based: --shard K/N
    int shards = 1;
    QString junit;
    QString images;
    QString logs;
    int intervalMs = -1; // -1: kestrel's own; 0: no pause
    int pageTimeoutMs = 0;
    int timeoutMs = 30 * 60 * 1000;
};

// Fails, saying why, on a bad option or value; --help and --version are the
// caller's (parser.isSet after a failed or good parse).
Result<SuiteOptions> parseSuiteArguments(const QStringList &arguments, int defaultJobs);
QString suiteUsage();

// Files as named, folders as their *.csv; one sorted list without repeats.
// Fails on a path that does not exist or a folder without scripts.
Result<QStringList> collectScripts(const QStringList &paths);

// Script i of the sorted list belongs to shard (i mod shards) + 1.
QStringList shardOf(const QStringList &sorted, int shard, int shards);

// An image folder per script (its base name, made unique over the whole
// list), so that runs side by side never write over each other's snapshots.
QStringList imageFolderNames(const QStringList &sorted);

struct ScriptResult
{
    enum class Verdict { Passed, Failed, Error };
    QString script;
    Verdict verdict = Verdict::Error;
    double seconds = 0;
    int failedStep = 0;  // 0: no step failed
    QString message;     // why it failed, one line
    QString failureText; // the log's entries for the failing step
    QString image;       // the failure image
    QString logFile;
    QString errorOutput; // the run's standard error
};

enum class RunEnd { Exited, Crashed, TimedOut };

// What one `kestrel SCRIPT` run came to, from how it ended, its standard
// error (step lines, the log's name) and its log file.
ScriptResult readRun(const QString &script, RunEnd end, int exitCode, const QString &errorOutput,
                     double seconds);

// One testsuite of a testcase per script, written atomically.
Result<> writeJUnit(const QString &path, const QVector<ScriptResult> &results, double seconds);
