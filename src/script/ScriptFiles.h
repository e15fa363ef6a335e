#pragma once

#include "core/Result.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <functional>

// The file helpers behind ScriptDocument's New, Open, Save and Save as.

// The clock that names log files at Open; tests set a fixed one.
struct ScriptClock
{
    static std::function<QDateTime()> now;
};

// Local time as "yyyy-mm-dd-hhmmss" (24-hour clock).
QString fileTimeStamp(const QDateTime &time);

// "/" + the script's file name without its extension, if it has one.
QString scriptNameOf(const QString &scriptPath);

// logDir + scriptName + "_" + time stamp + ".log".
QString logFileName(const QString &logDir, const QString &scriptName, const QDateTime &time);

// Copies a file so that the target holds either its old or the new content,
// never a part, a piece at a time. sourceReadable tells whether a failure
// was the target's (true) or the source's.
Result<> copyFileAtomically(const QString &from, const QString &to, bool *sourceReadable = nullptr);
