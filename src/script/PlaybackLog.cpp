#include "script/PlaybackLog.h"

#include "core/Session.h"
#include "script/ScriptLine.h"

#include <QFile>

QString logEntry(int step, const QString &message)
{
    return QStringLiteral("Step:") + (step < 0 ? QString() : QStringLiteral(" "))
        + QString::number(step) + QStringLiteral(", =>") + message;
}

void PlaybackLog::forgetFile()
{
    m_g.gLogFile.clear();
    m_ownedFile.clear();
}

// The first entry of a log creates its file, and only a file that did not
// exist yet: another Kestrel that named its log in the same second (the same
// script, started together) keeps its own, and this one gets a suffix ("_2",
// "_3", ...).
Result<> PlaybackLog::openFile(QFile &f)
{
    if (m_g.gLogFile == m_ownedFile) {
        f.setFileName(m_g.gLogFile);
        if (f.open(QIODevice::WriteOnly | QIODevice::Append))
            return {};
        return Result<>::failure(f.errorString());
    }
    const QString named = m_g.gLogFile;
    const QString stem = named.endsWith(QLatin1String(".log")) ? named.chopped(4) : named;
    const QString ext = named.endsWith(QLatin1String(".log")) ? QStringLiteral(".log") : QString();
    for (int n = 1; n < 1000; ++n) {
        const QString path = n == 1 ? named : stem + QStringLiteral("_%1").arg(n) + ext;
        f.setFileName(path);
        if (f.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            m_g.gLogFile = path;
            m_ownedFile = path;
            return {};
        }
        if (!f.exists())
            return Result<>::failure(f.errorString());
    }
    return Result<>::failure(QStringLiteral("too many log files of that name"));
}

Result<> PlaybackLog::appendFile(const QString &entry)
{
    QFile f;
    if (Result<> opened = openFile(f); !opened)
        return opened;
    const QByteArray bytes = (entry + QStringLiteral("\r\n")).toUtf8();
    if (f.write(bytes) != bytes.size() || !f.flush())
        return Result<>::failure(f.errorString());
    return {};
}

void PlaybackLog::WriteLog(int step, const QString &message)
{
    const QString entry = logEntry(step, message);
    emit textAppended(visibleStored(entry));
    if (m_g.gLogFile.isEmpty())
        return;
    const Result<> written = appendFile(entry);
    if (written || m_failureReported)
        return;
    m_failureReported = true;
    const QString crLf = QStringLiteral("\r\n");
    emit textAppended((entry.endsWith(crLf) ? QString() : crLf)
                      + QStringLiteral("!!!!! The log file %1 cannot be written (%2); "
                                       "this run is logged in this window only !!!!!")
                            .arg(m_g.gLogFile, written.error())
                      + crLf);
    emit notice(QStringLiteral("log"),
                QStringLiteral("the log file %1 cannot be written (%2); "
                               "the run is not logged to a file")
                    .arg(m_g.gLogFile, written.error()));
}
