// libFuzzer target for the script reader: any bytes must parse without a
// fault, and whatever records they give must survive the writer's file form
// unchanged (decoded values never hold the bytes 0 and 1, so the writer can
// store every one of them).
#include "script/ScriptLine.h"
#include "script/ScriptReader.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    const QVector<ScriptLine> records = parseScriptBytes(bytes);

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
