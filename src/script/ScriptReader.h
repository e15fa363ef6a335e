#pragma once

#include "core/Result.h"
#include "script/ScriptLine.h"

#include <QByteArray>
#include <QDateTime>
#include <QFile>
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

// One line of file bytes (up to and with its LF), decoded as above.
QString decodeScriptLine(QByteArrayView line);

QVector<ScriptLine> parseScriptBytes(const QByteArray &bytes);

// Reads a script file record by record with the grammar above, holding about
// one record in memory, however big the file is.
class ScriptStream
{
public:
    explicit ScriptStream(const QString &path);
    // Fails, with the reason, when the file cannot be read.
    Result<> open();
    // The next record; nothing at the end of the file or when reading fails.
    std::optional<ScriptLine> next();
    // Empty unless opening or reading failed.
    QString errorString() const { return m_error; }

    // Where reading can start again to give the record that next() returns
    // now: a byte offset at a line start and how many records to pass from
    // there (more than none only when records share a line, as with CR line
    // ends or a line end inside quotes).
    struct Resume
    {
        qint64 offset = 0;
        int skip = 0;
    };
    Resume resumePoint() const { return m_resume; }
    // Goes on from a point resumePoint() gave for this same file content.
    Result<> resumeAt(Resume at);

private:
    bool readMore();

    QFile m_file;
    QString m_text; // decoded text not yet parsed, from m_pos
    qsizetype m_pos = 0;
    bool m_atEnd = false;
    bool m_first = true;
    Resume m_resume;
    QString m_error;
};

// What the player reads at a tick: record n (from 1) of the script and
// whether another record follows it. A script with fewer records gives its
// last one, as reading up to record n leaves it.
struct ScriptRecordAt
{
    bool readable = false;
    QString error;                    // why the file could not be read
    std::optional<ScriptLine> record; // nothing only when there is no record
    bool more = false;
};
// What the player reads at each tick: record n of the working copy (reading
// up to record n + 1, streaming), without reading again what an unchanged
// file holds.
// It keeps where each record seen so far starts and the last record asked
// for; a file whose size, modification or status-change time differ from
// the last read (an edit, a replacement) is read again from its start, so a
// script edited while it plays goes on with its new content. File times are
// coarse: a file modified less than a second before it was read may change
// again without a new time, so it is read again until it is older.
class ScriptCursor
{
public:
    ScriptRecordAt recordAt(const QString &path, int n);
    // Records parsed so far, to see what a read cost.
    qint64 parsedRecords() const { return m_parsed; }

private:
    struct Stamp
    {
        qint64 size = -1;
        QDateTime modified, changed;
        bool operator==(const Stamp &) const = default;
    };
    void forget();

    QString m_path;
    Stamp m_stamp;
    bool m_trusted = false; // the stamp shows any later change
    QVector<ScriptStream::Resume> m_starts; // of records 1, 2, ...
    int m_count = -1;                       // records in the file, once known
    int m_lastN = 0;
    ScriptRecordAt m_last;
    qint64 m_parsed = 0;
};

// Whether the script holds at least one line of a type the player knows.
bool holdsKnownStep(const QString &path);

// Why path is no readable file ("The file does not exist.", "It is a
// folder.", ...); empty when it is a file.
QString fileProblem(const QString &path);

// All records of a script file; nothing when the file cannot be read.
std::optional<QVector<ScriptLine>> readScript(const QString &path);

// The bytes of a file that must be read whole; fails with the reason when it
// is not a readable file.
Result<QByteArray> readFileBytes(const QString &path);
