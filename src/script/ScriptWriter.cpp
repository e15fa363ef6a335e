#include "script/ScriptWriter.h"


#include <QFile>

bool appendScriptFileLine(const QString &path, const ScriptLine &values, QString *errorText)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Append)) {
        if (errorText)
            *errorText = f.errorString();
        return false;
    }
    const QByteArray bytes = fileForm(values).toUtf8();
    if (f.write(bytes) != bytes.size() || !f.flush()) {
        if (errorText)
            *errorText = f.errorString();
        return false;
    }
    f.close();
    return true;
}
