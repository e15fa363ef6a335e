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
    void shardsAndArguments();
    void refusalsAndSingleRun();
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
    server.addHangingPath(QStringLiteral("/never"));
    const QByteArray page = urlStep(server.url(QStringLiteral("/form.html")).toString());
    const QString dir = f.scripts();
    // A page that never answers: its run is ended at the timeout, the others go on.
    writeScript(dir + QStringLiteral("/0-hangs.csv"),
                urlStep(server.url(QStringLiteral("/never")).toString()));
    writeScript(dir + QStringLiteral("/a-opens.csv"), page);
    writeScript(dir + QStringLiteral("/b-clicks.csv"),
                page + "\"Web\",\"go\",\"INPUT\",\"onclick\",\"Go\",\"\"\r\n");
    writeScript(dir + QStringLiteral("/c-fails.csv"),
                page + "\"Web\",\"nothing\",\"INPUT\",\"onclick\",\"\",\"\"\r\n");
    // The renderer crashes under the step: no step may pass on a dead page.
    writeScript(dir + QStringLiteral("/d-crashes.csv"), urlStep(QStringLiteral("chrome://crash")));
    writeScript(dir + QStringLiteral("/notes.txt"), "not a script");

    const QString junit = f.root() + QStringLiteral("/report/junit.xml"); // a folder it makes
    QProcess p;
    QCOMPARE(runToEnd(p, kRun,
                      {"--jobs", "2", "--interval", "100", "--timeout", "10000", "--page-timeout",
                       "600000", "--junit", junit, "--images", f.images(), "--logs", f.logs(), dir}),
             1);
    const QString err = QString::fromLocal8Bit(p.readAllStandardError()).replace(dir, "SCRIPTS");
    for (const char *want : {"FAILED SCRIPTS/0-hangs.csv", "passed SCRIPTS/a-opens.csv",
                             "passed SCRIPTS/b-clicks.csv", "FAILED SCRIPTS/c-fails.csv",
                             "FAILED SCRIPTS/d-crashes.csv", "step 2: failed - cannot find object",
                             "5 scripts: 2 passed, 3 failed, 0 errors"})
        QVERIFY2(err.contains(QLatin1String(want)), qPrintable(err));

    // The report, well-formed: a testcase per script with its time and its
    // own log, the failures with their step and an image that exists.
    QFile file(junit);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&file);
    QStringList report;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const QXmlStreamAttributes a = xml.attributes();
        const QString name = a.value("name").toString(), message = a.value("message").toString();
        if (xml.name() == QLatin1String("testsuite")) {
            report << QStringLiteral("%1 tests, %2 failures, %3 errors")
                          .arg(a.value("tests"), a.value("failures"), a.value("errors"));
        } else if (xml.name() == QLatin1String("testcase")) {
            report << name + (a.value("time").toDouble() > 0 ? QString() : QStringLiteral(" no time"));
        } else if (xml.name() == QLatin1String("failure")) {
            const QFileInfo image(xml.readElementText().section(QStringLiteral("image: "), 1));
            report << message + (image.exists() ? " image in " + image.dir().dirName() : QString());
        } else if (xml.name() == QLatin1String("system-out")) {
            QString log = xml.readElementText().remove(QStringLiteral("log: "));
            report << (QFileInfo::exists(log) ? log.replace(f.logs(), "LOGS").section('_', 0, 0)
                                              : "no log " + log);
        }
    }
    QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));
    QCOMPARE(report, (QStringList{"5 tests, 3 failures, 0 errors", "0-hangs.csv",
                                  "step 1: timed out", "LOGS/0-hangs", "a-opens.csv", "LOGS/a-opens",
                                  "b-clicks.csv", "LOGS/b-clicks", "c-fails.csv",
                                  "step 2: failed - cannot find object image in c-fails",
                                  "LOGS/c-fails", "d-crashes.csv",
                                  "step 1: failed - the page's renderer has ended image in d-crashes",
                                  "LOGS/d-crashes"}));
}

void TestRunner::shardsAndArguments()
{
    // Script i of the sorted list is in shard i mod N + 1; the image folders,
    // one name per script, are named over the whole list.
    const QStringList sorted{"0", "1", "2", "3", "4", "5", "6"};
    QCOMPARE(shardOf(sorted, 1, 1), sorted);
    QCOMPARE(shardOf(sorted, 1, 3) + shardOf(sorted, 2, 3) + shardOf(sorted, 3, 3),
             (QStringList{"0", "3", "6", "1", "4", "2", "5"}));
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
    QCOMPARE(QStringList({r.imagesDir, r.logsDir}) + r.scriptArgs,
             (QStringList{"/opt/images", "/env/logs", "--odd", "name.csv"}));
    QCOMPARE((QList<int>{r.intervalMs, r.pageTimeoutMs}), (QList<int>{50, 700}));
    QCOMPARE(parseRunOptions({"--interval=0", "a.csv"}).value().intervalMs, 0); // no pause
    qputenv("KESTREL_PAGE_TIMEOUT_MS", "soon");
    QVERIFY(!parseRunOptions({"a.csv"}));
    qunsetenv("KESTREL_PAGE_TIMEOUT_MS");
    QVERIFY(!parseRunOptions({"--logs"}) && !parseRunOptions({"--interval=-1", "a.csv"}));
    QCOMPARE(parseRunOptions({"my", "script.csv"}).value().scriptArgs,
             (QStringList{"my", "script.csv"}));
}

void TestRunner::refusalsAndSingleRun()
{
    TestFolders f;
    QProcess p;
    p.setWorkingDirectory(f.root());
    // Status 2 with the reason.
    const struct
    {
        QString program;
        QStringList args;
        const char *says;
    } refusals[] = {
        {kRun, {f.root() + "/missing"}, "missing does not exist"},
        {kRun, {f.scripts()}, "holds no script"},
        {kRun, {}, "no script or folder"},
        {kKestrel, {"--speed", "x.csv"}, "unknown option --speed"},
        {kKestrel, {"--logs", f.logs()}, "name the script after them"},
    };
    for (const auto &r : refusals) {
        const int code = runToEnd(p, r.program, r.args);
        const QString err = QString::fromLocal8Bit(p.readAllStandardError());
        QVERIFY2(code == 2 && err.contains(QLatin1String(r.says)),
                 qPrintable(QStringLiteral("status %1: %2").arg(code).arg(err)));
    }

    // No settings at all: kestrel-out/ under the current folder.
    const QString script =
        writeScript(f.scripts() + QStringLiteral("/s.csv"), urlStep("about:blank"));
    QCOMPARE(runToEnd(p, kKestrel, {QStringLiteral("--interval"), QStringLiteral("100"), script}), 0);
    const QString out = f.root() + QStringLiteral("/kestrel-out/");
    const QStringList err =
        QString::fromLocal8Bit(p.readAllStandardError()).split(QLatin1Char('\n'));
    const QStringList logs = QDir(out + QStringLiteral("logs")).entryList(QDir::Files);
    QCOMPARE(logs.size(), 1);
    const QString where = "log " + out + "logs/" + logs[0] + ", images in " + out + "images";
    QCOMPARE(err, (QStringList{"kestrel: no images folder is set; using " + out + "images",
                               "kestrel: no logs folder is set; using " + out + "logs",
                               "kestrel: playing unattended; " + where,
                               "step 1 Special URL: passed", "kestrel: " + where, ""}));
    QVERIFY(QFileInfo(out + QStringLiteral("images")).isDir());
    QVERIFY(!QFileInfo::exists(f.programSettings()));

    // A folder that cannot be created.
    QCOMPARE(runToEnd(p, kKestrel, {QStringLiteral("--logs"), script + QStringLiteral("/logs"), script}),
             3);
    QVERIFY(p.readAllStandardError().contains("the logs folder " + script.toLocal8Bit()
                                              + "/logs cannot be created"));
}

QTEST_GUILESS_MAIN(TestRunner)
#include "test_runner.moc"
