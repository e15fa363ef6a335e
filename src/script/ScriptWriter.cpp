#include "script/ScriptWriter.h"

#include <QFile>

Result<> appendScriptFileLine(const QString &path, const ScriptLine &values)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Append))
        return Result<>::failure(f.errorString());
    const QByteArray bytes = fileForm(values).toUtf8();
    if (f.write(bytes) != bytes.size() || !f.flush())
        return Result<>::failure(f.errorString());
    f.close();
    return {};
}
