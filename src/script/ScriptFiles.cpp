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

Result<> copyFileAtomically(const QString &from, const QString &to, bool *sourceReadable)
{
    if (sourceReadable)
        *sourceReadable = false;
    const QString problem = fileProblem(from);
    if (!problem.isEmpty())
        return Result<>::failure(problem);
    QFile source(from);
    if (!source.open(QIODevice::ReadOnly))
        return Result<>::failure(source.errorString());
    if (sourceReadable)
        *sourceReadable = true;
    QSaveFile target(to);
    if (!target.open(QIODevice::WriteOnly))
        return Result<>::failure(target.errorString());
    QByteArray chunk;
    while (!(chunk = source.read(256 * 1024)).isEmpty()) {
        if (target.write(chunk) != chunk.size()) {
            const QString error = target.errorString();
            target.cancelWriting();
            return Result<>::failure(error);
        }
    }
    if (source.error() != QFileDevice::NoError) {
        if (sourceReadable)
            *sourceReadable = false;
        target.cancelWriting();
        return Result<>::failure(source.errorString());
    }
    if (!target.commit())
        return Result<>::failure(target.errorString());
    return {};
}
