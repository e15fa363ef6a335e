#pragma once

#include <QString>

// One step of a test script: six text fields, always in this order.
//
// In the file every field is stored encoded: each CR LF pair becomes the byte
// 0, then each double quote becomes the byte 1. So a line never holds a quote
// of its own inside a field and a stored field reads back exactly as written.
// Older scripts encoded only Value and Value2; their other fields hold neither
// byte and decode to themselves.
struct ScriptLine
{
    QString Type;
    QString Object;
    QString TagName;
    QString Method;
    QString Value;
    QString Value2;

    // The same line with every field decoded (bytes 0 and 1 undone).
    ScriptLine decoded() const;
    // The same line with every field encoded for the file.
    ScriptLine encoded() const;

    bool operator==(const ScriptLine &) const = default;
};

// CR LF -> byte 0, then '"' -> byte 1.
QString encodeField(const QString &value);
// Byte 0 -> CR LF, byte 1 -> '"'.
QString decodeField(const QString &stored);
// A stored value for display: bytes 0 and 1 become visible symbols (U+2400
// and U+2401) instead of vanishing in a text box.
QString visibleStored(const QString &stored);

// The file form of a line whose fields are passed as values: six encoded
// fields in double quotes, separated by commas, ended by CR LF.
QString fileForm(const ScriptLine &values);
// The display form: Object, Method, Value, Value2 joined by commas + CR LF.
QString displayForm(const QString &object, const QString &method, const QString &value,
                    const QString &value2);
// The display line of a stored line, as Open lists it: Object and Method as
// they were recorded, Value and Value2 as stored with visible control bytes.
QString storedDisplayForm(const ScriptLine &stored);

// Letter case does not matter for Type and the special commands.
bool sameText(const QString &a, const QString &b);

enum class LineType { Web, Special, Check, Other };
// Of a stored or decoded line.
LineType lineType(const ScriptLine &line);

// The commands of a "Special" line (Object). Refresh is the empty Object.
enum class SpecialCommand { URL, Back, Close, Manual, Snapshot, MouseDown, Refresh, Other };
SpecialCommand specialCommand(const ScriptLine &line);
