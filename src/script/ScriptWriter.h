#pragma once

#include "script/ScriptLine.h"

#include <QString>

// Appends the file form of one line (fields passed as values) to a script
// file, creating it. False, with the reason in errorText, when it fails.
bool appendScriptFileLine(const QString &path, const ScriptLine &values, QString *errorText);
