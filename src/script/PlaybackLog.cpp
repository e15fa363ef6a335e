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
bool PlaybackLog::openFile(QFile &f, QString *errorText)
{
    if (m_g.gLogFile == m_ownedFile) {
        f.setFileName(m_g.gLogFile);
        if (f.open(QIODevice::WriteOnly | QIODevice::Append))
            return true;
        *errorText = f.errorString();
        return false;
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
            return true;
        }
        if (!f.exists()) {
            *errorText = f.errorString();
            return false;
        }
    }
    *errorText = QStringLiteral("too many log files of that name");
    return false;
}

bool PlaybackLog::appendFile(const QString &entry, QString *errorText)
{
    QFile f;
    if (!openFile(f, errorText))
        return false;
    const QByteArray bytes = (entry + QStringLiteral("\r\n")).toUtf8();
    if (f.write(bytes) != bytes.size() || !f.flush()) {
        *errorText = f.errorString();
        return false;
    }
    f.close();
    return true;
}

void PlaybackLog::WriteLog(int step, const QString &message)
{
    const QString entry = logEntry(step, message);
    emit textAppended(visibleStored(entry));
    if (m_g.gLogFile.isEmpty())
        return;
    QString error;
    if (appendFile(entry, &error) || m_failureReported)
        return;
    m_failureReported = true;
    const QString crLf = QStringLiteral("\r\n");
    emit textAppended((entry.endsWith(crLf) ? QString() : crLf)
                      + QStringLiteral("!!!!! The log file %1 cannot be written (%2); "
                                       "this run is logged in this window only !!!!!")
                            .arg(m_g.gLogFile, error)
                      + crLf);
    emit notice(QStringLiteral("log"),
                QStringLiteral("the log file %1 cannot be written (%2); "
                               "the run is not logged to a file")
                    .arg(m_g.gLogFile, error));
}
