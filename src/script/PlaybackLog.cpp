#include "script/PlaybackLog.h"

#include "app/Kestrel.h"
#include "script/ScriptLine.h"

#include <QFile>

QString logEntry(int step, const QString &message)
{
    return QStringLiteral("Step:") + (step < 0 ? QString() : QStringLiteral(" "))
        + QString::number(step) + QStringLiteral(", =>") + message;
}

namespace {
// The file the entries go to. The first entry of a log creates it, and only
// a file that did not exist yet: another Kestrel that named its log in the
// same second (the same script, started together) keeps its own, and this
// one gets a suffix ("_2", "_3", ...).
bool openLogFile(Kestrel &k, QFile &f, QString *errorText)
{
    if (k.g.gLogFile == k.ownedLogFile) {
        f.setFileName(k.g.gLogFile);
        if (f.open(QIODevice::WriteOnly | QIODevice::Append))
            return true;
        *errorText = f.errorString();
        return false;
    }
    const QString named = k.g.gLogFile;
    const QString stem = named.endsWith(QLatin1String(".log")) ? named.chopped(4) : named;
    const QString ext = named.endsWith(QLatin1String(".log")) ? QStringLiteral(".log") : QString();
    for (int n = 1; n < 1000; ++n) {
        const QString path = n == 1 ? named : stem + QStringLiteral("_%1").arg(n) + ext;
        f.setFileName(path);
        if (f.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
            k.g.gLogFile = path;
            k.ownedLogFile = path;
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

bool appendLogFile(Kestrel &k, const QString &entry, QString *errorText)
{
    QFile f;
    if (!openLogFile(k, f, errorText))
        return false;
    const QByteArray bytes = (entry + QStringLiteral("\r\n")).toUtf8();
    if (f.write(bytes) != bytes.size() || !f.flush()) {
        *errorText = f.errorString();
        return false;
    }
    f.close();
    return true;
}
} // namespace

void WriteLog(Kestrel &k, int step, const QString &message)
{
    const QString entry = logEntry(step, message);
    k.appendLogText(visibleStored(entry));
    if (k.g.gLogFile.isEmpty())
        return;
    QString error;
    if (appendLogFile(k, entry, &error) || k.logFailureReported)
        return;
    k.logFailureReported = true;
    const QString crLf = QStringLiteral("\r\n");
    k.appendLogText((entry.endsWith(crLf) ? QString() : crLf)
                    + QStringLiteral("!!!!! The log file %1 cannot be written (%2); "
                                     "this run is logged in this window only !!!!!")
                          .arg(k.g.gLogFile, error)
                    + crLf);
    k.notice(QStringLiteral("log"), QStringLiteral("the log file %1 cannot be written (%2); the "
                                                   "run is not logged to a file")
                                        .arg(k.g.gLogFile, error));
}

void beginLogRun(Kestrel &k)
{
    k.logFailureReported = false;
}
