#pragma once

#include "core/Result.h"

#include <QString>
#include <QStringList>

// What the command line of one `kestrel` run asks for besides the script.
// Options name these for one run only: they are never stored in the settings.
struct RunOptions
{
    QString imagesDir;     // empty: the stored folder, else kestrel-out/images
    QString logsDir;       // empty: the stored folder, else kestrel-out/logs
    int intervalMs = -1;   // between two steps, 0 for none; -1: the program's own
    int pageTimeoutMs = 0; // longest wait for a page; 0: the program's own
    bool demo = false;
    // The rest of the command line: joined by blanks it is the script path.
    QStringList scriptArgs;
};

// Options come first (`--name value` or `--name=value`; `--` ends them).
// The environment (KESTREL_IMAGES_DIR, KESTREL_LOGS_DIR,
// KESTREL_STEP_INTERVAL_MS, KESTREL_PAGE_TIMEOUT_MS) fills what the options
// leave open. Fails, saying why, on an unknown option or a bad value.
Result<RunOptions> parseRunOptions(const QStringList &args);

// A count of milliseconds as an option value: a whole number above zero, or
// zero too where that means "none".
Result<int> parseMilliseconds(const QString &name, const QString &value, bool zeroAllowed = false);

// The folders an unattended run writes to when nothing names them: under
// the current folder.
QString defaultOutputFolder(const QString &kind);
