#pragma once

#include "script/ScriptLine.h"

#include <QByteArray>
#include <QString>
#include <QVector>

#include <optional>

// The one reader of script files. Records come back with their fields as
// stored (use ScriptLine::decoded() or decodeField() where the value itself is
// needed); record n of a script is element n - 1.
//
// Grammar, which also covers hand-edited scripts:
// - a record ends at a line end (CR LF, LF or CR) outside quotes, or at the
//   end of the file; empty and all-blank lines are no records;
// - fields are separated by commas; blanks before a field are skipped;
// - a field that begins with a double quote runs to the next double quote
//   (line ends and commas included) and whatever follows up to the next comma
//   or line end is ignored; a quote left open runs to the end of the file;
// - a field without quotes runs to the next comma or line end;
// - a record with fewer than six fields has empty ones for the rest, fields
//   after the sixth are ignored.
QVector<ScriptLine> parseScript(const QString &text);

// Script text from file bytes: UTF-8 (a leading byte-order mark is dropped);
// a line that is not valid UTF-8 is read as Windows-1252, so scripts of older
// 8-bit tools, and working copies that mix both, still read.
QString decodeScriptBytes(const QByteArray &bytes);

QVector<ScriptLine> parseScriptBytes(const QByteArray &bytes);

// All records of a script file; nothing when the file cannot be read.
std::optional<QVector<ScriptLine>> readScript(const QString &path);
// Record n (from 1) of a script file; nothing when the file cannot be read
// or holds fewer than n records.
std::optional<ScriptLine> readScriptRecord(const QString &path, int n);

// The bytes of a file that must be read whole; nothing when it is not a
// readable file. errorText receives the reason.
std::optional<QByteArray> readFileBytes(const QString &path, QString *errorText = nullptr);
