#include "TestEnv.h"
#include "ScriptedDialogs.h"

#include "core/Session.h"
#include "script/PlaybackLog.h"
#include "script/ScriptDocument.h"
#include "script/ScriptFiles.h"
#include "script/ScriptReader.h"
#include "script/ScriptWriter.h"
#include "settings/Settings.h"

#include <QDir>
#include <QRegularExpression>
#include <QTest>

class TestScript : public QObject
{
    Q_OBJECT
private slots:
    void writerAndReaderOnEveryInput();
    void recordSaveAndNew();
    void openListsNamesLogAndFailsCleanly();
    void logEntriesWindowAndFile();
};

namespace {
const QDateTime kOpenTime(QDate(2005, 12, 9), QTime(14, 30, 5));
const QByteArray kBack = "\"Special\",\"Back\",\"\",\"\",\"\",\"\"\r\n";

// The script and its log over fresh folders, with what a window would show.
struct Env
{
    TestFolders f;
    ScriptedDialogs d;
    Session session;
    PlaybackLog log{session.g};
    ScriptDocument doc{session, d, log};
    QString caption, shown, logText;
    int renewals = 0;
    Env()
    {
        ScriptClock::now = [] { return kOpenTime; };
        f.writeSettings();
        LoadSettings(session.g);
        QObject::connect(&doc, &ScriptDocument::captionChanged,
                         [this](const QString &text) { caption = text; });
        QObject::connect(&doc, &ScriptDocument::linesCleared, [this] { shown.clear(); });
        QObject::connect(&doc, &ScriptDocument::lineAppended,
                         [this](const QString &text) { shown += text; });
        QObject::connect(&doc, &ScriptDocument::renewed, [this] { ++renewals; });
        QObject::connect(&log, &PlaybackLog::textAppended,
                         [this](const QString &text) { logText += text; });
    }
    QString path(const QString &name) const { return f.scripts() + QLatin1Char('/') + name; }
};

QByteArray bytesOf(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

ScriptLine L(const QString &a, const QString &b = {}, const QString &c = {},
             const QString &d = {}, const QString &e = {}, const QString &f = {})
{
    return {a, b, c, d, e, f};
}

// Every record of a file as the streaming reader gives them.
QVector<ScriptLine> streamed(const QString &path)
{
    QVector<ScriptLine> records;
    ScriptStream stream(path);
    stream.open(); // a file that cannot be read gives none
    while (auto rec = stream.next())
        records.append(*rec);
    return records;
}

} // namespace

void TestScript::writerAndReaderOnEveryInput()
{
    // Through a file without extension whose name has blanks and non-ASCII,
    // also a value of 10 MB, which the streaming reader reads the same.
    const QList<ScriptLine> hostile = {
        L("Web", "line\r\nbreak \"both\"", "A", "onclick", "say \"hi\"\r\n\r\n\"bye\""),
        L("Web", "comma,in,object", "INPUT", "onclick", "1,2,3", ",,"),
        L("Check", "Größe €", "TD", "check", "日本語 😀", "\n\r"),
        L(" lead", "trail ", "\t", "\"", "\"\r", "\r\n"),
        L("Web", "o", "INPUT", "onfocusout", QString(10 * 1024 * 1024, QLatin1Char('x'))),
    };
    TestFolders f;
    const QString path = f.scripts() + QStringLiteral("/mein Prüfskript");
    for (const ScriptLine &line : hostile)
        QVERIFY(appendScriptFileLine(path, line));
    const auto read = readScript(path);
    QCOMPARE(read->size(), hostile.size());
    for (int i = 0; i < hostile.size(); ++i)
        QCOMPARE(read->at(i).decoded(), hostile[i]);
    QCOMPARE(streamed(path), *read);

    // Older scripts stored Object raw; without bytes 0 and 1 it reads the same.
    QCOMPARE(parseScript(QStringLiteral("\"Web\",\"a\r\nb\",\"A\",\"x\",\"y\x01\0\",\"\""))[0]
                 .decoded(),
             L("Web", "a\r\nb", "A", "x", "y\"\r\n"));

    const QList<QPair<QByteArray, QList<ScriptLine>>> cases = {
        {"Web,  q ,INPUT,\tonclick, 900,x", {L("Web", "q ", "INPUT", "onclick", "900", "x")}},
        // Text after a closing quote is ignored; quotes hold commas and line ends.
        {"\"W\"junk,\"a\" \"b\",\"A\"x\"y,\"1,\r\n2\n3\r4\"\r\nx",
         {L("W", "a", "A", "1,\r\n2\n3\r4"), L("x")}},
        {"a,b\nc,d\r\ne,f\rg,h", {L("a", "b"), L("c", "d"), L("e", "f"), L("g", "h")}},
        // Short records are padded and do not shift the next; extra fields go.
        {"\"Special\"\r\n1,2,3,4,5\r\n1,2,3,4,5,6,7\r\n" + QByteArray("x,").repeated(29)
             + "y\r\n,,\"\",,\r\nlast",
         {L("Special"), L("1", "2", "3", "4", "5"), L("1", "2", "3", "4", "5", "6"),
          L("x", "x", "x", "x", "x", "x"), L(""), L("last")}},
        {"\r\n  \r\na\r\n\n\t\nb\r\n\r\n \n\r", {L("a"), L("b")}},
        {"\"Web\",\"a\"\r\n\"Special\",\"open\r\nstill,open",
         {L("Web", "a"), L("Special", "open\r\nstill,open")}},
        {QByteArrayLiteral("\"W\0b\",\"o\x01\",\"\x02\",\"\0\""),
         {L(QStringLiteral("W\0b"), QStringLiteral("o\x01"), QStringLiteral("\x02"),
            QStringLiteral("\0"))}},
        // UTF-8, with a byte-order mark dropped at the start only; lines that
        // are not UTF-8 are Windows-1252, also in a working copy with both.
        {"\xEF\xBB\xBF" "a,caf\xC3\xA9\r\n\xEF\xBB\xBF" "b",
         {L("a", "café"), L(QStringLiteral("\uFEFFb"))}},
        {"\"\xE9t\xE9 \x80\",\"\x93x\x94\"\r\n\"\xC3\xA9t\xC3\xA9\"\r\n\"multi\nl\xE9ne\"\r\n"
         "a,\xC3\xA9\xC3",
         {L("été €", "“x”"), L("été"), L("multi\nléne"), L("a", "Ã©Ã")}},
    };
    const QString file = f.scripts() + QStringLiteral("/stream.csv");
    for (const auto &c : cases) {
        QCOMPARE(parseScriptBytes(c.first), c.second);
        // The player's reader, which holds one record at a time, reads the same.
        QVERIFY(writeFile(file, c.first));
        QCOMPARE(streamed(file), c.second);
    }
    // An unchanged file is not read again: a tick parses its record and the
    // next. An edit, also one to an earlier record, is read from the start.
    QByteArray many;
    for (int i = 1; i <= 3000; ++i)
        many += "Web,b" + QByteArray::number(i) + (i % 7 ? "\r\n" : "\r"); // CR: records share a line
    QVERIFY(writeFile(file, many));
    QFile aged(file); // a file just written is read again until it is older
    QVERIFY(aged.open(QIODevice::ReadWrite)
            && aged.setFileTime(QDateTime::currentDateTime().addSecs(-60),
                                QFileDevice::FileModificationTime));
    ScriptCursor cursor;
    QCOMPARE(cursor.recordAt(file, 2000).record->Object, QStringLiteral("b2000"));
    for (int n = 2001; n < 2020; ++n) {
        const qint64 before = cursor.parsedRecords();
        QCOMPARE(cursor.recordAt(file, n).record->Object, QStringLiteral("b%1").arg(n));
        QVERIFY(cursor.parsedRecords() - before <= 2);
    }
    // Back to an earlier record, one that starts inside a line, from there.
    const qint64 parsed = cursor.parsedRecords();
    QCOMPARE(cursor.recordAt(file, 8).record->Object, QStringLiteral("b8"));
    QVERIFY(cursor.parsedRecords() - parsed <= 2);
    QVERIFY(writeFile(file, many.replace("b10\r", "c10\r")));
    QCOMPARE(cursor.recordAt(file, 10).record->Object, QStringLiteral("c10"));
    QVERIFY(cursor.recordAt(file, 11).more);
    QVERIFY(writeFile(file, "Web,only\r\n"));
    const ScriptRecordAt shortened = cursor.recordAt(file, 12);
    QVERIFY(shortened.record->Object == QStringLiteral("only") && !shortened.more);
    // A file without records is readable; a missing file or a folder is not.
    QVERIFY(writeFile(file, "\r\n"));
    QVERIFY(ScriptCursor().recordAt(file, 1).readable && !ScriptCursor().recordAt(file, 1).record);
    QVERIFY(!ScriptCursor().recordAt(f.scripts(), 1).readable);
    QVERIFY(!readScript(f.scripts() + QStringLiteral("/none.csv")) && !readScript(f.scripts()));

    // Whether a file holds anything the player knows; the type ignores letter
    // case but not blanks, and so do the special commands.
    QVERIFY(writeFile(file, "Note,a\r\n\"web \",b\r\n"));
    QVERIFY(!holdsKnownStep(file));
    QVERIFY(writeFile(file, "Note,a\r\nsPeCiAl,Back\r\n"));
    QVERIFY(holdsKnownStep(file));
    QCOMPARE(specialCommand(L("Special", "MouseDown")), SpecialCommand::MouseDown);
    QCOMPARE(specialCommand(L("Special", "", "", "REFRESH")), SpecialCommand::Refresh);
    QCOMPARE(specialCommand(L("Special", "Reload")), SpecialCommand::Other);
}

void TestScript::recordSaveAndNew()
{
    Env e;
    for (const Mode mode : {Mode::Idle, Mode::Play, Mode::ManualStep, Mode::Manual}) {
        e.session.g.gMode = mode;
        e.doc.AppendScriptLine("Web", "q", "INPUT", "onclick", "x", "");
    }
    QVERIFY(!QFile::exists(e.session.g.gTempFile) && e.shown.isEmpty());
    // Nothing recorded: Save as says so and asks nothing.
    e.d.expect(QStringLiteral("message"));
    e.doc.SaveFile(true);
    QVERIFY(e.d.shown.last().startsWith(QStringLiteral("message|Kestrel|Nothing has been recorded")));

    e.session.g.gMode = Mode::Record;
    e.doc.AppendScriptLine("Web", "q", "INPUT", "onfocusout", "\"a\"\r\nb", "");
    QCOMPARE(readScript(e.session.g.gTempFile)->size(), 1); // on disk at once
    e.session.g.gMode = Mode::Check;
    e.doc.AppendScriptLine("Special", "Back", "", "", "", "");
    // Stored: CR LF to byte 0 first, then quotes to byte 1.
    const QByteArray recorded = bytesOf(e.session.g.gTempFile);
    QCOMPARE(recorded, QByteArrayLiteral("\"Web\",\"q\",\"INPUT\",\"onfocusout\",\"\x01"
                                         "a\x01\0b\",\"\"\r\n")
                           + kBack);
    // The display shows the values as passed.
    QCOMPARE(e.shown, QStringLiteral("q,onfocusout,\"a\"\r\nb,\r\nBack,,,\r\n"));

    e.d.expect(QStringLiteral("save"), QString()); // no script yet: asks; cancel
    e.doc.SaveFile(false);
    QCOMPARE(e.d.shown.last(), QStringLiteral("save|") + e.f.scripts() + QStringLiteral("|"));
    const QString plain = e.path(QStringLiteral("plain name")); // used as it is
    e.d.expect(QStringLiteral("save"), plain);
    e.doc.SaveFile(false);
    QCOMPARE(e.session.g.gFile, plain);
    QCOMPARE(bytesOf(plain), recorded);

    // Save with a script named writes at once and replaces the file as a
    // whole: a reader holding the old file still sees the old text.
    e.doc.AppendScriptLine("Special", "Back", "", "", "", "");
    QFile old(plain);
    QVERIFY(old.open(QIODevice::ReadOnly));
    e.doc.SaveFile(false);
    QCOMPARE(bytesOf(plain), recorded + kBack);
    QCOMPARE(old.readAll(), recorded);

    // Save as always asks, and asks before replacing a file.
    const QString other = e.path(QStringLiteral("other.csv"));
    QVERIFY(writeFile(other, "keep me"));
    e.d.expect(QStringLiteral("save"), other);
    e.d.expect(QStringLiteral("question"), QStringLiteral("no"));
    e.doc.SaveFile(true);
    QVERIFY(e.d.shown.last().startsWith(QStringLiteral("question|Kestrel|") + other
                                        + QStringLiteral(" already exists.")));
    QCOMPARE(bytesOf(other), QByteArray("keep me"));
    QCOMPARE(e.session.g.gFile, plain);
    e.d.expect(QStringLiteral("save"), other);
    e.d.expect(QStringLiteral("question"), QStringLiteral("yes"));
    e.doc.SaveFile(true);
    QCOMPARE(bytesOf(other), recorded + kBack);
    QCOMPARE(e.session.g.gFile, other);
    // Save as into a missing folder or onto a folder: said, nothing changes.
    for (const QString &bad : {e.f.root() + QStringLiteral("/no/such.csv"), e.f.scripts()}) {
        e.d.expect(QStringLiteral("save"), bad);
        e.d.expect(QStringLiteral("message"));
        e.doc.SaveFile(true);
        QVERIFY(e.d.shown.last().startsWith(QStringLiteral("message|Kestrel|The script could not "
                                                           "be saved as ") + bad));
        QCOMPARE(e.session.g.gFile, other);
    }

    // New discards the working copy and forgets the script and its log.
    e.session.g.gLogFile = QStringLiteral("/logs/login_x.log");
    const int asked = e.d.shown.size();
    e.doc.mnuFileNew_Click();
    QVERIFY(!QFile::exists(e.session.g.gTempFile));
    QCOMPARE(e.session.g.gMode, Mode::Idle);
    QCOMPARE((QStringList{e.session.g.gFile, e.session.g.gLogFile, e.caption, e.shown}),
             (QStringList{QString(), QString(), QStringLiteral("Tarn Kestrel"), QString()}));
    QCOMPARE(e.renewals, 1);
    e.doc.mnuFileNew_Click(); // no working copy: nothing to complain about
    QCOMPARE(e.d.shown.size(), asked);

    // A working copy that cannot be written: one message per spell of
    // failures, the steps still listed.
    e.session.g.gMode = Mode::Record;
    const QString folder = e.f.root() + QStringLiteral("/gone");
    e.session.g.gTempFile = folder + QStringLiteral("/tarn_a_s.csv");
    e.d.expect(QStringLiteral("message"));
    e.doc.AppendScriptLine("Web", "a", "A", "onclick", "1", "");
    e.doc.AppendScriptLine("Web", "b", "A", "onclick", "2", "");
    QCOMPARE(e.d.shown.size(), asked + 1);
    QVERIFY(e.d.shown.last().startsWith(QStringLiteral("message|Kestrel|The step could not be stored")));
    QCOMPARE(e.shown, QStringLiteral("a,onclick,1,\r\nb,onclick,2,\r\n"));
    QDir().mkpath(folder);
    e.doc.AppendScriptLine("Web", "c", "A", "onclick", "3", "");
    QDir(folder).removeRecursively();
    e.d.expect(QStringLiteral("message"));
    e.doc.AppendScriptLine("Web", "d", "A", "onclick", "4", "");
    QCOMPARE(e.d.shown.size(), asked + 2);
    QVERIFY(e.d.allAnswered() && e.d.unexpected.isEmpty());
}

void TestScript::openListsNamesLogAndFailsCleanly()
{
    Env e;
    // What Open sets: the script, its log's name, the working copy, the
    // caption and the listing.
    const auto state = [&] {
        return QStringList{e.session.g.gFile, e.session.g.gLogFile, e.session.scriptName,
                           readText(workingCopyPath()), e.caption, e.shown};
    };
    const QString script = e.path(QStringLiteral("login.csv"));
    QVERIFY(writeFile(script, QByteArrayLiteral("\"Special\",\"URL\",\"\",\"\",\"http://h/a.htm\",\"\"\r\n"
                                                "\"Web\",\"<b class=\x01x\x01>\",\"A\",\"onclick\",\"(JS)\",\"\"\r\n"
                                                "\"Web\",\"q\",\"INPUT\",\"onfocusout\",\"\x01hi\x01\0x\",\"\"\r\n"
                                                "\"Web\",\"country\",\"SELECT\",\"onclick\",\"2\"")));
    e.d.expect(QStringLiteral("open"), QString()); // cancelled
    e.doc.Open_File(QString());
    QCOMPARE(e.d.shown.last(), QStringLiteral("open|") + e.f.scripts() + QStringLiteral("|"));

    e.d.expect(QStringLiteral("open"), script);
    e.doc.Open_File(QString());
    QCOMPARE(state(), (QStringList{script, e.f.logs() + QStringLiteral("/login_2005-12-09-143005.log"),
                                   QStringLiteral("/login"), readText(script),
                                   QStringLiteral("Tarn Kestrel - ") + script,
                                   QStringLiteral("URL,,http://h/a.htm,\r\n<b class=\"x\">,onclick,(JS),\r\n"
                                                  "q,onfocusout,\u2401hi\u2401\u2400x,\r\ncountry,onclick,2,\r\n")}));
    QVERIFY(!QFile::exists(e.session.g.gLogFile));

    // Open again: the script is preset, the log gets a new name.
    ScriptClock::now = [] { return kOpenTime.addSecs(65); };
    e.d.expect(QStringLiteral("open"), script);
    e.doc.Open_File(QString());
    QCOMPARE(e.d.shown.last(), QStringLiteral("open|") + e.f.scripts() + QLatin1Char('|') + script);
    QCOMPARE(e.session.g.gLogFile, e.f.logs() + QStringLiteral("/login_2005-12-09-143110.log"));
    QVERIFY(writeFile(script, QByteArray()));
    e.doc.Open_File(script);
    QVERIFY(bytesOf(e.session.g.gTempFile).isEmpty() && e.shown.isEmpty());

    // A script of megabytes is copied whole but listed only as far as a
    // person reads, saying how much is left out.
    const QByteArray many = QByteArray("\"Note\",\"n\",\"\",\"\",\"") + QByteArray(200, 'z')
                            + "\",\"\"\r\n";
    QVERIFY(writeFile(script, many.repeated(20000)));
    e.doc.Open_File(script);
    QCOMPARE(bytesOf(e.session.g.gTempFile).size(), many.size() * 20000);
    QVERIFY(e.shown.size() < 1200 * 1000);
    QVERIFY(e.shown.startsWith(QStringLiteral("n,,") + QString(200, QLatin1Char('z'))));
    QVERIFY(e.shown.endsWith(QStringLiteral(" of the script's 20000 lines are not listed here\r\n")));

    // The name is the file's without its last extension. An Open that fails
    // changes nothing.
    const QString good = e.path(QStringLiteral("my.test.csv"));
    QVERIFY(writeFile(good, kBack));
    e.doc.Open_File(good);
    ScriptClock::now = [] { return kOpenTime.addDays(1); };
    const QStringList opened = {good, e.f.logs() + QStringLiteral("/my.test_2005-12-09-143110.log"),
                                QStringLiteral("/my.test"), QString::fromUtf8(kBack),
                                QStringLiteral("Tarn Kestrel - ") + good, QStringLiteral("Back,,,\r\n")};
    QCOMPARE(state(), opened);
    for (const QString &bad : {e.path(QStringLiteral("missing.csv")), e.f.scripts()}) {
        e.d.expect(QStringLiteral("message"));
        e.doc.Open_File(bad);
        QVERIFY(e.d.shown.last().startsWith(QStringLiteral("message|Kestrel|The script ") + bad
                                            + QStringLiteral(" cannot be opened: ")));
        QCOMPARE(state(), opened);
    }
    // The working copy's folder has gone: Open cannot copy.
    e.session.g.gTempFile = e.f.root() + QStringLiteral("/gone/tarn_a_s.csv");
    e.d.expect(QStringLiteral("message"));
    e.doc.Open_File(script);
    QCOMPARE(state(), opened);
    QVERIFY(e.d.allAnswered() && e.d.unexpected.isEmpty());
}

void TestScript::logEntriesWindowAndFile()
{
    Env e;
    e.log.WriteLog(1, QStringLiteral("passed\r\n")); // no script: window only
    QCOMPARE(e.logText, QStringLiteral("Step: 1, =>passed\r\n"));
    QVERIFY(QDir(e.f.logs()).isEmpty());

    const QString script = e.path(QStringLiteral("login.csv"));
    QVERIFY(writeFile(script, kBack));
    e.doc.Open_File(script);
    e.logText.clear();
    for (int run = 0; run < 2; ++run) {
        e.log.beginRun();
        e.log.WriteLog(3, QStringLiteral("Value=\x01S\x01\0....."));
        e.log.WriteLog(3, QStringLiteral("passed\r\n"));
    }
    const QString shown =
        QStringLiteral("Step: 3, =>Value=\u2401S\u2401\u2400.....Step: 3, =>passed\r\n");
    QCOMPARE(e.logText, shown + shown);
    const QByteArray stored =
        QByteArrayLiteral("Step: 3, =>Value=\x01S\x01\0.....\r\nStep: 3, =>passed\r\n\r\n");
    QCOMPARE(bytesOf(e.f.logs() + QStringLiteral("/login_2005-12-09-143005.log")), stored + stored);

    // A new Open starts a new file, beside the one another Kestrel, started
    // in the same second with the same script, has already.
    const QString theirs = e.f.logs() + QStringLiteral("/login_2005-12-09-143006.log");
    QVERIFY(writeFile(theirs, "theirs\r\n"));
    ScriptClock::now = [] { return kOpenTime.addSecs(1); };
    e.doc.Open_File(script);
    e.log.WriteLog(1, QStringLiteral("mine\r\n"));
    e.log.WriteLog(-1, QStringLiteral(" **** TEST COMPLETE - PASSED ****"));
    QCOMPARE(bytesOf(theirs), QByteArray("theirs\r\n"));
    QCOMPARE(e.session.g.gLogFile, e.f.logs() + QStringLiteral("/login_2005-12-09-143006_2.log"));
    QCOMPARE(bytesOf(e.session.g.gLogFile),
             QByteArray("Step: 1, =>mine\r\n\r\nStep:-1, => **** TEST COMPLETE - PASSED ****\r\n"));

    // A log file that cannot be written: noted once per run, never a dialog.
    e.session.g.gLogFile = e.f.root() + QStringLiteral("/no such folder/x.log");
    e.logText.clear();
    for (int run = 0; run < 2; ++run) {
        e.log.beginRun();
        e.log.WriteLog(1, QStringLiteral("Type=Special....."));
        e.log.WriteLog(1, QStringLiteral("passed\r\n"));
        e.log.WriteLog(2, QStringLiteral("failed\r\n"));
    }
    // The notice, its reason the system's words, as one mark.
    const QString notice = QStringLiteral("\r\n!!!!! The log file ") + e.session.g.gLogFile;
    e.logText.replace(QRegularExpression(QRegularExpression::escape(notice) + QStringLiteral(".*\r\n")),
                      QStringLiteral("|"));
    const QString run =
        QStringLiteral("Step: 1, =>Type=Special.....|Step: 1, =>passed\r\nStep: 2, =>failed\r\n");
    QCOMPARE(e.logText, run + run);
    QVERIFY(e.d.shown.isEmpty());
}

QTEST_GUILESS_MAIN(TestScript)
#include "test_script.moc"
