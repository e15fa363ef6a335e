// Playback timings, run by hand: the time one tick spends reading a long
// working copy, and the time a step takes beyond the timer's interval, by
// kind of step, on real pages over loopback.
#include "HttpServer.h"
#include "TestEnv.h"

#include "app/Kestrel.h"
#include "ui/QtDialogs.h"
#include "script/ScriptLine.h"
#include "script/ScriptReader.h"
#include "ui/FrmLog.h"
#include "ui/FrmTestTrapEvents.h"

#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QTest>

#include <algorithm>
#include <cstdio>

namespace {

double median(QVector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.isEmpty() ? 0 : v[v.size() / 2];
}

void writeScript(const QString &path, const QVector<ScriptLine> &lines)
{
    QFile f(path);
    f.open(QIODevice::WriteOnly | QIODevice::Truncate);
    QByteArray bytes;
    for (const ScriptLine &l : lines)
        bytes += fileForm(l).toUtf8();
    f.write(bytes);
}

ScriptLine line(const QString &type, const QString &object, const QString &tag,
                const QString &method, const QString &value)
{
    return {type, object, tag, method, value, QString()};
}

} // namespace

int main(int argc, char *argv[])
{
    initTestEnvironment();
    if (!qEnvironmentVariableIsSet("KESTREL_STEP_INTERVAL_MS"))
        qputenv("KESTREL_STEP_INTERVAL_MS", "50");
    QApplication app(argc, argv);
    TestFolders folders;
    folders.writeSettings();
    QtDialogs dialogs;
    Kestrel k(dialogs);
    FrmTestTrapEvents window(k);
    if (!k.Form_Load())
        return 1;
    HttpServer server(QStringLiteral(KESTREL_TEST_PAGES));
    const QString start = server.url(QStringLiteral("/player/start.html")).toString();

    // Each step is timed from its tick to its end; ticks that arrive inside
    // a step return at once and are not counted.
    QVector<double> stepMs;
    QObject::disconnect(&k.player.Timer1, &QTimer::timeout, &k.player, &Player::Timer1_Timer);
    QObject::connect(&k.player.Timer1, &QTimer::timeout, &k, [&] {
        const int before = k.session.stepno;
        QElapsedTimer t;
        t.start();
        k.player.Timer1_Timer();
        if (k.session.stepno != before)
            stepMs << t.nsecsElapsed() / 1e6;
    });

    // One tick at the last line of a long working copy: a fresh read of the
    // whole file, and the tick itself, which reads only what changed. The
    // working copy is dated back, as that of a script that has played for
    // more than a second is.
    // "steps": the step timings only.
    const bool stepsOnly = argc > 1 && qstrcmp(argv[1], "steps") == 0;
    const QString script = folders.scripts() + QStringLiteral("/big.csv");
    for (const int lines : {10000, 200000}) {
        if (stepsOnly)
            break;
        QVector<ScriptLine> big(lines - 2, line(QStringLiteral("Web"), QStringLiteral("Next page"),
                                               QStringLiteral("A"), QStringLiteral("onclick"),
                                               QStringLiteral("orders/list.htm")));
        for (int i = 0; i < 2; ++i)
            big << line(QStringLiteral("Special"), QString(), QString(),
                        QStringLiteral("REFRESH"), QString());
        writeScript(script, big);
        k.script.Open_File(script);
        {
            QFile copy(k.session.g.gTempFile);
            copy.open(QIODevice::ReadWrite);
            copy.setFileTime(QDateTime::currentDateTime().addSecs(-60),
                             QFileDevice::FileModificationTime);
        }
        QVector<double> readMs, tickMs, cursorMs, logMs;
        ScriptCursor cursor;
        cursor.recordAt(k.session.g.gTempFile, lines - 2);
        for (int i = 0; i < 20; ++i) {
            QElapsedTimer t;
            t.start();
            const auto bytes = readFileBytes(k.session.g.gTempFile);
            const auto records = parseScriptBytes(bytes.value());
            readMs << t.nsecsElapsed() / 1e6;
            if (records.size() != lines)
                return 1;
            // A whole tick near the end: read, log, a step without action;
            // one of the last two lines in turn, as playback asks for a new
            // record at every tick.
            k.session.g.gMode = Mode::Play;
            k.session.stepno = lines - 2 + i % 2;
            t.restart();
            k.player.Timer1_Timer();
            tickMs << t.nsecsElapsed() / 1e6;
            t.restart();
            cursor.recordAt(k.session.g.gTempFile, lines - 1 + i % 2);
            cursorMs << t.nsecsElapsed() / 1e6;
            // What else a tick does: its log entries, file and window.
            t.restart();
            k.log.WriteLog(lines, QStringLiteral("Type=Special, Object=, Method=REFRESH....."));
            k.log.WriteLog(lines, QStringLiteral("passed\r\n"));
            QCoreApplication::processEvents();
            logMs << t.nsecsElapsed() / 1e6;
        }
        std::printf("working copy of %d lines (%lld bytes)\n", lines,
                    static_cast<long long>(QFileInfo(k.session.g.gTempFile).size()));
        std::printf("  read and parse the whole file:       median %6.2f ms\n", median(readMs));
        std::printf("  its record at a tick, unchanged file: median %6.3f ms\n", median(cursorMs));
        std::printf("  two log entries and their display:   median %6.3f ms\n", median(logMs));
        std::printf("  whole tick at line %d:            median %6.3f ms\n\n", lines, median(tickMs));
    }

    struct Kind
    {
        const char *name;
        QVector<ScriptLine> steps;
    };
    QVector<Kind> kinds;
    const int n = 20;
    Kind special{"special step without action", {}}, input{"INPUT value (onfocusout)", {}},
        click{"click, no page load", {}}, link{"click on a link, page load", {}};
    for (int i = 0; i < n; ++i) {
        special.steps << line(QStringLiteral("Special"), QString(), QString(), QString(), QString());
        input.steps << line(QStringLiteral("Web"), QStringLiteral("q"), QStringLiteral("INPUT"),
                            QStringLiteral("onfocusout"), QString::number(i));
        click.steps << line(QStringLiteral("Web"), QStringLiteral("spot"), QStringLiteral("BUTTON"),
                            QStringLiteral("onclick"), QStringLiteral("Spot"));
        link.steps << (i % 2 == 0 ? line(QStringLiteral("Web"), QStringLiteral("Next page"),
                                         QStringLiteral("A"), QStringLiteral("onclick"), QString())
                                  : line(QStringLiteral("Web"), QStringLiteral("Start again"),
                                         QStringLiteral("A"), QStringLiteral("onclick"), QString()));
    }
    kinds << special << input << click << link;

    std::printf("time of one step beyond the tick interval (%d steps each, after opening the page)\n", n);
    for (const Kind &kind : kinds) {
        QVector<ScriptLine> steps{line(QStringLiteral("Special"), QStringLiteral("URL"), QString(),
                                       QString(), start)};
        steps += kind.steps;
        writeScript(script, steps);
        k.script.Open_File(script);
        stepMs.clear();
        k.player.DoPlay();
        QElapsedTimer guard;
        guard.start();
        while ((k.session.g.gMode == Mode::Play || k.session.doingstep) && guard.elapsed() < 120000)
            QTest::qWait(10);
        if (stepMs.size() != n + 1 || !window.frmLog()->log->toPlainText().endsWith(QLatin1String("PASSED ****"))) {
            std::printf("  %-32s did not pass\n", kind.name);
            continue;
        }
        stepMs.removeFirst(); // opening the page
        std::printf("  %-32s median %7.2f ms   max %7.2f ms\n", kind.name, median(stepMs),
                    *std::max_element(stepMs.begin(), stepMs.end()));
    }
    return 0;
}
