#pragma once

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

// Replaces path with bytes so that it holds either the old or the new
// content, never a part. False, with the reason in errorText, on failure.
bool writeFileAtomically(const QString &path, const QByteArray &bytes, QString *errorText);
// Copies a file that way, a piece at a time. sourceReadable tells whether a
// failure was the target's (true) or the source's.
bool copyFileAtomically(const QString &from, const QString &to, QString *errorText,
                        bool *sourceReadable = nullptr);
