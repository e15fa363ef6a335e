#pragma once

#include <QPoint>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariant>

#include <functional>

class AgentResult;
class QProcess;
class BrowserElement;
class QWebEnginePage;

// Only the suites that link the engine have these four.
// Sets the browser environment for a test executable; call from initMain().
void initTestEnvironment();
// The result of a script in the page; onTimeout when it gave none in 10 s.
QVariant runJs(QWebEnginePage *page, const QString &code, const QVariant &onTimeout = {});
// The centre of an element in the view, from a script expression naming it;
// (-1, -1) when the page has no such element.
QPoint centreOf(QWebEnginePage *page, const QString &element);
// The handle of the first element with tag and identity as the page agent
// searches (0 for none) as the call's value.
AgentResult findHandle(BrowserElement *browser, const QString &tag, const QString &identity);

// The text of a file; empty when it cannot be read.
QString readText(const QString &path);
// Makes the file hold exactly these bytes; false when it cannot.
bool writeFile(const QString &path, const QByteArray &bytes);

// Runs the event loop until condition() holds or timeoutMs pass; true when it
// holds. Unlike QTest::qWait and the QTRY macros it never sleeps between
// events, which would slow page loads down many times over.
bool waitUntil(const std::function<bool()> &condition, int timeoutMs = 20000);
// Runs program to its end with this process's events running (its pages may
// be served here); its exit code, or -1 when it crashed or did not end within
// timeoutMs (then it is killed).
int runToEnd(QProcess &p, const QString &program, const QStringList &args, int timeoutMs = 120000);

// Fresh folders for one test: settings (XDG_CONFIG_HOME), the working copy
// (tmp), scripts, images and logs. Nothing is written to $HOME.
class TestFolders
{
public:
    TestFolders();
    QString root() const { return m_dir.path(); }
    QString config() const { return root() + QStringLiteral("/config"); }
    QString temp() const { return root() + QStringLiteral("/temp"); }
    QString scripts() const { return root() + QStringLiteral("/scripts"); }
    QString images() const { return root() + QStringLiteral("/images"); }
    QString logs() const { return root() + QStringLiteral("/logs"); }
    // Stores the three folders (and gFile) in the settings file.
    void writeSettings(const QString &gFile = QString()) const;
    // The program's own settings file (which a run of it reads, not this
    // test's): its path, the three folders written to it.
    QString programSettings() const { return config() + QStringLiteral("/kestrel/kestrel.ini"); }
    void writeProgramSettings() const;

private:
    QTemporaryDir m_dir;
};
