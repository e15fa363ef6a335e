#pragma once

#include "browsing/BrowserStack.h"
#include "core/Session.h"
#include "platform/MainView.h"
#include "player/Player.h"
#include "recorder/Recorder.h"
#include "script/PlaybackLog.h"
#include "script/ScriptDocument.h"
#include "settings/RunOptions.h"

#include <QObject>
#include <QPointer>
#include <QSet>
#include <QTimer>
#include <QVector>

#include <memory>

class QTemporaryDir;

class BrowserElement;
class Dialogs;

// The composition root: it builds the subsystems over one Session and wires
// their signals, runs start-up (Form_Load), close-down and the command-line
// run, and reaches the window through MainView.
class Kestrel : public QObject
{
    Q_OBJECT
public:
    explicit Kestrel(Dialogs &dialogs, QObject *parent = nullptr);
    ~Kestrel() override;

    // The state every part shares.
    Session session;
    PlaybackLog log{session.g};
    ScriptDocument script;

    Dialogs &dialogs() { return m_dialogs; }
    MainView *view() const { return m_view; }
    void setView(MainView *view);

    // The arguments joined by blanks: one script path, taken whole. Empty
    // when the arguments name no script (none, or only empty ones): the
    // interactive program. setCommandLine is the one place that decides.
    QString commandLine;
    void setCommandLine(const QStringList &args);
    // What the command line asks of an unattended run besides its script.
    RunOptions runOptions;
    static QString joinedCommandLine(const QStringList &args);
    // A script on the command line: played at start, with a working copy
    // and output folders of its own and without touching the settings.
    bool playsAtStart() const { return !commandLine.isEmpty(); }
    // Played where a person watches (the demo on a display): the window
    // stays open when the run ends.
    bool runInWindow = false;
    // Played unattended, nobody at the window.
    bool unattended() const { return playsAtStart() && !runInWindow; }
    // Why path cannot be played ("does not exist", "is a folder", ...);
    // empty when it is a readable file.
    static QString scriptProblem(const QString &path);
    // Tells the person at the window's side: in an unattended run the
    // notice goes to standard error, once per kind.
    void notice(const QString &kind, const QString &text);
    // 0 passed or interactive, 1 a step failed, 2 the named file was missing
    // or could not be opened, 3 a command-line run's image or log folder
    // (or its private working copy) could not be made.
    int exitCode = 0;

    BrowserStack browsers;
    Player player;
    Recorder recorder;
    BrowserElement *browser() const { return browsers.browser(); }

    // Start-up: false when the program must end at once (missing script).
    bool Form_Load();
    // The command-line run that start-up ends with, once the window is shown.
    void startCommandLineRun();
    void Form_Resize();
    void Form_Activate();
    void Form_Deactivate();
    void Form_QueryUnload();
    void closedown();
    void MnuAbout_Click();
    void mnuFolders_Click();

    // Shows the picture file of the program's folder on a picture button.
    void showPicture(MainView::Button button, const QString &fileName);
    // Brings the window's signs of the mode (check armed) up to date.
    void showModeSigns();
    // The program's own folder, where the button pictures are.
    static QString programDir();

    // Set once a command-line run has ended and the program is closing.
    bool commandLineRunEnded = false;

signals:
    // The main window must close (end of a command-line run, Exit).
    void closeRequested();
    // The main window has closed: the program ends with it.
    void mainWindowClosed();

private:
    // The image and log folders of an unattended run: options or
    // environment, else the stored ones, else kestrel-out/ here (created).
    // False, having said why, when a folder it must create cannot be.
    bool chooseUnattendedFolders();
    // Closes the log and main windows and leaves the event loop.
    void endCommandLineRun();

    Dialogs &m_dialogs;
    MainView *m_view = nullptr;
    // The working copy of an unattended run: its own, removed at exit.
    std::unique_ptr<QTemporaryDir> m_privateFolder;
    QSet<QString> m_noticesGiven;
    // What the step under way does, for its line on standard error.
    QString m_stepWhat;
};
