// kestrel-run and the unattended kestrel run, as real processes against
// loopback pages; the runner's decisions without processes.
#include "HttpServer.h"
#include "TestEnv.h"
#include "runner/Suite.h"
#include "settings/RunOptions.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSet>
#include <QXmlStreamReader>
#include <QtTest>

namespace {
const QString kRun = QStringLiteral(KESTREL_BUILD_DIR "/kestrel-run");
const QString kKestrel = QStringLiteral(KESTREL_BUILD_DIR "/kestrel");

QString writeScript(const QString &path, const QByteArray &lines)
{
    return writeFile(path, lines) ? path : QString();
}

QByteArray urlStep(const QString &url)
{
    return "\"Special\",\"URL\",\"\",\"\",\"" + url.toUtf8() + "\",\"\"\r\n";
}
} // namespace

class TestRunner : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void suiteInParallel();
    void hangingScriptTimesOut();
    void shardsAndArguments();
    void usageErrors();
    void singleRunNeedsNoSetup();
};

void TestRunner::initTestCase()
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    qputenv("KESTREL_WAIT_MS", "300");
    qunsetenv("KESTREL_DEBUG");
}

void TestRunner::suiteInParallel()
{
    TestFolders f;
    HttpServer server;
    server.addPage(QStringLiteral("/form.html"),
                   "<html><body><input type=button id=go name=go value=Go></body></html>");
    const QByteArray page = urlStep(server.url(QStringLiteral("/form.html")).toString());
    const QString dir = f.scripts();
    writeScript(dir + QStringLiteral("/a-opens.csv"), page);
    writeScript(dir + QStringLiteral("/b-clicks.csv"),
                page + "\"Web\",\"go\",\"INPUT\",\"onclick\",\"Go\",\"\"\r\n");
    writeScript(dir + QStringLiteral("/c-fails.csv"),
                page + "\"Web\",\"nothing\",\"INPUT\",\"onclick\",\"\",\"\"\r\n");
    // The renderer crashes under the step: no step may pass on a dead page.
    writeScript(dir + QStringLiteral("/d-crashes.csv"), urlStep(QStringLiteral("chrome://crash")));
    writeScript(dir + QStringLiteral("/notes.txt"), "not a script");

    const QString junit = f.root() + QStringLiteral("/report/junit.xml");
    QVERIFY(QDir().mkpath(f.root() + QStringLiteral("/report")));
    QProcess p;
    QCOMPARE(runToEnd(p, kRun,
                 {QStringLiteral("--jobs"), QStringLiteral("2"), QStringLiteral("--interval"),
                  QStringLiteral("100"), QStringLiteral("--junit"), junit,
                  QStringLiteral("--images"), f.images(), QStringLiteral("--logs"), f.logs(), dir}),
             1);
    const QString err = QString::fromLocal8Bit(p.readAllStandardError());
    for (const char *want :
         {"passed "
          "%1/a-opens.csv",
          "passed %1/b-clicks.csv", "FAILED %1/c-fails.csv", "FAILED %1/d-crashes.csv"})
        QVERIFY2(err.contains(QString::fromLatin1(want).arg(dir)), qPrintable(err));
    QVERIFY2(err.contains(QStringLiteral("step 2: failed - cannot find object")), qPrintable(err));
    QVERIFY(err.contains(QStringLiteral("4 scripts: 2 passed, 2 failed, 0 errors")));

    // A log per run, each its own script's.
    const QStringList logs = QDir(f.logs()).entryList(QDir::Files, QDir::Name);
    QCOMPARE(logs.size(), 4);
    for (int i = 0; i < 4; ++i)
        QVERIFY(
            logs[i].startsWith(QStringList{"a-opens_", "b-clicks_", "c-fails_", "d-crashes_"}[i]));
    QVERIFY(readText(f.logs() + QLatin1Char('/') + logs[1])
                .contains(QStringLiteral("Step: 2, =>passed")));

    // The report: well-formed, a testcase per script, the failures with
    // their step, the log's text and an image that exists.
    QFile file(junit);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&file);
    QHash<QString, QString> failures;
    QStringList cases;
    QString current;
    int suites = 0;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("testsuite")) {
            ++suites;
            QCOMPARE(xml.attributes().value("tests").toString(), QStringLiteral("4"));
            QCOMPARE(xml.attributes().value("failures").toString(), QStringLiteral("2"));
        } else if (xml.name() == QLatin1String("testcase")) {
            current = xml.attributes().value("name").toString();
            cases << current;
            QVERIFY(xml.attributes().value("time").toDouble() > 0);
        } else if (xml.name() == QLatin1String("failure")) {
            const QString message = xml.attributes().value("message").toString();
            failures.insert(current, message + QLatin1Char('\n') + xml.readElementText());
        } else if (xml.name() == QLatin1String("system-out")) {
            QVERIFY(xml.readElementText().contains(f.logs() + QLatin1Char('/')));
        }
    }
    QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
    QCOMPARE(suites, 1);
    QCOMPARE(cases, (QStringList{"a-opens.csv", "b-clicks.csv", "c-fails.csv", "d-crashes.csv"}));
    QCOMPARE(failures.size(), 2);
    const QString failed = failures.value(QStringLiteral("c-fails.csv"));
    QVERIFY2(failed.startsWith(QStringLiteral("step 2: failed - cannot find object")),
             qPrintable(failed));
    const QString image = failed.section(QStringLiteral("image: "), 1).trimmed();
    QVERIFY2(image.startsWith(f.images() + QStringLiteral("/c-fails/fail_")), qPrintable(failed));
    QVERIFY(QFileInfo::exists(image));
    QVERIFY(failures.value(QStringLiteral("d-crashes.csv"))
                .startsWith(QStringLiteral("step 1: failed - the page's renderer has ended")));
}

void TestRunner::hangingScriptTimesOut()
{
    TestFolders f;
    HttpServer server;
    server.addHangingPath(QStringLiteral("/never"));
    const QString hang = writeScript(f.scripts() + QStringLiteral("/hangs.csv"),
                                     urlStep(server.url(QStringLiteral("/never")).toString()));
    const QString junit = f.root() + QStringLiteral("/junit.xml");
    QProcess p;
    QCOMPARE(
        runToEnd(p, kRun,
            {QStringLiteral("--timeout"), QStringLiteral("3000"), QStringLiteral("--page-timeout"),
             QStringLiteral("600000"), QStringLiteral("--junit"), junit, hang}),
        1);
    const QString err = QString::fromLocal8Bit(p.readAllStandardError());
    QVERIFY2(err.contains(QStringLiteral("FAILED %1").arg(hang)) && err.contains("timed out"),
             qPrintable(err));
    QVERIFY(readText(junit).contains(QStringLiteral("message=\"step 1: timed out\"")));
}

void TestRunner::shardsAndArguments()
{
    QStringList sorted;
    for (int i = 0; i < 11; ++i)
        sorted << QStringLiteral("/s/%1.csv").arg(i, 2, 10, QLatin1Char('0'));
    for (int n = 1; n <= 4; ++n) {
        QStringList all;
        for (int k = 1; k <= n; ++k) {
            const QStringList shard = shardOf(sorted, k, n);
            QVERIFY(shard.size() >= sorted.size() / n && shard.size() <= sorted.size() / n + 1);
            all << shard;
        }
        QCOMPARE(all.size(), sorted.size());
        all.sort();
        QCOMPARE(all, sorted);
    }
    // One name per script, the same in every shard.
    QCOMPARE(imageFolderNames({"/a/x.csv", "/b/x.csv", "/b/y.csv"}),
             (QStringList{"x", "x_2", "y"}));

    const Result<SuiteOptions> good = parseSuiteArguments(
        {"kestrel-run", "--shard", "2/3", "--jobs=4", "--timeout", "9", "a", "b"}, 2);
    QVERIFY(good);
    const SuiteOptions &o = good.value();
    QCOMPARE((QList<int>{o.shard, o.shards, o.jobs, o.timeoutMs}), (QList<int>{2, 3, 4, 9}));
    QCOMPARE(o.paths, (QStringList{"a", "b"}));
    QCOMPARE(parseSuiteArguments({"kestrel-run", "a"}, 2).value().jobs, 2);
    for (const QStringList &bad : QList<QStringList>{{"--shard", "0/2", "a"},
                                                     {"--shard", "3/2", "a"},
                                                     {"--shard", "1", "a"},
                                                     {"--jobs", "x", "a"},
                                                     {"--timeout", "-5", "a"},
                                                     {"--frobnicate", "a"},
                                                     {"--jobs", "2"}})
        QVERIFY(!parseSuiteArguments(QStringList{"kestrel-run"} + bad, 2));

    // kestrel's own: options before the script, the environment after them.
    qputenv("KESTREL_LOGS_DIR", "/env/logs");
    qputenv("KESTREL_IMAGES_DIR", "/env/images");
    qputenv("KESTREL_PAGE_TIMEOUT_MS", "700");
    const Result<RunOptions> parsed =
        parseRunOptions({"--images=/opt/images", "--interval", "50", "--", "--odd", "name.csv"});
    qunsetenv("KESTREL_LOGS_DIR");
    qunsetenv("KESTREL_IMAGES_DIR");
    QVERIFY(parsed);
    const RunOptions &r = parsed.value();
    QCOMPARE((QStringList{r.imagesDir, r.logsDir}), (QStringList{"/opt/images", "/env/logs"}));
    QCOMPARE((QList<int>{r.intervalMs, r.pageTimeoutMs}), (QList<int>{50, 700}));
    QCOMPARE(parseRunOptions({"--interval=0", "a.csv"}).value().intervalMs, 0); // no pause
    QCOMPARE(r.scriptArgs, (QStringList{"--odd", "name.csv"}));
    qputenv("KESTREL_PAGE_TIMEOUT_MS", "soon");
    QVERIFY(!parseRunOptions({"a.csv"}));
    qunsetenv("KESTREL_PAGE_TIMEOUT_MS");
    QVERIFY(!parseRunOptions({"--logs"}));
    QCOMPARE(parseRunOptions({"my", "script.csv"}).value().scriptArgs,
             (QStringList{"my", "script.csv"}));
}

void TestRunner::usageErrors()
{
    TestFolders f;
    QProcess p;
    // Status 2 with the reason.
    const struct
    {
        QString program;
        QStringList args;
        const char *says;
    } refusals[] = {
        {kRun, {f.root() + "/missing"}, "missing does not exist"},
        {kRun, {f.scripts()}, "holds no script"},
        {kRun, {"--shard", "5/4", f.scripts()}, "--shard needs K/N"},
        {kRun, {}, "no script or folder"},
        {kKestrel, {"--speed", "x.csv"}, "unknown option --speed"},
        {kKestrel, {"--interval=-1", "x.csv"}, "--interval needs a number"},
        {kKestrel, {"--logs", f.logs()}, "name the script after them"},
    };
    for (const auto &r : refusals) {
        const int code = runToEnd(p, r.program, r.args);
        const QString err = QString::fromLocal8Bit(p.readAllStandardError());
        QVERIFY2(code == 2 && err.contains(QLatin1String(r.says)),
                 qPrintable(QStringLiteral("status %1: %2").arg(code).arg(err)));
    }
    // A folder that cannot be created.
    const QString script =
        writeScript(f.scripts() + QStringLiteral("/s.csv"), urlStep("about:blank"));
    QCOMPARE(runToEnd(p, kKestrel, {QStringLiteral("--logs"), script + QStringLiteral("/logs"), script}),
             3);
    QVERIFY(p.readAllStandardError().contains("the logs folder " + script.toLocal8Bit()
                                              + "/logs cannot be created"));
}

void TestRunner::singleRunNeedsNoSetup()
{
    // No settings at all: kestrel-out/ under the current folder.
    TestFolders f;
    const QString script =
        writeScript(f.scripts() + QStringLiteral("/s.csv"), urlStep("about:blank"));
    QProcess p;
    p.setWorkingDirectory(f.root());
    QCOMPARE(runToEnd(p, kKestrel, {QStringLiteral("--interval"), QStringLiteral("100"), script}), 0);
    const QString out = f.root() + QStringLiteral("/kestrel-out/");
    const QStringList err =
        QString::fromLocal8Bit(p.readAllStandardError()).split(QLatin1Char('\n'));
    QCOMPARE(err.mid(0, 3),
             (QStringList{"kestrel: no images folder is set; using " + out + "images",
                          "kestrel: no logs folder is set; using " + out + "logs",
                          "step 1 Special URL: passed"}));
    const QStringList logs = QDir(out + QStringLiteral("logs")).entryList(QDir::Files);
    QCOMPARE(logs.size(), 1);
    QVERIFY(err.value(3).startsWith("kestrel: log " + out + "logs/" + logs[0]));
    QVERIFY(QFileInfo(out + QStringLiteral("images")).isDir());
    QVERIFY(!QFileInfo::exists(f.programSettings()));
}

QTEST_GUILESS_MAIN(TestRunner)
#include "test_runner.moc"
