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
bool appendLogFile(const QString &path, const QString &entry, QString *errorText)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Append)) {
        *errorText = f.errorString();
        return false;
    }
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
    if (appendLogFile(k.g.gLogFile, entry, &error) || k.logFailureReported)
        return;
    k.logFailureReported = true;
    const QString crLf = QStringLiteral("\r\n");
    k.appendLogText((entry.endsWith(crLf) ? QString() : crLf)
                    + QStringLiteral("!!!!! The log file %1 cannot be written (%2); "
                                     "this run is logged in this window only !!!!!")
                          .arg(k.g.gLogFile, error)
                    + crLf);
}

void beginLogRun(Kestrel &k)
{
    k.logFailureReported = false;
}
