#include "script/ScriptReader.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <algorithm>

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

QString decodeScriptLine(QByteArrayView line)
{
    QStringDecoder utf8(QStringConverter::Utf8, kDecoderFlags);
    QString s = utf8.decode(line);
    if (!utf8.hasError())
        return s;
    QStringDecoder cp1252("windows-1252", kDecoderFlags);
    return cp1252.isValid() ? cp1252.decode(line) : QString::fromLatin1(line);
}

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
    // Line by line: a line end is never part of a multi-byte character.
    QString text;
    text.reserve(data.size());
    qsizetype start = 0;
    while (start < data.size()) {
        qsizetype end = data.indexOf('\n', start);
        end = end < 0 ? data.size() : end + 1;
        text += decodeScriptLine(data.sliced(start, end - start));
        start = end;
    }
    return text;
}

namespace {

enum class Parsed { Record, NeedMore, End };

// One record from text at i. Without atEof, text may go on: a record that
// reaches the end of text is not complete yet (NeedMore, i unchanged).
Parsed parseRecord(const QString &text, qsizetype &i, bool atEof, ScriptLine &rec)
{
    const qsizetype n = text.size();
    qsizetype at = i;
    // Empty and all-blank lines hold no record.
    for (;;) {
        qsizetype j = at;
        while (j < n && isBlank(text.at(j)))
            ++j;
        if (j >= n) {
            if (!atEof)
                return Parsed::NeedMore;
            i = n;
            return Parsed::End;
        }
        if (!isLineEnd(text.at(j)))
            break;
        if (!atEof && j + 1 >= n && text.at(j) == QLatin1Char('\r'))
            return Parsed::NeedMore; // a CR whose LF may follow
        at = skipLineEnd(text, j);
    }

    rec = ScriptLine();
    QString *fields[] = {&rec.Type, &rec.Object, &rec.TagName,
                         &rec.Method, &rec.Value, &rec.Value2};
    int field = 0;
    for (;;) {
        while (at < n && isBlank(text.at(at)))
            ++at;
        qsizetype begin, end;
        if (at < n && text.at(at) == QLatin1Char('"')) {
            begin = at + 1;
            end = text.indexOf(QLatin1Char('"'), begin);
            if (end < 0) {
                if (!atEof)
                    return Parsed::NeedMore;
                end = n;
            }
            at = end < n ? end + 1 : n;
            // Text between the closing quote and the separator is ignored.
            while (at < n && text.at(at) != QLatin1Char(',') && !isLineEnd(text.at(at)))
                ++at;
        } else {
            begin = at;
            while (at < n && text.at(at) != QLatin1Char(',') && !isLineEnd(text.at(at)))
                ++at;
            end = at;
        }
        if (at >= n && !atEof)
            return Parsed::NeedMore;
        if (field < 6)
            *fields[field] = text.mid(begin, end - begin);
        ++field;
        if (at >= n)
            break;
        if (text.at(at) == QLatin1Char(',')) {
            ++at;
            continue;
        }
        if (!atEof && at + 1 >= n && text.at(at) == QLatin1Char('\r'))
            return Parsed::NeedMore;
        at = skipLineEnd(text, at);
        break;
    }
    i = at;
    return Parsed::Record;
}

} // namespace

QVector<ScriptLine> parseScript(const QString &text)
{
    QVector<ScriptLine> records;
    qsizetype i = 0;
    ScriptLine rec;
    while (parseRecord(text, i, true, rec) == Parsed::Record)
        records.append(std::move(rec));
    return records;
}

ScriptStream::ScriptStream(const QString &path) : m_file(path) {}

Result<> ScriptStream::open()
{
    const QString problem = fileProblem(m_file.fileName());
    if (!problem.isEmpty())
        m_error = problem;
    else if (!m_file.open(QIODevice::ReadOnly))
        m_error = m_file.errorString();
    if (m_error.isEmpty())
        return {};
    return Result<>::failure(m_error);
}

Result<> ScriptStream::resumeAt(Resume at)
{
    if (!m_file.isOpen() || !m_error.isEmpty() || !m_file.seek(at.offset))
        return Result<>::failure(m_error.isEmpty() ? m_file.errorString() : m_error);
    m_text.clear();
    m_pos = 0;
    m_atEnd = false;
    m_first = at.offset == 0;
    m_resume = {at.offset, 0};
    for (int i = 0; i < at.skip; ++i) {
        if (!next())
            return Result<>::failure(m_error.isEmpty() ? QStringLiteral("The file has changed.")
                                                       : m_error);
    }
    return {};
}

bool ScriptStream::readMore()
{
    // At least as much again as is waiting, so that a quoted field over many
    // lines is not parsed again for every line.
    const qsizetype want = std::max<qsizetype>(m_text.size() - m_pos, 1);
    qsizetype got = 0;
    while (got < want && !m_atEnd) {
        QByteArray line = m_file.readLine();
        if (line.isEmpty()) {
            if (m_file.error() != QFileDevice::NoError)
                m_error = m_file.errorString();
            m_atEnd = true;
            break;
        }
        QByteArrayView data(line);
        if (m_first && data.startsWith("\xEF\xBB\xBF"))
            data = data.sliced(3);
        m_first = false;
        m_text += decodeScriptLine(data);
        got += data.size();
    }
    return got > 0;
}

std::optional<ScriptLine> ScriptStream::next()
{
    if (!m_file.isOpen() || !m_error.isEmpty())
        return std::nullopt;
    for (;;) {
        ScriptLine rec;
        const Parsed p = parseRecord(m_text, m_pos, m_atEnd, rec);
        if (p == Parsed::Record) {
            // Only what is left of the current line is kept.
            m_text.remove(0, m_pos);
            m_pos = 0;
            if (m_text.isEmpty())
                m_resume = {m_file.pos(), 0};
            else
                ++m_resume.skip;
            return rec;
        }
        if (p == Parsed::End)
            return std::nullopt;
        readMore();
        if (!m_error.isEmpty())
            return std::nullopt;
    }
}

QVector<ScriptLine> parseScriptBytes(const QByteArray &bytes)
{
    return parseScript(decodeScriptBytes(bytes));
}

QString fileProblem(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return QStringLiteral("The file does not exist.");
    if (info.isDir())
        return QStringLiteral("It is a folder.");
    if (!info.isFile())
        return QStringLiteral("It is not a regular file.");
    return QString();
}

Result<QByteArray> readFileBytes(const QString &path)
{
    const QString problem = fileProblem(path);
    if (!problem.isEmpty())
        return Result<QByteArray>::failure(problem);
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return Result<QByteArray>::failure(f.errorString());
    QByteArray bytes = f.readAll();
    if (f.error() != QFileDevice::NoError)
        return Result<QByteArray>::failure(f.errorString());
    return bytes;
}

std::optional<QVector<ScriptLine>> readScript(const QString &path)
{
    const Result<QByteArray> bytes = readFileBytes(path);
    if (!bytes)
        return std::nullopt;
    return parseScriptBytes(bytes.value());
}

void ScriptCursor::forget()
{
    m_starts.clear();
    m_starts.squeeze();
    m_count = -1;
    m_lastN = 0;
    m_last = ScriptRecordAt();
}

ScriptRecordAt ScriptCursor::recordAt(const QString &path, int n)
{
    ScriptRecordAt at;
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const QFileInfo info(path);
    const Stamp stamp{info.size(), info.lastModified(), info.metadataChangeTime()};
    if (path != m_path || stamp != m_stamp || !m_trusted) {
        forget();
        m_path = path;
        m_stamp = stamp;
        m_trusted = stamp.modified.isValid() && stamp.modified < now.addSecs(-1);
    }
    if (m_lastN > 0 && n == m_lastN)
        return m_last;

    ScriptStream stream(path);
    if (const Result<> opened = stream.open(); !opened) {
        forget();
        at.error = opened.error();
        return at;
    }
    if (n < 1) {
        at.readable = true;
        return at;
    }
    // A script with fewer records gives its last one.
    const int want = m_count >= 0 ? std::min(n, m_count) : n;
    if (want < 1) {
        at.readable = true;
        return at;
    }
    // From the nearest record whose start is known.
    int index = std::min<int>(want, m_starts.size());
    if (index >= 1) {
        if (const Result<> resumed = stream.resumeAt(m_starts[index - 1]); !resumed) {
            forget();
            at.error = resumed.error();
            return at;
        }
    } else {
        index = 1;
    }
    for (;; ++index) {
        const ScriptStream::Resume start = stream.resumePoint();
        std::optional<ScriptLine> rec = stream.next();
        if (!rec) {
            if (stream.errorString().isEmpty())
                m_count = index - 1;
            break;
        }
        ++m_parsed;
        if (index > m_starts.size())
            m_starts.append(start);
        if (index > want) {
            at.more = true;
            break;
        }
        at.record = std::move(rec);
    }
    at.error = stream.errorString();
    at.readable = at.error.isEmpty();
    if (!at.readable) {
        forget();
        return at;
    }
    m_lastN = n;
    m_last = at;
    return at;
}

bool holdsKnownStep(const QString &path)
{
    ScriptStream stream(path);
    if (!stream.open())
        return false;
    while (const std::optional<ScriptLine> rec = stream.next()) {
        if (lineType(*rec) != LineType::Other)
            return true;
    }
    return false;
}
