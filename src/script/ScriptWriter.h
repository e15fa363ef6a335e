#pragma once

#include "core/Result.h"
#include "script/ScriptLine.h"

#include <QString>

// Appends the file form of one line (fields passed as values) to a script
// file, creating it.
Result<> appendScriptFileLine(const QString &path, const ScriptLine &values);
