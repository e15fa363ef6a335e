#include "script/ScriptFiles.h"

#include "script/ScriptReader.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

std::function<QDateTime()> ScriptClock::now = [] { return QDateTime::currentDateTime(); };

QString fileTimeStamp(const QDateTime &time)
{
    return time.toString(QStringLiteral("yyyy-MM-dd-HHmmss"));
}

QString scriptNameOf(const QString &scriptPath)
{
    return QLatin1Char('/') + QFileInfo(scriptPath).completeBaseName();
}

QString logFileName(const QString &logDir, const QString &scriptName, const QDateTime &time)
{
    return logDir + scriptName + QLatin1Char('_') + fileTimeStamp(time) + QStringLiteral(".log");
}

bool writeFileAtomically(const QString &path, const QByteArray &bytes, QString *errorText)
{
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly)) {
        *errorText = f.errorString();
        return false;
    }
    if (f.write(bytes) != bytes.size()) {
        *errorText = f.errorString();
        f.cancelWriting();
        return false;
    }
    if (!f.commit()) {
        *errorText = f.errorString();
        return false;
    }
    return true;
}

bool copyFileAtomically(const QString &from, const QString &to, QString *errorText,
                        bool *sourceReadable)
{
    if (sourceReadable)
        *sourceReadable = false;
    const QString problem = fileProblem(from);
    if (!problem.isEmpty()) {
        *errorText = problem;
        return false;
    }
    QFile source(from);
    if (!source.open(QIODevice::ReadOnly)) {
        *errorText = source.errorString();
        return false;
    }
    if (sourceReadable)
        *sourceReadable = true;
    QSaveFile target(to);
    if (!target.open(QIODevice::WriteOnly)) {
        *errorText = target.errorString();
        return false;
    }
    QByteArray chunk;
    while (!(chunk = source.read(256 * 1024)).isEmpty()) {
        if (target.write(chunk) != chunk.size()) {
            *errorText = target.errorString();
            target.cancelWriting();
            return false;
        }
    }
    if (source.error() != QFileDevice::NoError) {
        *errorText = source.errorString();
        if (sourceReadable)
            *sourceReadable = false;
        target.cancelWriting();
        return false;
    }
    if (!target.commit()) {
        *errorText = target.errorString();
        return false;
    }
    return true;
}
