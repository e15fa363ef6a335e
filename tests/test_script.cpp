#include "TestEnv.h"
#include "ScriptedDialogs.h"

#include "app/Kestrel.h"
#include "script/PlaybackLog.h"
#include "script/ScriptFiles.h"
#include "script/ScriptReader.h"
#include "script/ScriptWriter.h"
#include "settings/Settings.h"
#include "ui/FrmLog.h"
#include "ui/FrmTestTrapEvents.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <climits>

class TestScript : public QObject
{
    Q_OBJECT
public:
    static void initMain() { initTestEnvironment(); }

private slots:
    void init();
    void cleanup();
    void encodingRoundTrips();
    void writerModeFilterAndDisplay();
    void workingCopyFailureReportedOnce();
    void readerGrammar();
    void readerBadInputs();
    void eightBitFallback();
    void typeAndCommandIgnoreCase();
    void newDiscardsWorkingCopy();
    void openListsAndNamesLog();
    void openFailuresChangeNothing();
    void saveAndSaveAs();
    void saveFailuresChangeNothing();
    void logEntriesWindowAndFile();
    void logFileFailureNotedOncePerRun();

private:
    // A real main window over fresh folders; gTempFile lies in f->temp().
    struct Env
    {
        TestFolders f;
        ScriptedDialogs d;
        Kestrel k{d};
        FrmTestTrapEvents win{k};
        Env()
        {
            f.writeSettings();
            LoadSettings(k.g);
        }
        QString events() const { return win.eventsText(); }
    };
};

namespace {
QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
}

// A text box keeps CR LF as one line break.
QString asShown(QString text)
{
    return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

ScriptLine L(const char *a, const char *b = "", const char *c = "", const char *d = "",
             const char *e = "", const char *f = "")
{
    return {QString::fromUtf8(a), QString::fromUtf8(b), QString::fromUtf8(c),
            QString::fromUtf8(d), QString::fromUtf8(e), QString::fromUtf8(f)};
}

const QDateTime kOpenTime(QDate(2005, 12, 9), QTime(14, 30, 5));
} // namespace

void TestScript::init()
{
    ScriptClock::now = [] { return kOpenTime; };
}

void TestScript::cleanup()
{
    ScriptClock::now = [] { return QDateTime::currentDateTime(); };
}

void TestScript::encodingRoundTrips()
{
    // The stored form of Value: CR LF first to byte 0, then quotes to byte 1.
    QCOMPARE(fileForm(L("Web", "q", "INPUT", "onfocusout", "\"a\"\r\nb", "")),
             QStringLiteral("\"Web\",\"q\",\"INPUT\",\"onfocusout\",\"\x01"
                            "a\x01\0b\",\"\"\r\n"));
    QCOMPARE(fileForm(L("Special", "Back")).toUtf8(),
             QByteArray("\"Special\",\"Back\",\"\",\"\",\"\",\"\"\r\n"));
    // Lone line breaks are no CR LF and stay; so does LF CR.
    QCOMPARE(encodeField(QStringLiteral("a\rb\nc\n\rd")), QStringLiteral("a\rb\nc\n\rd"));

    const QList<ScriptLine> hostile = {
        L("Web", "<b class=\"x\">Next</b>", "A", "onclick", "orders/list.htm"),
        L("Web", "line\r\nbreak \"both\"", "A", "onclick", "(JS)"),
        L("Web", "q", "INPUT", "onfocusout", "say \"hi\"\r\nthen\r\n\r\n\"bye\""),
        L("Web", "lone", "INPUT", "onfocusout", "cr\ronly", "lf\nonly"),
        L("Web", "comma,in,object", "INPUT", "onclick", "1,2,3", ",,"),
        L("Check", "Größe €", "TD", "check", "日本語 😀", "ñ"),
        L("Special", "mousedown", "", "", " 900", "-600"),
        L("", "", "", "", "", ""),
        L("  blank start", "trailing  ", " ", "\t", "end\r\n", "\r\n"),
        L("Web", "\"", "\"\"", "\r\n\"", "\"\r", "\n\""),
    };
    TestFolders f;
    const QString path = f.scripts() + QStringLiteral("/round trip.csv");
    QString text;
    for (const ScriptLine &line : hostile) {
        QString error;
        QVERIFY2(appendScriptFileLine(path, line, &error), qPrintable(error));
        text += fileForm(line);
    }
    QCOMPARE(fileBytes(path), text.toUtf8());
    const auto read = readScript(path);
    QVERIFY(read);
    QCOMPARE(read->size(), hostile.size());
    for (int i = 0; i < hostile.size(); ++i) {
        QCOMPARE(read->at(i).decoded(), hostile[i]);
        QCOMPARE(readScriptRecord(path, i + 1)->decoded(), hostile[i]);
    }
    QVERIFY(!readScriptRecord(path, 0));
    QVERIFY(!readScriptRecord(path, hostile.size() + 1));

    // Old scripts stored Object raw; their quote-free fields read the same.
    const auto old = parseScript(QStringLiteral(
        "\"Web\",\"a\r\nb\",\"A\",\"onclick\",\"x\x01y\0z\",\"\"\r\n"));
    QCOMPARE(old.size(), 1);
    QCOMPARE(old[0].decoded(), L("Web", "a\r\nb", "A", "onclick", "x\"y\r\nz", ""));
}

void TestScript::writerModeFilterAndDisplay()
{
    Env e;
    for (const char *mode : {"", "play", "Manual step", "manual", "Record", "check "}) {
        e.k.g.gMode = QString::fromLatin1(mode);
        AppendScriptLine(e.k, "Web", "q", "INPUT", "onclick", "x", "");
    }
    QVERIFY(!QFile::exists(e.k.g.gTempFile));
    QCOMPARE(e.events(), QString());

    e.k.g.gMode = QStringLiteral("record");
    AppendScriptLine(e.k, "Web", "q", "INPUT", "onfocusout", "\"a\"\r\nb", "");
    // Each line is on disk as soon as the call returns.
    QCOMPARE(readScript(e.k.g.gTempFile)->size(), 1);
    e.k.g.gMode = QStringLiteral("check");
    AppendScriptLine(e.k, "Special", "Back", "", "", "", "");
    AppendScriptLine(e.k, "Check", "<b class=\"x\">", "TD", "check", "42.50", "");
    QCOMPARE(fileBytes(e.k.g.gTempFile),
             QByteArrayLiteral("\"Web\",\"q\",\"INPUT\",\"onfocusout\",\"\x01" "a\x01\0b\",\"\"\r\n")
                 + "\"Special\",\"Back\",\"\",\"\",\"\",\"\"\r\n"
                   "\"Check\",\"<b class=\x01x\x01>\",\"TD\",\"check\",\"42.50\",\"\"\r\n");
    // The display shows what was passed, unencoded.
    QCOMPARE(e.events(), asShown(QStringLiteral("q,onfocusout,\"a\"\r\nb,\r\nBack,,,\r\n"
                                                "<b class=\"x\">,check,42.50,\r\n")));
    QVERIFY(e.d.shown.isEmpty());
}

void TestScript::workingCopyFailureReportedOnce()
{
    Env e;
    e.k.g.gTempFile = e.f.root() + QStringLiteral("/gone/tarn_a_s.csv");
    e.k.g.gMode = QStringLiteral("record");
    e.d.expect(QStringLiteral("message"));
    AppendScriptLine(e.k, "Web", "a", "A", "onclick", "1", "");
    AppendScriptLine(e.k, "Web", "b", "A", "onclick", "2", "");
    QCOMPARE(e.d.shown.size(), 1);
    QVERIFY(e.d.shown[0].startsWith(QStringLiteral("message|Kestrel|The step could not be stored")));
    QVERIFY(e.d.allAnswered());
    // The tester still sees what was done.
    QCOMPARE(e.events(), QStringLiteral("a,onclick,1,\nb,onclick,2,\n"));

    // Once lines are stored again, a new failure is reported again.
    QDir().mkpath(e.f.root() + QStringLiteral("/gone"));
    AppendScriptLine(e.k, "Web", "c", "A", "onclick", "3", "");
    QCOMPARE(readScript(e.k.g.gTempFile)->size(), 1);
    QDir(e.f.root() + QStringLiteral("/gone")).removeRecursively();
    e.d.expect(QStringLiteral("message"));
    AppendScriptLine(e.k, "Web", "d", "A", "onclick", "4", "");
    QCOMPARE(e.d.shown.size(), 2);
}

void TestScript::readerGrammar()
{
    struct Case
    {
        const char *name;
        QString text;
        QList<ScriptLine> records;
    };
    const QList<Case> cases = {
        {"unquoted, blanks before skipped",
         QStringLiteral("Web,  q ,INPUT,\tonclick, 900,x\r\n"),
         {L("Web", "q ", "INPUT", "onclick", "900", "x")}},
        {"text after closing quote ignored",
         QStringLiteral("\"Web\"junk,\"a\" \"b\",\"A\"x\"y,\"m\",\"v\",\"w\"tail\r\n"),
         {L("Web", "a", "A", "m", "v", "w")}},
        {"commas and line ends inside quotes",
         QStringLiteral("\"Web\",\"a,b\",\"A\",\"onclick\",\"1\r\n2\n3\r4\",\"\"\r\n\"x\"\r\n"),
         {L("Web", "a,b", "A", "onclick", "1\r\n2\n3\r4", ""), L("x")}},
        {"LF, CR LF and CR line ends, no final one",
         QStringLiteral("a,b\nc,d\r\ne,f\rg,h"),
         {L("a", "b"), L("c", "d"), L("e", "f"), L("g", "h")}},
        {"short records padded, later ones not shifted",
         QStringLiteral("\"Special\"\r\n\"Web\",\"a\",\"A\",\"onclick\",\"v\"\r\n"
                        "\"Special\",\"Back\",\"\",\"\",\"\",\"\"\r\n"),
         {L("Special"), L("Web", "a", "A", "onclick", "v"), L("Special", "Back")}},
        {"fields after the sixth ignored",
         QStringLiteral("1,2,3,4,5,6,7\r\n") + QStringLiteral("x,").repeated(29)
             + QStringLiteral("y\r\nlast\r\n"),
         {L("1", "2", "3", "4", "5", "6"), L("x", "x", "x", "x", "x", "x"), L("last")}},
        {"empty fields and trailing comma",
         QStringLiteral(",,\"\",,\r\n\"a\",\r\n"),
         {L(""), L("a")}},
        {"blank lines hold no record",
         QStringLiteral("\r\n  \r\na\r\n\n\t\nb\r\n\r\n"),
         {L("a"), L("b")}},
        {"empty file", QString(), {}},
        {"only blank lines", QStringLiteral("\r\n\r\n \n\r"), {}},
        {"quote left open runs to the end",
         QStringLiteral("\"Web\",\"a\"\r\n\"Special\",\"open\r\nstill,open"),
         {L("Web", "a"), L("Special", "open\r\nstill,open")}},
        {"NUL and control bytes outside Value",
         QStringLiteral("\"W\0b\",\"o\x01\",\"\x02\",\"\0\",\"v\",\"\"\r\n"),
         {{QStringLiteral("W\0b"), QStringLiteral("o\x01"), QStringLiteral("\x02"),
           QStringLiteral("\0"), QStringLiteral("v"), QString()}}},
    };
    for (const Case &c : cases) {
        const QVector<ScriptLine> got = parseScript(c.text);
        QVERIFY2(got == QVector<ScriptLine>(c.records.begin(), c.records.end()), c.name);
    }
    // A byte-order mark is dropped at the very start only.
    QCOMPARE(parseScriptBytes("\xEF\xBB\xBF" "a,b\r\n"), QVector<ScriptLine>{L("a", "b")});
    QCOMPARE(parseScriptBytes("a\r\n\xEF\xBB\xBF" "b")[1].Type, QStringLiteral("\uFEFFb"));
}

void TestScript::readerBadInputs()
{
    TestFolders f;
    // Missing file, a folder, a path with blanks and non-ASCII, no extension.
    QVERIFY(!readScript(f.scripts() + QStringLiteral("/none.csv")));
    QVERIFY(!readScript(f.scripts()));
    const QString odd = f.scripts() + QStringLiteral("/mein Prüfskript");
    writeBytes(odd, "\"Special\",\"URL\",\"\",\"\",\"http://x/\",\"\"");
    QCOMPARE(readScript(odd)->size(), 1);
    QCOMPARE(readScript(odd)->at(0).Value, QStringLiteral("http://x/"));

    // A 10 MB field, and an unterminated one of the same size.
    const QString big(10 * 1024 * 1024, QLatin1Char('x'));
    const QString path = f.scripts() + QStringLiteral("/big.csv");
    QString error;
    QVERIFY(appendScriptFileLine(path, {"Web", "o", "INPUT", "onfocusout", big, ""}, &error));
    QVERIFY(appendScriptFileLine(path, {"Special", "Back", "", "", "", ""}, &error));
    auto read = readScript(path);
    QCOMPARE(read->size(), 2);
    QVERIFY(read->at(0).Value == big);
    QCOMPARE(read->at(1).Object, QStringLiteral("Back"));
    writeBytes(path, "\"Web\",\"" + big.toLatin1());
    read = readScript(path);
    QCOMPARE(read->size(), 1);
    QCOMPARE(read->at(0).Object.size(), big.size());
}

void TestScript::eightBitFallback()
{
    // Windows-1252: é, the euro sign, curly quotes; 0x81 has no character.
    QCOMPARE(parseScriptBytes("\"Web\",\"caf\xE9 \x80\",\"A\",\"onclick\",\"\x93x\x94\",\"\"\r\n")[0],
             L("Web", "café €", "A", "onclick", "“x”", ""));
    QCOMPARE(parseScriptBytes("a,\xE9\x81\r\n")[0].Object.size(), 2);
    // A character cut off at the end of the file is not lost.
    QCOMPARE(parseScriptBytes("a,\xC3\xA9\xC3")[0].Object, QStringLiteral("Ã©Ã"));
    // Valid UTF-8 stays UTF-8.
    QCOMPARE(parseScriptBytes("\"Web\",\"caf\xC3\xA9\"\r\n")[0].Object, QStringLiteral("café"));
    // A working copy of an old script with new lines appended reads both right.
    const auto mixed = parseScriptBytes("\"a\",\"\xE9t\xE9\"\r\n\"b\",\"\xC3\xA9t\xC3\xA9\"\r\n"
                                        "\"c\",\"multi\nl\xE9ne\"\r\n");
    QCOMPARE(mixed.size(), 3);
    QCOMPARE(mixed[0].Object, QStringLiteral("été"));
    QCOMPARE(mixed[1].Object, QStringLiteral("été"));
    QCOMPARE(mixed[2].Object, QStringLiteral("multi\nléne"));
}

void TestScript::typeAndCommandIgnoreCase()
{
    QCOMPARE(lineType(L("wEB")), LineType::Web);
    QCOMPARE(lineType(L("SPECIAL")), LineType::Special);
    QCOMPARE(lineType(L("Check")), LineType::Check);
    QCOMPARE(lineType(L("Webs")), LineType::Other);
    QCOMPARE(lineType(L(" web")), LineType::Other);
    QCOMPARE(specialCommand(L("Special", "uRl")), SpecialCommand::URL);
    QCOMPARE(specialCommand(L("Special", "BACK")), SpecialCommand::Back);
    QCOMPARE(specialCommand(L("Special", "Close")), SpecialCommand::Close);
    QCOMPARE(specialCommand(L("Special", "manual")), SpecialCommand::Manual);
    QCOMPARE(specialCommand(L("Special", "SnapShot")), SpecialCommand::Snapshot);
    QCOMPARE(specialCommand(L("Special", "MouseDown")), SpecialCommand::MouseDown);
    QCOMPARE(specialCommand(L("Special", "", "", "REFRESH")), SpecialCommand::Refresh);
    QCOMPARE(specialCommand(L("Special", "Reload")), SpecialCommand::Other);
    QVERIFY(sameText(QStringLiteral("ÉTÉ"), QStringLiteral("été")));
}

void TestScript::newDiscardsWorkingCopy()
{
    Env e;
    e.k.g.gFile = e.f.scripts() + QStringLiteral("/login.csv");
    e.k.g.gLogFile = e.f.logs() + QStringLiteral("/login_x.log");
    e.k.w.scriptName = QStringLiteral("/login");
    e.k.w.stepno = 4;
    e.k.g.gMode = QStringLiteral("record");
    AppendScriptLine(e.k, "Special", "Back", "", "", "", "");
    QVERIFY(QFile::exists(e.k.g.gTempFile));

    e.win.mnuFileNew->trigger();
    QVERIFY(!QFile::exists(e.k.g.gTempFile));
    QCOMPARE(e.k.g.gFile, QString());
    QCOMPARE(e.k.g.gMode, QString());
    QCOMPARE(e.win.windowTitle(), QStringLiteral("Tarn Kestrel"));
    QCOMPARE(e.events(), QString());
    QCOMPARE(e.win.CmdRecord->property("picture").toString(), QStringLiteral("record-off.bmp"));
    QCOMPARE(e.win.CmdPlay->property("picture").toString(), QStringLiteral("play-off.bmp"));
    // What New leaves alone.
    QCOMPARE(e.k.g.gLogFile, e.f.logs() + QStringLiteral("/login_x.log"));
    QCOMPARE(e.k.w.scriptName, QStringLiteral("/login"));
    QCOMPARE(e.k.w.stepno, 4);
    // Again, with no working copy: nothing to complain about.
    e.win.mnuFileNew->trigger();
    QVERIFY(e.d.shown.isEmpty());
}

void TestScript::openListsAndNamesLog()
{
    Env e;
    const QString script = e.f.scripts() + QStringLiteral("/login.csv");
    const QByteArray bytes = QByteArrayLiteral("\"Special\",\"URL\",\"\",\"\",\"http://127.0.0.1/a.htm\",\"\"\r\n"
                             "\"Web\",\"<b class=\x01x\x01>\",\"A\",\"onclick\",\"(JS)\",\"\"\r\n"
                             "\"Web\",\"q\",\"INPUT\",\"onfocusout\",\"\x01hi\x01\0x\",\"\"\r\n"
                             "\"Web\",\"country\",\"SELECT\",\"onclick\",\"2\"");
    writeBytes(script, bytes);
    e.k.g.gMode = QStringLiteral("record");
    e.k.w.stepno = 3;

    // Open from the menu, cancelled: nothing changes; the dialog starts in
    // the scripts folder, with no file preset while there is no script.
    e.d.expect(QStringLiteral("open"), QString());
    e.win.MnuFileOpen->trigger();
    QCOMPARE(e.d.shown.last(), QStringLiteral("open|") + e.f.scripts() + QStringLiteral("|"));
    QCOMPARE(e.k.g.gFile, QString());
    QVERIFY(!QFile::exists(e.k.g.gTempFile));

    e.d.expect(QStringLiteral("open"), script);
    e.win.MnuFileOpen->trigger();
    QVERIFY(e.d.allAnswered());
    QCOMPARE(e.k.g.gFile, script);
    QCOMPARE(e.k.w.scriptName, QStringLiteral("/login"));
    QCOMPARE(e.k.g.gLogFile, e.f.logs() + QStringLiteral("/login_2005-12-09-143005.log"));
    QVERIFY(!QFile::exists(e.k.g.gLogFile));
    QCOMPARE(fileBytes(e.k.g.gTempFile), fileBytes(script));
    QCOMPARE(e.win.windowTitle(), QStringLiteral("Tarn Kestrel - ") + script);
    // Values as stored, their control bytes visible; the short last line padded.
    QCOMPARE(e.events(), QStringLiteral("URL,,http://127.0.0.1/a.htm,\n"
                                        "<b class=\"x\">,onclick,(JS),\n"
                                        "q,onfocusout,\u2401hi\u2401\u2400x,\n"
                                        "country,onclick,2,\n"));
    // Mode and step counter are not Open's.
    QCOMPARE(e.k.g.gMode, QStringLiteral("record"));
    QCOMPARE(e.k.w.stepno, 3);

    // Opening again presets the current script and starts a new log name.
    ScriptClock::now = [] { return kOpenTime.addSecs(65); };
    e.d.expect(QStringLiteral("open"), script);
    e.win.MnuFileOpen->trigger();
    QCOMPARE(e.d.shown.last(),
             QStringLiteral("open|") + e.f.scripts() + QLatin1Char('|') + script);
    QCOMPARE(e.k.g.gLogFile, e.f.logs() + QStringLiteral("/login_2005-12-09-143110.log"));

    // Names without the usual extension, with blanks, with non-ASCII.
    const QStringList names = {QStringLiteral("plain"), QStringLiteral("my.test.csv"),
                               QStringLiteral("Prüfung mit Leerzeichen.txt")};
    const QStringList expected = {QStringLiteral("/plain"), QStringLiteral("/my.test"),
                                  QStringLiteral("/Prüfung mit Leerzeichen")};
    for (int i = 0; i < names.size(); ++i) {
        const QString p = e.f.scripts() + QLatin1Char('/') + names[i];
        writeBytes(p, "\"Special\",\"Back\",\"\",\"\",\"\",\"\"\r\n");
        e.k.Open_File(p);
        QCOMPARE(e.k.w.scriptName, expected[i]);
        QCOMPARE(e.k.g.gLogFile, e.f.logs() + expected[i] + QStringLiteral("_2005-12-09-143110.log"));
        QCOMPARE(e.events(), QStringLiteral("Back,,,\n"));
    }
    // An empty script opens to an empty list.
    writeBytes(script, QByteArray());
    e.k.Open_File(script);
    QCOMPARE(fileBytes(e.k.g.gTempFile), QByteArray());
    QCOMPARE(e.events(), QString());
    QVERIFY(e.d.unexpected.isEmpty());
}

void TestScript::openFailuresChangeNothing()
{
    Env e;
    const QString script = e.f.scripts() + QStringLiteral("/good.csv");
    writeBytes(script, "\"Special\",\"Back\",\"\",\"\",\"\",\"\"\r\n");
    e.k.Open_File(script);
    const QString log = e.k.g.gLogFile;
    const QByteArray working = fileBytes(e.k.g.gTempFile);
    ScriptClock::now = [] { return kOpenTime.addDays(1); };

    const QStringList bad = {e.f.scripts() + QStringLiteral("/missing.csv"), e.f.scripts()};
    for (const QString &path : bad) {
        e.d.expect(QStringLiteral("message"));
        e.d.expect(QStringLiteral("open"), path);
        e.d.expect(QStringLiteral("message"));
        e.k.Open_File(path);
        e.win.MnuFileOpen->trigger();
        QVERIFY(e.d.allAnswered());
        QVERIFY(e.d.shown.last().startsWith(QStringLiteral("message|Kestrel|The script ") + path
                                            + QStringLiteral(" cannot be opened: ")));
        QCOMPARE(e.k.g.gFile, script);
        QCOMPARE(e.k.g.gLogFile, log);
        QCOMPARE(e.k.w.scriptName, QStringLiteral("/good"));
        QCOMPARE(fileBytes(e.k.g.gTempFile), working);
        QCOMPARE(e.win.windowTitle(), QStringLiteral("Tarn Kestrel - ") + script);
        QCOMPARE(e.events(), QStringLiteral("Back,,,\n"));
    }

    // The working copy's folder has gone: the copy fails, nothing changes.
    const QString other = e.f.scripts() + QStringLiteral("/other.csv");
    writeBytes(other, "x\r\n");
    e.k.g.gTempFile = e.f.root() + QStringLiteral("/gone/tarn_a_s.csv");
    e.d.expect(QStringLiteral("message"));
    e.k.Open_File(other);
    QVERIFY(e.d.shown.last().contains(QStringLiteral("cannot be copied to the working copy")));
    QCOMPARE(e.k.g.gFile, script);
    QCOMPARE(e.k.g.gLogFile, log);
    QCOMPARE(e.events(), QStringLiteral("Back,,,\n"));
}

void TestScript::saveAndSaveAs()
{
    Env e;
    e.k.g.gMode = QStringLiteral("record");
    AppendScriptLine(e.k, "Web", "a", "A", "onclick", "x\r\ny", "");
    const QByteArray recorded = fileBytes(e.k.g.gTempFile);
    const QString title = e.win.windowTitle();

    // No script yet: Save asks for a name, in the scripts folder; cancel.
    e.d.expect(QStringLiteral("save"), QString());
    e.win.mnuSave->trigger();
    QCOMPARE(e.d.shown.last(), QStringLiteral("save|") + e.f.scripts() + QStringLiteral("|"));
    QCOMPARE(e.k.g.gFile, QString());

    // A name without extension is used as it is.
    const QString plain = e.f.scripts() + QStringLiteral("/plain name");
    e.d.expect(QStringLiteral("save"), plain);
    e.win.mnuSave->trigger();
    QCOMPARE(e.k.g.gFile, plain);
    QCOMPARE(fileBytes(plain), recorded);
    // Save leaves the caption and the log name alone.
    QCOMPARE(e.win.windowTitle(), title);
    QCOMPARE(e.k.g.gLogFile, QString());

    // Save with a script named writes at once, replacing it as a whole: a
    // reader holding the old file still sees the old text.
    AppendScriptLine(e.k, "Special", "Back", "", "", "", "");
    QFile old(plain);
    QVERIFY(old.open(QIODevice::ReadOnly));
    e.win.mnuSave->trigger();
    QCOMPARE(fileBytes(plain), fileBytes(e.k.g.gTempFile));
    QCOMPARE(old.readAll(), recorded);
    QCOMPARE(readScript(plain)->size(), 2);

    // Save as always asks, and asks before replacing a file.
    const QString other = e.f.scripts() + QStringLiteral("/other.csv");
    writeBytes(other, "keep me");
    e.d.expect(QStringLiteral("save"), other);
    e.d.expect(QStringLiteral("question"), QStringLiteral("no"));
    e.win.mnuSaveAs->trigger();
    QVERIFY(e.d.shown.last().startsWith(QStringLiteral("question|Kestrel|") + other
                                        + QStringLiteral(" already exists.")));
    QCOMPARE(fileBytes(other), QByteArray("keep me"));
    QCOMPARE(e.k.g.gFile, plain);
    e.d.expect(QStringLiteral("save"), other);
    e.d.expect(QStringLiteral("question"), QStringLiteral("yes"));
    e.win.mnuSaveAs->trigger();
    QCOMPARE(fileBytes(other), fileBytes(e.k.g.gTempFile));
    QCOMPARE(e.k.g.gFile, other);
    // A new name needs no question.
    const QString fresh = e.f.scripts() + QStringLiteral("/fresh.csv");
    e.d.expect(QStringLiteral("save"), fresh);
    e.win.mnuSaveAs->trigger();
    QCOMPARE(fileBytes(fresh), fileBytes(e.k.g.gTempFile));
    QVERIFY(e.d.allAnswered());
    QVERIFY(e.d.unexpected.isEmpty());
}

void TestScript::saveFailuresChangeNothing()
{
    Env e;
    const QString script = e.f.scripts() + QStringLiteral("/kept.csv");
    writeBytes(script, "kept");
    e.k.g.gFile = script;

    // Nothing recorded since start-up: no dialog, no file touched.
    e.d.expect(QStringLiteral("message"));
    e.win.mnuSave->trigger();
    e.d.expect(QStringLiteral("message"));
    e.win.mnuSaveAs->trigger();
    QVERIFY(e.d.allAnswered());
    QCOMPARE(e.d.shown.size(), 2);
    QVERIFY(e.d.shown.last().startsWith(QStringLiteral("message|Kestrel|Nothing has been recorded")));
    QCOMPARE(fileBytes(script), QByteArray("kept"));

    // A target that cannot be written: the script name stays.
    e.k.g.gMode = QStringLiteral("record");
    AppendScriptLine(e.k, "Special", "Back", "", "", "", "");
    for (const QString &bad : {e.f.root() + QStringLiteral("/no/such/folder.csv"), e.f.scripts()}) {
        e.d.expect(QStringLiteral("save"), bad);
        e.d.expect(QStringLiteral("message"));
        e.win.mnuSaveAs->trigger();
        QVERIFY(e.d.allAnswered());
        QVERIFY(e.d.shown.last().startsWith(QStringLiteral("message|Kestrel|The script could not "
                                                           "be saved as ") + bad));
        QCOMPARE(e.k.g.gFile, script);
    }
    QCOMPARE(fileBytes(script), QByteArray("kept"));
    QVERIFY(QFileInfo(e.f.scripts()).isDir());
}

void TestScript::logEntriesWindowAndFile()
{
    QCOMPARE(logEntry(7, QStringLiteral("passed")), QStringLiteral("Step: 7, =>passed"));
    QCOMPARE(logEntry(0, QString()), QStringLiteral("Step: 0, =>"));
    QCOMPARE(logEntry(-1, QString()), QStringLiteral("Step:-1, =>"));
    QCOMPARE(logEntry(INT_MIN, QStringLiteral("x")), QStringLiteral("Step:-2147483648, =>x"));

    Env e;
    // No script opened: the window only, nothing on disk, no error.
    WriteLog(e.k, 1, QStringLiteral("passed\r\n"));
    FrmLog *win = e.k.frmLog();
    QVERIFY(!win->isVisible());
    QCOMPARE(win->windowTitle(), QStringLiteral("Playback Log"));
    QCOMPARE(win->log->toPlainText(), QStringLiteral("Text1Step: 1, =>passed\n"));
    QCOMPARE(QDir(e.f.logs()).entryList(QDir::Files), QStringList());

    const QString script = e.f.scripts() + QStringLiteral("/login.csv");
    writeBytes(script, "\"Web\",\"send\",\"INPUT\",\"onclick\",\"Submit\",\"\"\r\n");
    e.k.Open_File(script);
    const QString log = e.f.logs() + QStringLiteral("/login_2005-12-09-143005.log");
    QCOMPARE(e.k.g.gLogFile, log);
    win->log->clear();
    for (int run = 0; run < 2; ++run) {
        beginLogRun(e.k);
        WriteLog(e.k, 3, QStringLiteral("Type=Web, Object=send, Method=onclick,Value=\x01S\x01\0, "
                                        "Value2=....."));
        WriteLog(e.k, 3, QStringLiteral("passed\r\n"));
    }
    QCOMPARE(e.k.frmLog(), win);
    const QString entry =
        QStringLiteral("Step: 3, =>Type=Web, Object=send, Method=onclick,Value=\u2401S\u2401\u2400,"
                       " Value2=.....Step: 3, =>passed\n");
    QCOMPARE(win->log->toPlainText(), entry + entry);
    // Two runs append to one file; the stored bytes are written as they are.
    const QByteArray fileEntry = QByteArrayLiteral("Step: 3, =>Type=Web, Object=send, Method=onclick,Value=\x01S\x01\0,"
                               " Value2=.....\r\nStep: 3, =>passed\r\n\r\n");
    QCOMPARE(fileBytes(log), fileEntry + fileEntry);

    // Opening again starts a new file.
    ScriptClock::now = [] { return kOpenTime.addSecs(1); };
    e.k.Open_File(script);
    WriteLog(e.k, -1, QStringLiteral(" **** TEST COMPLETE - PASSED ****"));
    QCOMPARE(fileBytes(e.f.logs() + QStringLiteral("/login_2005-12-09-143006.log")),
             QByteArray("Step:-1, => **** TEST COMPLETE - PASSED ****\r\n"));
    QCOMPARE(fileBytes(log), fileEntry + fileEntry);
    QVERIFY(e.d.shown.isEmpty());
}

void TestScript::logFileFailureNotedOncePerRun()
{
    Env e;
    e.k.g.gLogFile = e.f.root() + QStringLiteral("/no such folder/login_x.log");
    FrmLog *win = e.k.frmLog();
    win->log->clear();
    beginLogRun(e.k);
    WriteLog(e.k, 1, QStringLiteral("Type=Special....."));
    WriteLog(e.k, 1, QStringLiteral("passed\r\n"));
    WriteLog(e.k, 2, QStringLiteral("failed\r\n"));
    QStringList lines = win->log->toPlainText().split(QLatin1Char('\n'));
    QCOMPARE(lines.size(), 5);
    QCOMPARE(lines[0], QStringLiteral("Step: 1, =>Type=Special....."));
    QVERIFY(lines[1].startsWith(QStringLiteral("!!!!! The log file ") + e.k.g.gLogFile));
    QCOMPARE(lines[2], QStringLiteral("Step: 1, =>passed"));
    QCOMPARE(lines[3], QStringLiteral("Step: 2, =>failed"));
    QCOMPARE(lines[4], QString());

    // The next run notes it again, once; an entry with its own line end
    // needs no extra one.
    beginLogRun(e.k);
    WriteLog(e.k, 1, QStringLiteral("passed\r\n"));
    WriteLog(e.k, 2, QStringLiteral("passed\r\n"));
    lines = win->log->toPlainText().split(QLatin1Char('\n'));
    QCOMPARE(lines.size(), 8);
    QCOMPARE(lines[4], QStringLiteral("Step: 1, =>passed"));
    QVERIFY(lines[5].startsWith(QStringLiteral("!!!!! The log file ")));
    QCOMPARE(lines[6], QStringLiteral("Step: 2, =>passed"));
    QVERIFY(!QFileInfo::exists(e.f.root() + QStringLiteral("/no such folder")));
    // Never a message box.
    QVERIFY(e.d.shown.isEmpty());
}

QTEST_MAIN(TestScript)
#include "test_script.moc"
