// libFuzzer target for the script reader: any bytes must parse without a
// fault, the player's streaming reader and cursor must read the same records
// from a file of them, and those records must survive the writer's file form
// unchanged (decoded values never hold the bytes 0 and 1, so the writer can
// store every one of them).
#include "script/ScriptLine.h"
#include "script/ScriptReader.h"

#include <QTemporaryFile>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    const QVector<ScriptLine> records = parseScriptBytes(bytes);

    static QTemporaryFile file;
    if (!file.isOpen() && !file.open())
        abort();
    if (!file.seek(0) || !file.resize(0) || file.write(bytes) != bytes.size() || !file.flush())
        abort();
    ScriptStream stream(file.fileName());
    if (!stream.open())
        abort();
    for (const ScriptLine &r : records)
        if (stream.next() != r)
            abort();
    if (stream.next())
        abort();
    // The cursor, asked from the end back to the start.
    ScriptCursor cursor;
    for (qsizetype n = records.size(); n >= 1; n = n / 2)
        if (cursor.recordAt(file.fileName(), int(n)).record != records[n - 1])
            abort();

    QString text;
    for (const ScriptLine &r : records)
        text += fileForm(r.decoded());
    const QVector<ScriptLine> again = parseScriptBytes(text.toUtf8());
    if (again.size() != records.size())
        abort();
    for (qsizetype i = 0; i < records.size(); ++i)
        if (again[i].decoded() != records[i].decoded())
            abort();
    return 0;
}
