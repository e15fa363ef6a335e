// The in-page element search on big pages: one agent call per search.
//
//   cmake -S . -B build -DKESTREL_BENCH=ON && cmake --build build -j2
//   QT_QPA_PLATFORM=offscreen build/bench/bench_search [repetitions]
#include "HttpServer.h"
#include "TestEnv.h"

#include "platform/BrowserElement.h"
#include "platform/ChromiumEnv.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QThread>

#include <algorithm>
#include <cstdio>

namespace {

// A page of about `elements` elements: table rows of cells, links, fields and
// pictures, each with its own text; the searched ones come last.
QByteArray bigPage(int elements)
{
    QByteArray html = "<!DOCTYPE html><html><head><title>big</title></head><body><table>";
    int n = 6; // html, head, title, body, table, tbody
    for (int row = 0; n < elements - 12; ++row) {
        html += "<tr><td>cell " + QByteArray::number(row) + "</td><td><a href=\"/p" +
                QByteArray::number(row) + ".htm\">link " + QByteArray::number(row) +
                "</a></td><td><input name=\"f" + QByteArray::number(row) +
                "\"></td><td><img src=\"/img/i" + QByteArray::number(row) + ".gif\"></td></tr>";
        n += 8;
    }
    html += "<tr><td>last cell</td><td><a href=\"/last.htm\">last link</a></td>"
            "<td><input name=\"lastfield\"></td><td><img src=\"/img/last.gif\"></td></tr>";
    html += "</table></body></html>";
    return html;
}

double median(QList<double> v)
{
    std::sort(v.begin(), v.end());
    return v.isEmpty() ? 0 : v.at(v.size() / 2);
}

void waitReady(BrowserElement &b)
{
    while (b.Busy())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
}

} // namespace

int main(int argc, char *argv[])
{
    prepareChromiumEnvironment();
    QApplication app(argc, argv);
    const int reps = argc > 1 ? std::max(1, atoi(argv[1])) : 20;

    HttpServer server;
    auto *b = new BrowserElement(0);
    b->resize(1024, 768);
    b->show();

    std::printf("%-8s %-28s %10s %10s\n", "elements", "search", "median ms", "max ms");
    for (int size : {10000, 50000}) {
        const QString path = QStringLiteral("/big%1.html").arg(size);
        server.addPage(path, bigPage(size));
        b->Navigate2(server.url(path).toString());
        waitReady(*b);
        const int count = b->callAgent(QStringLiteral("length")).value().toInt();

        struct Search
        {
            const char *label, *tag, *identity;
            bool found;
        };
        const Search searches[] = {
            {"TD by innerhtml (last)", "TD", "last cell", true},
            {"A by innerhtml (last)", "A", "last link", true},
            {"INPUT by name (last)", "INPUT", "lastfield", true},
            {"IMG by nameprop (last)", "IMG", "last.gif", true},
            {"TD by innerhtml (none)", "TD", "no such cell", false},
        };
        for (const Search &s : searches) {
            QList<double> times;
            bool right = true;
            for (int i = 0; i < reps; ++i) {
                QElapsedTimer t;
                t.start();
                const AgentResult r =
                    findHandle(b, QLatin1String(s.tag), QLatin1String(s.identity));
                times << t.nsecsElapsed() / 1e6;
                right = right && r.ok() && ((r.value().toInt() > 0) == s.found);
            }
            std::printf("%-8d %-28s %10.2f %10.2f%s\n", count, s.label, median(times),
                        *std::max_element(times.begin(), times.end()),
                        right ? "" : "  WRONG RESULT");
        }

        // For comparison: one call per element, reading only the tag name.
        if (size == 10000) {
            QElapsedTimer t;
            t.start();
            const int n = 1000;
            for (int i = 0; i < n; ++i) {
                const int h = b->callAgent(QStringLiteral("item"), {i}).value().toInt();
                b->callAgent(QStringLiteral("get"), {h, QStringLiteral("tagname")});
            }
            std::printf("%-8d %-28s %10.2f %10s\n", n, "two calls per element", t.nsecsElapsed() / 1e6,
                        "(total)");
        }
    }
    delete b;
    return 0;
}
