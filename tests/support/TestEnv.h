#pragma once

#include <QString>
#include <QTemporaryDir>

#include <functional>

// Sets the browser environment for a test executable; call from initMain().
// Only the suites that link the engine have it.
void initTestEnvironment();

// Runs the event loop until condition() holds or timeoutMs pass; true when it
// holds. Unlike QTest::qWait and the QTRY macros it never sleeps between
// events, which would slow page loads down many times over.
bool waitUntil(const std::function<bool()> &condition, int timeoutMs = 20000);

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

private:
    QTemporaryDir m_dir;
};
