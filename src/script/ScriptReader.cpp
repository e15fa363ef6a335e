#include "script/ScriptReader.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

namespace {
bool isBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

bool isLineEnd(QChar c)
{
    return c == QLatin1Char('\r') || c == QLatin1Char('\n');
}

// Index after the line end at i (CR LF counts as one).
qsizetype skipLineEnd(const QString &text, qsizetype i)
{
    if (text.at(i) == QLatin1Char('\r') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n'))
        return i + 2;
    return i + 1;
}

constexpr auto kDecoderFlags =
    QStringConverter::Flag::Stateless | QStringConverter::Flag::ConvertInitialBom;
} // namespace

QString decodeScriptBytes(const QByteArray &bytes)
{
    QByteArrayView data(bytes);
    if (data.startsWith("\xEF\xBB\xBF"))
        data = data.sliced(3);
    // Nearly every script is valid UTF-8 as a whole. Stateless: a character
    // cut off at the end of the file is an error, not silently dropped.
    QStringDecoder utf8(QStringConverter::Utf8, kDecoderFlags);
    QString whole = utf8.decode(data);
    if (!utf8.hasError())
        return whole;
    QStringDecoder cp1252("windows-1252", kDecoderFlags);
    // Line by line: a line end is never part of a multi-byte character.
    QString text;
    text.reserve(data.size());
    qsizetype start = 0;
    while (start < data.size()) {
        qsizetype end = data.indexOf('\n', start);
        end = end < 0 ? data.size() : end + 1;
        const QByteArrayView line = data.sliced(start, end - start);
        utf8.resetState();
        QString s = utf8.decode(line);
        if (utf8.hasError())
            s = cp1252.isValid() ? cp1252.decode(line) : QString::fromLatin1(line);
        text += s;
        start = end;
    }
    return text;
}

QVector<ScriptLine> parseScript(const QString &text)
{
    QVector<ScriptLine> records;
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n) {
        // Empty and all-blank lines hold no record.
        qsizetype j = i;
        while (j < n && isBlank(text.at(j)))
            ++j;
        if (j >= n)
            break;
        if (isLineEnd(text.at(j))) {
            i = skipLineEnd(text, j);
            continue;
        }

        ScriptLine rec;
        QString *fields[] = {&rec.Type, &rec.Object, &rec.TagName,
                             &rec.Method, &rec.Value, &rec.Value2};
        int field = 0;
        for (;;) {
            while (i < n && isBlank(text.at(i)))
                ++i;
            qsizetype begin, end;
            if (i < n && text.at(i) == QLatin1Char('"')) {
                begin = i + 1;
                end = text.indexOf(QLatin1Char('"'), begin);
                if (end < 0)
                    end = n;
                i = end < n ? end + 1 : n;
                // Text between the closing quote and the separator is ignored.
                while (i < n && text.at(i) != QLatin1Char(',') && !isLineEnd(text.at(i)))
                    ++i;
            } else {
                begin = i;
                while (i < n && text.at(i) != QLatin1Char(',') && !isLineEnd(text.at(i)))
                    ++i;
                end = i;
            }
            if (field < 6)
                *fields[field] = text.mid(begin, end - begin);
            ++field;
            if (i >= n)
                break;
            if (text.at(i) == QLatin1Char(',')) {
                ++i;
                continue;
            }
            i = skipLineEnd(text, i);
            break;
        }
        records.append(std::move(rec));
    }
    return records;
}

QVector<ScriptLine> parseScriptBytes(const QByteArray &bytes)
{
    return parseScript(decodeScriptBytes(bytes));
}

std::optional<QByteArray> readFileBytes(const QString &path, QString *errorText)
{
    const QFileInfo info(path);
    if (!info.exists()) {
        if (errorText)
            *errorText = QStringLiteral("The file does not exist.");
        return std::nullopt;
    }
    if (!info.isFile()) {
        if (errorText)
            *errorText = QStringLiteral("It is not a file.");
        return std::nullopt;
    }
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        if (errorText)
            *errorText = f.errorString();
        return std::nullopt;
    }
    QByteArray bytes = f.readAll();
    if (f.error() != QFileDevice::NoError) {
        if (errorText)
            *errorText = f.errorString();
        return std::nullopt;
    }
    return bytes;
}

std::optional<QVector<ScriptLine>> readScript(const QString &path)
{
    const auto bytes = readFileBytes(path);
    if (!bytes)
        return std::nullopt;
    return parseScriptBytes(*bytes);
}

std::optional<ScriptLine> readScriptRecord(const QString &path, int n)
{
    const auto records = readScript(path);
    if (!records || n < 1 || n > records->size())
        return std::nullopt;
    return records->at(n - 1);
}
