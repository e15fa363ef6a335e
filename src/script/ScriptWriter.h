#pragma once

#include "script/ScriptLine.h"

#include <QString>

class Kestrel;

// The one writer of script lines. Only in mode "record" or "check": appends
// the display line (values as passed) to TxtEvents and the file line to the
// working copy, which is opened and closed again so the line is on disk when
// the call returns. A working copy that cannot be written is reported once
// in a message box until a line is stored again; the display line is kept.
void AppendScriptLine(Kestrel &k, const QString &Type, const QString &Object,
                      const QString &TagName, const QString &Method, const QString &Value,
                      const QString &Value2);

// Appends the file form of one line (fields passed as values) to a script
// file, creating it. False, with the reason in errorText, when it fails.
bool appendScriptFileLine(const QString &path, const ScriptLine &values, QString *errorText);
