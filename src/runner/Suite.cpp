#include "runner/Suite.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QSet>
#include <QXmlStreamWriter>

#include <algorithm>

namespace {
void addOptions(QCommandLineParser &p)
{
    p.setApplicationDescription(
        QStringLiteral("Plays Kestrel scripts unattended, each as its own kestrel process.\n"
                       "Exit status: 0 all passed, 1 any failed, 2 a usage or setup error."));
    p.addHelpOption();
    p.addVersionOption();
    p.addPositionalArgument(QStringLiteral("paths"),
                            QStringLiteral("Script files, and folders whose *.csv are played."),
                            QStringLiteral("PATH..."));
    p.addOptions({
        {QStringLiteral("jobs"), QStringLiteral("Runs at a time (default: the cores)."),
         QStringLiteral("N")},
        {QStringLiteral("shard"),
         QStringLiteral("Plays shard K of N of the sorted scripts (script i in shard i mod N)."),
         QStringLiteral("K/N")},
        {QStringLiteral("junit"), QStringLiteral("Writes a JUnit XML report."),
         QStringLiteral("FILE")},
        {QStringLiteral("images"), QStringLiteral("Image folder (a subfolder per script)."),
         QStringLiteral("DIR")},
        {QStringLiteral("logs"), QStringLiteral("Log folder."), QStringLiteral("DIR")},
        {QStringLiteral("interval"), QStringLiteral("Pause between steps (0: none)."), QStringLiteral("MS")},
        {QStringLiteral("page-timeout"), QStringLiteral("Longest wait for a page."),
         QStringLiteral("MS")},
        {QStringLiteral("timeout"),
         QStringLiteral("Longest run of one script before it is ended (default 1800000)."),
         QStringLiteral("MS")},
    });
}

Result<int> wholeNumber(const QString &name, const QString &value, int minimum)
{
    bool ok = false;
    const int n = value.toInt(&ok);
    if (!ok || n < minimum)
        return Result<int>::failure(QStringLiteral("--%1 needs a whole number of %2 or more, not \"%3\"")
                                        .arg(name)
                                        .arg(minimum)
                                        .arg(value));
    return n;
}

// The log's entries are "Step: N, =>text".
const QRegularExpression kLogEntry(QStringLiteral("^Step: ?(\\d+), =>(.*)$"));
const QRegularExpression
    kStepLine(QStringLiteral("^step (\\d+) (.*?): (passed|skipped|failed|stopped)(.*)$"));
// The run names its log as it starts and again as it ends.
const QRegularExpression
    kLogLine(QStringLiteral("^kestrel: (?:playing [^;]*; )?log (.*), images in "));
const QRegularExpression kShot(QStringLiteral("FAILURE - screen shot (.*) saved !+$"));
// XML 1.0 allows no control characters but tab and line breaks; a stored
// value or a crash report may hold some.
QString xmlSafe(QString text)
{
    for (QChar &c : text) {
        if ((c.unicode() < 0x20 && c != QLatin1Char('\n') && c != QLatin1Char('\t')
             && c != QLatin1Char('\r'))
            || c.unicode() == 0xFFFE || c.unicode() == 0xFFFF)
            c = QChar(0xFFFD);
    }
    return text;
}
} // namespace

QString suiteUsage()
{
    QCommandLineParser p;
    addOptions(p);
    return p.helpText();
}

Result<SuiteOptions> parseSuiteArguments(const QStringList &arguments, int defaultJobs)
{
    using R = Result<SuiteOptions>;
    QCommandLineParser p;
    addOptions(p);
    if (!p.parse(arguments))
        return R::failure(p.errorText());
    SuiteOptions o;
    o.paths = p.positionalArguments();
    if (o.paths.isEmpty())
        return R::failure(QStringLiteral("no script or folder named"));
    o.jobs = std::max(1, defaultJobs);
    o.junit = p.value(QStringLiteral("junit"));
    o.images = p.value(QStringLiteral("images"));
    o.logs = p.value(QStringLiteral("logs"));
    const struct
    {
        const char *name;
        int &target;
        int minimum;
    } numbers[] = {{"jobs", o.jobs, 1},
                   {"interval", o.intervalMs, 0},
                   {"page-timeout", o.pageTimeoutMs, 1},
                   {"timeout", o.timeoutMs, 1}};
    for (const auto &n : numbers) {
        const QString name = QString::fromLatin1(n.name);
        if (!p.isSet(name))
            continue;
        const Result<int> v = wholeNumber(name, p.value(name), n.minimum);
        if (!v)
            return R::failure(v.error());
        n.target = v.value();
    }
    if (p.isSet(QStringLiteral("shard"))) {
        const QString value = p.value(QStringLiteral("shard"));
        const QStringList parts = value.split(QLatin1Char('/'));
        bool okK = false;
        bool okN = false;
        const int k = parts.size() == 2 ? parts[0].toInt(&okK) : 0;
        const int n = parts.size() == 2 ? parts[1].toInt(&okN) : 0;
        if (!okK || !okN || n < 1 || k < 1 || k > n)
            return R::failure(
                QStringLiteral("--shard needs K/N with 1 <= K <= N, not \"%1\"").arg(value));
        o.shard = k;
        o.shards = n;
    }
    return o;
}

Result<QStringList> collectScripts(const QStringList &paths)
{
    QStringList scripts;
    for (const QString &path : paths) {
        const QFileInfo info(path);
        if (info.isDir()) {
            const QFileInfoList found = QDir(path).entryInfoList(
                {QStringLiteral("*.csv")}, QDir::Files | QDir::Readable, QDir::Name);
            if (found.isEmpty())
                return Result<QStringList>::failure(
                    QStringLiteral("the folder %1 holds no script (*.csv)").arg(path));
            for (const QFileInfo &f : found)
                scripts << f.absoluteFilePath();
        } else if (info.isFile()) {
            scripts << info.absoluteFilePath();
        } else {
            return Result<QStringList>::failure(QStringLiteral("%1 does not exist").arg(path));
        }
    }
    scripts.sort();
    scripts.removeDuplicates();
    return scripts;
}

QStringList shardOf(const QStringList &sorted, int shard, int shards)
{
    QStringList mine;
    for (int i = 0; i < sorted.size(); ++i) {
        if (i % shards == shard - 1)
            mine << sorted.at(i);
    }
    return mine;
}

QStringList imageFolderNames(const QStringList &sorted)
{
    QStringList names;
    QSet<QString> taken;
    for (const QString &script : sorted) {
        const QString stem = QFileInfo(script).completeBaseName();
        QString name = stem;
        for (int n = 2; taken.contains(name); ++n)
            name = stem + QStringLiteral("_%1").arg(n);
        taken.insert(name);
        names << name;
    }
    return names;
}

ScriptResult readRun(const QString &script, RunEnd end, int exitCode, const QString &errorOutput,
                     double seconds)
{
    ScriptResult r;
    r.script = script;
    r.seconds = seconds;
    r.errorOutput = errorOutput;
    QString lastError;
    int lastStep = 0;
    for (const QString &line : errorOutput.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        if (const auto m = kStepLine.match(line); m.hasMatch()) {
            lastStep = m.captured(1).toInt();
            if (m.captured(3) == QLatin1String("failed")
                || m.captured(3) == QLatin1String("stopped")) {
                r.failedStep = lastStep;
                r.message = m.captured(3) + m.captured(4);
            }
        } else if (const auto m = kLogLine.match(line); m.hasMatch()) {
            r.logFile = m.captured(1);
        } else if (line.startsWith(QLatin1String("kestrel: "))) {
            lastError = line.mid(9);
        }
    }
    // The log holds the failing step's own words and its image.
    QFile log(r.logFile);
    if (r.failedStep > 0 && log.open(QIODevice::ReadOnly)) {
        QStringList text;
        const QStringList entries =
            QString::fromUtf8(log.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
        for (const QString &entry : entries) {
            const auto m = kLogEntry.match(entry);
            if (!m.hasMatch() || m.captured(1).toInt() != r.failedStep
                || m.captured(2).startsWith(QLatin1String("Type=")))
                continue;
            if (const auto shot = kShot.match(m.captured(2)); shot.hasMatch())
                r.image = shot.captured(1);
            text << m.captured(2);
        }
        r.failureText = text.join(QLatin1Char('\n'));
    }

    if (end == RunEnd::TimedOut) {
        r.verdict = ScriptResult::Verdict::Failed;
        // Ended under the step after the last one that got its verdict.
        if (r.failedStep == 0)
            r.failedStep = lastStep + 1;
        r.message = QStringLiteral("timed out");
    } else if (end == RunEnd::Crashed) {
        r.verdict = ScriptResult::Verdict::Failed;
        r.message = QStringLiteral("kestrel crashed")
                    + (r.message.isEmpty() ? QString() : QStringLiteral(" after: ") + r.message);
    } else if (exitCode == 0) {
        r.verdict = ScriptResult::Verdict::Passed;
        r.failedStep = 0;
        r.message.clear();
    } else if (exitCode == 1) {
        r.verdict = ScriptResult::Verdict::Failed;
        if (r.message.isEmpty())
            r.message = lastError.isEmpty() ? QStringLiteral("failed") : lastError;
    } else {
        // 2 and 3: the script could not be played at all.
        r.verdict = ScriptResult::Verdict::Error;
        r.message = lastError.isEmpty()
                        ? QStringLiteral("kestrel ended with status %1").arg(exitCode)
                        : lastError;
    }
    return r;
}

Result<> writeJUnit(const QString &path, const QVector<ScriptResult> &results, double seconds)
{
    using V = ScriptResult::Verdict;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return Result<>::failure(file.errorString());
    QXmlStreamWriter xml(&file);
    xml.setAutoFormatting(true);
    xml.writeStartDocument();
    xml.writeStartElement(QStringLiteral("testsuite"));
    xml.writeAttribute(QStringLiteral("name"), QStringLiteral("kestrel"));
    xml.writeAttribute(QStringLiteral("tests"), QString::number(results.size()));
    const auto count = [&](V v) {
        return QString::number(std::count_if(
            results.begin(), results.end(), [v](const ScriptResult &r) { return r.verdict == v; }));
    };
    xml.writeAttribute(QStringLiteral("failures"), count(V::Failed));
    xml.writeAttribute(QStringLiteral("errors"), count(V::Error));
    xml.writeAttribute(QStringLiteral("skipped"), QStringLiteral("0"));
    xml.writeAttribute(QStringLiteral("time"), QString::number(seconds, 'f', 3));
    for (const ScriptResult &r : results) {
        xml.writeStartElement(QStringLiteral("testcase"));
        xml.writeAttribute(QStringLiteral("classname"), QFileInfo(r.script).dir().dirName());
        xml.writeAttribute(QStringLiteral("name"), QFileInfo(r.script).fileName());
        xml.writeAttribute(QStringLiteral("file"), r.script);
        xml.writeAttribute(QStringLiteral("time"), QString::number(r.seconds, 'f', 3));
        if (r.verdict != V::Passed) {
            xml.writeStartElement(r.verdict == V::Failed ? QStringLiteral("failure")
                                                         : QStringLiteral("error"));
            const QString where =
                r.failedStep > 0 ? QStringLiteral("step %1: ").arg(r.failedStep) : QString();
            xml.writeAttribute(QStringLiteral("message"), xmlSafe(where + r.message));
            xml.writeAttribute(QStringLiteral("type"), r.message == QLatin1String("timed out")
                                                           ? QStringLiteral("timeout")
                                                           : QStringLiteral("failed"));
            QStringList body;
            if (r.failedStep > 0)
                body << QStringLiteral("failing step: %1").arg(r.failedStep);
            if (!r.failureText.isEmpty())
                body << r.failureText;
            if (!r.image.isEmpty())
                body << QStringLiteral("image: ") + r.image;
            xml.writeCharacters(xmlSafe(body.join(QLatin1Char('\n'))));
            xml.writeEndElement();
        }
        xml.writeTextElement(QStringLiteral("system-out"),
                             r.logFile.isEmpty() ? QString() : QStringLiteral("log: ") + r.logFile);
        xml.writeTextElement(QStringLiteral("system-err"), xmlSafe(r.errorOutput));
        xml.writeEndElement();
    }
    xml.writeEndElement();
    xml.writeEndDocument();
    if (xml.hasError() || !file.commit())
        return Result<>::failure(file.errorString());
    return {};
}
