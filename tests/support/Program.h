#pragma once

#include "HttpServer.h"
#include "ScriptedDialogs.h"
#include "TestEnv.h"

#include "app/Kestrel.h"
#include "platform/BrowserElement.h"
#include "ui/FrmLog.h"
#include "ui/FrmTestTrapEvents.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

// The interactive program over fresh folders: settings, answered dialogs and
// the main window, as a person starts it.
struct Program
{
    TestFolders f;
    ScriptedDialogs d;
    Kestrel k{d};
    FrmTestTrapEvents win{k};

    // Stores the folders (and gFile) and loads the main form.
    bool start(const QString &gFile = {});
    BrowserElement *browser() const { return k.browser(); }
    QWidget *input() const { return browser()->focusProxy(); }
    QVariant js(const QString &code) { return runJs(browser()->page(), code); }
    QString workingCopy() const { return readText(k.session.g.gTempFile); }
    bool recording() const
    {
        return k.session.g.gMode == Mode::Record || k.session.g.gMode == Mode::Check;
    }
    bool shows(const QString &urlEnd);
    // As a tester clicks: onto the element (a script expression) from
    // outside the page; while recording, once its highlight shows (its border
    // moves what follows it). Without press, the pointer only goes there.
    void click(const QString &element, bool press = true);
};

// The program run unattended on script, with the events of this process
// running (its pages may be served here); the exit code, -1 when it did not
// end normally within two minutes. Its error output goes to *errors.
int runUnattended(const QString &script, const QProcessEnvironment &env,
                  QByteArray *errors = nullptr);
// The one log whose name starts with prefix + "_", or nothing.
QString logNamed(const QString &folder, const QString &prefix);
