#include "script/ScriptWriter.h"

#include "app/Kestrel.h"
#include "platform/Dialogs.h"

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

void AppendScriptLine(Kestrel &k, const QString &Type, const QString &Object,
                      const QString &TagName, const QString &Method, const QString &Value,
                      const QString &Value2)
{
    if (k.g.gMode != QLatin1String("record") && k.g.gMode != QLatin1String("check"))
        return;
    if (k.view())
        k.view()->appendEvents(displayForm(Object, Method, Value, Value2));

    QString error;
    if (appendScriptFileLine(k.g.gTempFile, {Type, Object, TagName, Method, Value, Value2},
                             &error)) {
        k.workingCopyFailureShown = false;
        return;
    }
    // Recording goes on; one message per spell of failures, not one per click.
    if (k.workingCopyFailureShown)
        return;
    k.workingCopyFailureShown = true;
    k.dialogs().message(k.view() ? k.view()->window() : nullptr,
                        QStringLiteral("The step could not be stored in the working copy %1: %2\n"
                                       "It is listed but will not be saved or played.")
                            .arg(k.g.gTempFile, error),
                        Dialogs::appTitle());
}
