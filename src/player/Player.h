#pragma once

#include "core/Result.h"
#include "core/Session.h"
#include "platform/MainView.h"
#include "script/ScriptReader.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

class BrowserElement;
class BrowserStack;
class Dialogs;
class PlaybackLog;

// Plays the working copy back, one line per tick of Timer1: Play and Stop,
// the step interpreter, waits, object location and checks, screen capture.
class Player : public QObject
{
    Q_OBJECT
public:
    Player(Session &session, Dialogs &dialogs, PlaybackLog &log, BrowserStack &browsers,
           QObject *parent = nullptr);

    void setView(MainView *view) { m_view = view; }
    MainView *view() const { return m_view; }
    Dialogs &dialogs() { return m_dialogs; }
    BrowserElement *browser() const;

    Session &session;
    PlaybackLog &log;
    BrowserStack &browsers;
    // Nobody is at the window: manual steps are noted, not shown, and a
    // run's end or failure ends the program. The composition root decides.
    std::function<bool()> unattended = [] { return false; };

    QTimer Timer1;
    void DoPlay();
    void CmdStop_Click();
    void Timer1_Timer();
    void screenshot();
    // A bitmap of the screen at path. Fails when no image could be taken or
    // written; then no file is left behind.
    Result<> SaveScreenImage(const QString &path);
    // Stop was pressed while a step was running: the step's waits end.
    bool stopDuringStep = false;

signals:
    void pictureChanged(MainView::Button button, const QString &fileName);
    // A run starts: its log window is shown, empty.
    void runStarting();
    // The script has played to its end and passed.
    void runPassed();
    // A step failed; an unattended run is over after its failure image.
    void stepFailed();
    // An unattended run is over (passed, failed or stopped).
    void unattendedRunOver();
    // A step begins (its type, object, tag and method) and gets its verdict
    // (the log's text for it), for those who follow a run as it goes.
    void stepStarted(int step, const QString &what);
    void stepEnded(int step, bool passed, const QString &message);
    void notice(const QString &kind, const QString &text);

private:
    void showPicture(MainView::Button button, const QString &fileName)
    {
        emit pictureChanged(button, fileName);
    }

    Dialogs &m_dialogs;
    MainView *m_view = nullptr;
    // A Play that waits for the previous run's step to end.
    QTimer m_startWhenStepEnds;
    ScriptCursor m_workingCopy;
};
