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
#include <QRandomGenerator>
#include <QTest>

class TestScript : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void writerStoresEveryValueExactly();
    void writerModeFilterAndFailures();
    void readerGrammarAndBadInput();
    void openListsAndNamesLog();
    void saveSaveAsAndNew();
    void fileFailuresChangeNothing();
    void logEntriesWindowAndFile();
};

namespace {
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
    // As the events box shows them: line by line.
    QString events() const
    {
        return QString(shown).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    }
    QString path(const QString &name) const { return f.scripts() + QLatin1Char('/') + name; }
};

QByteArray bytesOf(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QVERIFY(writeFile(path, bytes));
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
    if (!stream.open())
        return records;
    while (auto rec = stream.next())
        records.append(*rec);
    return records;
}

const QDateTime kOpenTime(QDate(2005, 12, 9), QTime(14, 30, 5));
const QByteArray kBack = "\"Special\",\"Back\",\"\",\"\",\"\",\"\"\r\n";
} // namespace

void TestScript::init()
{
    ScriptClock::now = [] { return kOpenTime; };
}

void TestScript::writerStoresEveryValueExactly()
{
    // CR LF to byte 0 first, then quotes to byte 1; lone CR or LF stay.
    QCOMPARE(fileForm(L("Web", "<b class=\"x\">", "A", "onclick", "\"a\"\r\nb", "c\rd\ne")),
             QStringLiteral("\"Web\",\"<b class=\x01x\x01>\",\"A\",\"onclick\",\"\x01"
                            "a\x01\0b\",\"c\rd\ne\"\r\n"));
    QCOMPARE(fileForm(L("Special", "Back")).toUtf8(), kBack);

    const QList<ScriptLine> hostile = {
        L("Web", "line\r\nbreak \"both\"", "A", "onclick", "say \"hi\"\r\n\r\n\"bye\""),
        L("Web", "comma,in,object", "INPUT", "onclick", "1,2,3", ",,"),
        L("Check", "Größe €", "TD", "check", "日本語 😀", "\n\r"),
        L("Special", "mousedown", "", "", " 900", "-600"),
        L("", "", "", "", "", ""),
        L(" lead", "trail ", "\t", "\"", "\"\r", "\r\n"),
    };
    TestFolders f;
    const QString path = f.scripts() + QStringLiteral("/round trip ü.csv");
    for (const ScriptLine &line : hostile) {
        const Result<> stored = appendScriptFileLine(path, line);
        QVERIFY2(stored, qPrintable(stored.error()));
    }
    const auto read = readScript(path);
    QCOMPARE(read->size(), hostile.size());
    for (int i = 0; i < hostile.size(); ++i)
        QCOMPARE(read->at(i).decoded(), hostile[i]);

    // Older scripts stored Object raw; without bytes 0 and 1 it reads the same.
    QCOMPARE(parseScript(QStringLiteral("\"Web\",\"a\r\nb\",\"A\",\"x\",\"y\x01\0\",\"\""))[0]
                 .decoded(),
             L("Web", "a\r\nb", "A", "x", "y\"\r\n"));
}

void TestScript::writerModeFilterAndFailures()
{
    Env e;
    for (const Mode mode : {Mode::Idle, Mode::Play, Mode::ManualStep, Mode::Manual}) {
        e.session.g.gMode = mode;
        e.doc.AppendScriptLine("Web", "q", "INPUT", "onclick", "x", "");
    }
    QVERIFY(!QFile::exists(e.session.g.gTempFile));
    QCOMPARE(e.events(), QString());

    e.session.g.gMode = Mode::Record;
    e.doc.AppendScriptLine("Web", "q", "INPUT", "onfocusout", "\"a\"\r\nb", "");
    QCOMPARE(readScript(e.session.g.gTempFile)->size(), 1); // on disk at once
    e.session.g.gMode = Mode::Check;
    e.doc.AppendScriptLine("Special", "Back", "", "", "", "");
    QCOMPARE(bytesOf(e.session.g.gTempFile),
             QByteArrayLiteral("\"Web\",\"q\",\"INPUT\",\"onfocusout\",\"\x01"
                               "a\x01\0b\",\"\"\r\n")
                 + kBack);
    // The display shows the values as passed.
    QCOMPARE(e.events(), QStringLiteral("q,onfocusout,\"a\"\nb,\nBack,,,\n"));

    // A working copy that cannot be written: one message per spell of
    // failures, the steps still listed.
    const QString folder = e.f.root() + QStringLiteral("/gone");
    e.session.g.gTempFile = folder + QStringLiteral("/tarn_a_s.csv");
    e.d.expect(QStringLiteral("message"));
    e.doc.AppendScriptLine("Web", "a", "A", "onclick", "1", "");
    e.doc.AppendScriptLine("Web", "b", "A", "onclick", "2", "");
    QCOMPARE(e.d.shown.size(), 1);
    QVERIFY(e.d.shown[0].startsWith(QStringLiteral("message|Kestrel|The step could not be stored")));
    QVERIFY(e.events().endsWith(QStringLiteral("a,onclick,1,\nb,onclick,2,\n")));
    QDir().mkpath(folder);
    e.doc.AppendScriptLine("Web", "c", "A", "onclick", "3", "");
    QDir(folder).removeRecursively();
    e.d.expect(QStringLiteral("message"));
    e.doc.AppendScriptLine("Web", "d", "A", "onclick", "4", "");
    QCOMPARE(e.d.shown.size(), 2);
}

void TestScript::readerGrammarAndBadInput()
{
    const QList<QPair<QString, QList<ScriptLine>>> cases = {
        {QStringLiteral("Web,  q ,INPUT,\tonclick, 900,x"), {L("Web", "q ", "INPUT", "onclick", "900", "x")}},
        // Text after a closing quote is ignored; quotes hold commas and line ends.
        {QStringLiteral("\"W\"junk,\"a\" \"b\",\"A\"x\"y,\"1,\r\n2\n3\r4\"\r\nx"),
         {L("W", "a", "A", "1,\r\n2\n3\r4"), L("x")}},
        {QStringLiteral("a,b\nc,d\r\ne,f\rg,h"), {L("a", "b"), L("c", "d"), L("e", "f"), L("g", "h")}},
        // Short records are padded and do not shift the next; extra fields go.
        {QStringLiteral("\"Special\"\r\n1,2,3,4,5\r\n1,2,3,4,5,6,7\r\n") + QStringLiteral("x,").repeated(29)
             + QStringLiteral("y\r\n,,\"\",,\r\nlast"),
         {L("Special"), L("1", "2", "3", "4", "5"), L("1", "2", "3", "4", "5", "6"),
          L("x", "x", "x", "x", "x", "x"), L(""), L("last")}},
        {QStringLiteral("\r\n  \r\na\r\n\n\t\nb\r\n\r\n"), {L("a"), L("b")}},
        {QString(), {}},
        {QStringLiteral("\r\n\r\n \n\r"), {}},
        {QStringLiteral("\"Web\",\"a\"\r\n\"Special\",\"open\r\nstill,open"),
         {L("Web", "a"), L("Special", "open\r\nstill,open")}},
        {QStringLiteral("\"W\0b\",\"o\x01\",\"\x02\",\"\0\""),
         {L(QStringLiteral("W\0b"), QStringLiteral("o\x01"), QStringLiteral("\x02"), QStringLiteral("\0"))}},
    };
    TestFolders f;
    const QString file = f.scripts() + QStringLiteral("/stream.csv");
    for (const auto &c : cases) {
        QCOMPARE(parseScript(c.first), QVector<ScriptLine>(c.second.begin(), c.second.end()));
        // The player's reader, which holds one record at a time, reads the same.
        writeBytes(file, c.first.toUtf8());
        QCOMPARE(streamed(file), parseScript(c.first));
    }
    // Also on bytes that are no script at all, in pieces of every size.
    QRandomGenerator random(7);
    for (int round = 0; round < 20; ++round) {
        QByteArray bytes(int(random.bounded(1, 20000)), Qt::Uninitialized);
        for (char &b : bytes)
            b = "\"\",\r\n \xC3\xA9\xEF\xBB\xBFx"[random.bounded(12)];
        writeBytes(file, bytes);
        const QVector<ScriptLine> all = parseScriptBytes(bytes);
        QCOMPARE(streamed(file), all);
        // The player's cursor, asked in any order, reads what a fresh read does.
        ScriptCursor cursor;
        for (int i = 0; i < 30; ++i) {
            const int n = int(random.bounded(all.size() + 2));
            const ScriptRecordAt at = cursor.recordAt(file, n);
            QCOMPARE(at.record, n < 1 || all.isEmpty()
                                    ? std::nullopt
                                    : std::optional(all[std::min<int>(n, all.size()) - 1]));
            QCOMPARE(at.more, n >= 1 && n < all.size());
        }
    }
    // An unchanged file is not read again: a tick parses its record and the
    // next. An edit, also one to an earlier record, is read from the start.
    QByteArray many;
    for (int i = 1; i <= 3000; ++i)
        many += "Web,b" + QByteArray::number(i) + (i % 7 ? "\r\n" : "\r"); // CR: records share a line
    writeBytes(file, many);
    QFile aged(file); // a file just written is read again until it is older
    QVERIFY(aged.open(QIODevice::ReadWrite)
            && aged.setFileTime(QDateTime::currentDateTime().addSecs(-60),
                                QFileDevice::FileModificationTime));
    aged.close();
    ScriptCursor cursor;
    QCOMPARE(cursor.recordAt(file, 2000).record->Object, QStringLiteral("b2000"));
    for (int n = 2001; n < 2020; ++n) {
        const qint64 before = cursor.parsedRecords();
        QCOMPARE(cursor.recordAt(file, n).record->Object, QStringLiteral("b%1").arg(n));
        QVERIFY(cursor.parsedRecords() - before <= 2);
    }
    writeBytes(file, many.replace("b10\r", "c10\r"));
    QCOMPARE(cursor.recordAt(file, 10).record->Object, QStringLiteral("c10"));
    QVERIFY(cursor.recordAt(file, 11).more);
    writeBytes(file, "Web,only\r\n");
    const ScriptRecordAt shortened = cursor.recordAt(file, 12);
    QVERIFY(shortened.record->Object == QStringLiteral("only") && !shortened.more);
    // A file without records is readable; a folder is not.
    writeBytes(file, "\r\n");
    QVERIFY(ScriptCursor().recordAt(file, 1).readable && !ScriptCursor().recordAt(file, 1).record);
    QVERIFY(!ScriptCursor().recordAt(f.scripts(), 1).readable);

    // UTF-8, with a byte-order mark dropped at the start only; lines that are
    // not UTF-8 are Windows-1252, also in a working copy that mixes both.
    QCOMPARE(parseScriptBytes("\xEF\xBB\xBF" "a,caf\xC3\xA9\r\n\xEF\xBB\xBF" "b"),
             QVector<ScriptLine>({L("a", "café"), L(QStringLiteral("\uFEFFb"))}));
    QCOMPARE(parseScriptBytes("\"\xE9t\xE9 \x80\",\"\x93x\x94\"\r\n\"\xC3\xA9t\xC3\xA9\"\r\n"
                              "\"multi\nl\xE9ne\"\r\na,\xC3\xA9\xC3"),
             QVector<ScriptLine>({L("été €", "“x”"), L("été"), L("multi\nléne"), L("a", "Ã©Ã")}));

    // Files: missing, a folder, blanks and non-ASCII without extension, 10 MB.
    QVERIFY(!readScript(f.scripts() + QStringLiteral("/none.csv")));
    QVERIFY(!readScript(f.scripts()));
    const QString path = f.scripts() + QStringLiteral("/mein Prüfskript");
    const QString big(10 * 1024 * 1024, QLatin1Char('x'));
    QVERIFY(appendScriptFileLine(path, L("Web", "o", "INPUT", "onfocusout", big)));
    QVERIFY(appendScriptFileLine(path, L("Special", "Back")));
    auto read = readScript(path);
    QVERIFY(read->size() == 2 && read->at(0).Value == big && read->at(1).Object == "Back");
    QCOMPARE(streamed(path), *read);
    writeBytes(path, "\"Web\",\"" + big.toLatin1());
    read = readScript(path);
    QVERIFY(read->size() == 1 && read->at(0).Object == big);
    QCOMPARE(streamed(path), *read);
    // Whether a file holds anything the player knows.
    QVERIFY(!holdsKnownStep(path + QStringLiteral("-missing")));
    writeBytes(path, "Note,a\r\n\"web \",b\r\n");
    QVERIFY(!holdsKnownStep(path));
    writeBytes(path, "Note,a\r\nsPeCiAl,Back\r\n");
    QVERIFY(holdsKnownStep(path));

    // Type and the special commands ignore letter case.
    QCOMPARE(lineType(L("wEB")), LineType::Web);
    QCOMPARE(lineType(L("SPECIAL")), LineType::Special);
    QCOMPARE(lineType(L(" check")), LineType::Other);
    QCOMPARE(specialCommand(L("Special", "MouseDown")), SpecialCommand::MouseDown);
    QCOMPARE(specialCommand(L("Special", "", "", "REFRESH")), SpecialCommand::Refresh);
    QCOMPARE(specialCommand(L("Special", "Reload")), SpecialCommand::Other);
}

void TestScript::openListsAndNamesLog()
{
    Env e;
    const QString script = e.path(QStringLiteral("login.csv"));
    writeBytes(script, QByteArrayLiteral("\"Special\",\"URL\",\"\",\"\",\"http://h/a.htm\",\"\"\r\n"
                                         "\"Web\",\"<b class=\x01x\x01>\",\"A\",\"onclick\",\"(JS)\",\"\"\r\n"
                                         "\"Web\",\"q\",\"INPUT\",\"onfocusout\",\"\x01hi\x01\0x\",\"\"\r\n"
                                         "\"Web\",\"country\",\"SELECT\",\"onclick\",\"2\""));
    e.session.g.gMode = Mode::Record;
    e.d.expect(QStringLiteral("open"), QString()); // cancelled: nothing changes
    e.doc.Open_File(QString());
    QCOMPARE(e.d.shown.last(), QStringLiteral("open|") + e.f.scripts() + QStringLiteral("|"));
    QVERIFY(e.session.g.gFile.isEmpty() && !QFile::exists(e.session.g.gTempFile));

    e.d.expect(QStringLiteral("open"), script);
    e.doc.Open_File(QString());
    QCOMPARE(e.session.g.gFile, script);
    QCOMPARE(e.session.scriptName, QStringLiteral("/login"));
    QCOMPARE(e.session.g.gLogFile, e.f.logs() + QStringLiteral("/login_2005-12-09-143005.log"));
    QVERIFY(!QFile::exists(e.session.g.gLogFile));
    QCOMPARE(bytesOf(e.session.g.gTempFile), bytesOf(script));
    QCOMPARE(e.caption, QStringLiteral("Tarn Kestrel - ") + script);
    QCOMPARE(e.events(), QStringLiteral("URL,,http://h/a.htm,\n<b class=\"x\">,onclick,(JS),\n"
                                        "q,onfocusout,\u2401hi\u2401\u2400x,\ncountry,onclick,2,\n"));
    QCOMPARE(e.session.g.gMode, Mode::Record);

    // Open again: the script is preset, the log gets a new name.
    ScriptClock::now = [] { return kOpenTime.addSecs(65); };
    e.d.expect(QStringLiteral("open"), script);
    e.doc.Open_File(QString());
    QCOMPARE(e.d.shown.last(), QStringLiteral("open|") + e.f.scripts() + QLatin1Char('|') + script);
    QCOMPARE(e.session.g.gLogFile, e.f.logs() + QStringLiteral("/login_2005-12-09-143110.log"));

    const std::pair<QString, QString> opened[] = {{"plain", "/plain"}, {"my.test.csv", "/my.test"},
        {"Prüfung mit Leerzeichen.txt", "/Prüfung mit Leerzeichen"}};
    for (const auto &[name, base] : opened) {
        writeBytes(e.path(name), kBack);
        e.doc.Open_File(e.path(name));
        QCOMPARE(e.session.scriptName, base);
        QCOMPARE(e.session.g.gLogFile, e.f.logs() + base + QStringLiteral("_2005-12-09-143110.log"));
        QCOMPARE(e.events(), QStringLiteral("Back,,,\n"));
    }
    writeBytes(script, QByteArray());
    e.doc.Open_File(script);
    QVERIFY(bytesOf(e.session.g.gTempFile).isEmpty() && e.events().isEmpty());

    // A script of megabytes is copied whole but listed only as far as a
    // person reads, saying how much is left out.
    const QByteArray many = QByteArray("\"Note\",\"n\",\"\",\"\",\"") + QByteArray(200, 'z')
                            + "\",\"\"\r\n";
    writeBytes(script, many.repeated(20000));
    e.doc.Open_File(script);
    QCOMPARE(bytesOf(e.session.g.gTempFile).size(), many.size() * 20000);
    QVERIFY(e.events().size() < 1200 * 1000);
    QVERIFY(e.events().startsWith(QStringLiteral("n,,") + QString(200, QLatin1Char('z'))));
    QVERIFY(e.events().endsWith(QStringLiteral(" of the script's 20000 lines are not listed here\n")));
    QVERIFY(e.d.unexpected.isEmpty());
}

void TestScript::saveSaveAsAndNew()
{
    Env e;
    e.session.g.gMode = Mode::Record;
    e.doc.AppendScriptLine("Web", "a", "A", "onclick", "x\r\ny", "");
    const QByteArray recorded = bytesOf(e.session.g.gTempFile);
    const QString title = e.caption;
    e.d.expect(QStringLiteral("save"), QString()); // no script yet: asks; cancel
    e.doc.SaveFile(false);
    QCOMPARE(e.d.shown.last(), QStringLiteral("save|") + e.f.scripts() + QStringLiteral("|"));
    QCOMPARE(e.session.g.gFile, QString());

    const QString plain = e.path(QStringLiteral("plain name")); // used as it is
    e.d.expect(QStringLiteral("save"), plain);
    e.doc.SaveFile(false);
    QCOMPARE(e.session.g.gFile, plain);
    QCOMPARE(bytesOf(plain), recorded);
    QCOMPARE(e.caption, title);
    QCOMPARE(e.session.g.gLogFile, QString());

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
    writeBytes(other, "keep me");
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
    QVERIFY(e.d.allAnswered() && e.d.unexpected.isEmpty());

    // New discards the working copy and forgets the script and its log.
    e.session.g.gLogFile = QStringLiteral("/logs/login_x.log");
    const int asked = e.d.shown.size();
    e.doc.mnuFileNew_Click();
    QVERIFY(!QFile::exists(e.session.g.gTempFile));
    QCOMPARE(e.session.g.gFile, QString());
    QCOMPARE(e.session.g.gMode, Mode::Idle);
    QCOMPARE(e.caption, QStringLiteral("Tarn Kestrel"));
    QCOMPARE(e.events(), QString());
    QCOMPARE(e.renewals, 1);
    e.doc.mnuFileNew_Click(); // no working copy: nothing to complain about
    QCOMPARE(e.d.shown.size(), asked);
    QCOMPARE(e.session.g.gLogFile, QString());
}

void TestScript::fileFailuresChangeNothing()
{
    Env e;
    const QString script = e.path(QStringLiteral("good.csv"));
    writeBytes(script, kBack);
    // Nothing recorded since start-up: Save and Save as say so, ask nothing.
    e.session.g.gFile = script;
    e.d.expect(QStringLiteral("message"));
    e.doc.SaveFile(false);
    e.d.expect(QStringLiteral("message"));
    e.doc.SaveFile(true);
    QCOMPARE(e.d.shown.size(), 2);
    QVERIFY(e.d.shown.last().startsWith(QStringLiteral("message|Kestrel|Nothing has been recorded")));

    e.doc.Open_File(script);
    const Globals before = e.session.g;
    ScriptClock::now = [] { return kOpenTime.addDays(1); };
    auto unchanged = [&] {
        QCOMPARE(e.session.g.gFile, script);
        QCOMPARE(e.session.g.gLogFile, before.gLogFile);
        QCOMPARE(e.session.scriptName, QStringLiteral("/good"));
        QCOMPARE(bytesOf(before.gTempFile), kBack);
        QCOMPARE(e.caption, QStringLiteral("Tarn Kestrel - ") + script);
        QCOMPARE(e.events(), QStringLiteral("Back,,,\n"));
    };
    for (const QString &bad : {e.path(QStringLiteral("missing.csv")), e.f.scripts()}) {
        e.d.expect(QStringLiteral("open"), bad);
        e.d.expect(QStringLiteral("message"));
        e.doc.Open_File(QString());
        QVERIFY(e.d.shown.last().startsWith(QStringLiteral("message|Kestrel|The script ") + bad
                                            + QStringLiteral(" cannot be opened: ")));
        unchanged();
    }
    // Save as into a missing folder or onto a folder.
    for (const QString &bad : {e.f.root() + QStringLiteral("/no/such.csv"), e.f.scripts()}) {
        e.d.expect(QStringLiteral("save"), bad);
        e.d.expect(QStringLiteral("message"));
        e.doc.SaveFile(true);
        QVERIFY(e.d.shown.last().startsWith(QStringLiteral("message|Kestrel|The script could not "
                                                           "be saved as ") + bad));
        unchanged();
    }
    // The working copy's folder has gone: Open cannot copy.
    writeBytes(e.path(QStringLiteral("plain")), "x\r\n");
    e.session.g.gTempFile = e.f.root() + QStringLiteral("/gone/tarn_a_s.csv");
    e.d.expect(QStringLiteral("message"));
    e.doc.Open_File(e.path(QStringLiteral("plain")));
    e.session.g.gTempFile = before.gTempFile;
    unchanged();
    QVERIFY(e.d.allAnswered() && e.d.unexpected.isEmpty());
}

void TestScript::logEntriesWindowAndFile()
{
    QCOMPARE(logEntry(0, QString()), QStringLiteral("Step: 0, =>")); // the rest in the logs below

    Env e;
    e.log.WriteLog(1, QStringLiteral("passed\r\n")); // no script: window only
    QCOMPARE(e.logText, QStringLiteral("Step: 1, =>passed\r\n"));
    QVERIFY(QDir(e.f.logs()).isEmpty());

    const QString script = e.path(QStringLiteral("login.csv"));
    writeBytes(script, kBack);
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
    ScriptClock::now = [] { return kOpenTime.addSecs(1); };
    e.doc.Open_File(script); // a new Open starts a new file
    e.log.WriteLog(-1, QStringLiteral(" **** TEST COMPLETE - PASSED ****"));
    QCOMPARE(bytesOf(e.f.logs() + QStringLiteral("/login_2005-12-09-143006.log")),
             QByteArray("Step:-1, => **** TEST COMPLETE - PASSED ****\r\n"));

    // Another Kestrel, started in the same second with the same script, has
    // its log already: this one writes to a file of its own beside it.
    const QString theirs = e.f.logs() + QStringLiteral("/login_2005-12-09-143007.log");
    writeBytes(theirs, "theirs\r\n");
    ScriptClock::now = [] { return kOpenTime.addSecs(2); };
    e.doc.Open_File(script);
    e.log.WriteLog(1, QStringLiteral("mine\r\n"));
    e.log.WriteLog(2, QStringLiteral("mine\r\n"));
    QCOMPARE(bytesOf(theirs), QByteArray("theirs\r\n"));
    QCOMPARE(e.session.g.gLogFile, e.f.logs() + QStringLiteral("/login_2005-12-09-143007_2.log"));
    QCOMPARE(bytesOf(e.session.g.gLogFile),
             QByteArray("Step: 1, =>mine\r\n\r\nStep: 2, =>mine\r\n\r\n"));

    // A log file that cannot be written: noted once per run, never a dialog.
    e.session.g.gLogFile = e.f.root() + QStringLiteral("/no such folder/x.log");
    e.logText.clear();
    for (int run = 0; run < 2; ++run) {
        e.log.beginRun();
        e.log.WriteLog(1, QStringLiteral("Type=Special....."));
        e.log.WriteLog(1, QStringLiteral("passed\r\n"));
        e.log.WriteLog(2, QStringLiteral("failed\r\n"));
    }
    const QStringList lines = e.logText.split(QStringLiteral("\r\n"));
    QCOMPARE(lines.size(), 9);
    for (int i : {0, 4}) {
        QCOMPARE(lines[i], QStringLiteral("Step: 1, =>Type=Special....."));
        QVERIFY(
            lines[i + 1].startsWith(QStringLiteral("!!!!! The log file ") + e.session.g.gLogFile));
        QCOMPARE(lines[i + 2], QStringLiteral("Step: 1, =>passed"));
        QCOMPARE(lines[i + 3], QStringLiteral("Step: 2, =>failed"));
    }
    QVERIFY(e.d.shown.isEmpty());
}

QTEST_GUILESS_MAIN(TestScript)
#include "test_script.moc"
