#pragma once

#include <QDateTime>
#include <QString>

// What the program is doing; the texts are the ones scripts, captions and
// logs have always shown.
enum class Mode { Idle, Record, Check, ManualStep, Play, Manual };

// "", "record", "check", "Manual step", "play", "manual".
QString modeText(Mode mode);

// Shared variables of the program (module Globals); one set per process.
struct Globals
{
    QString gFile;      // current script file, shown in the caption
    Mode gMode = Mode::Idle;
    QString gLogFile;   // current playback log file
    QString gTempFile;  // the working copy of the script
    QString gDftDir;    // default folder for scripts
    QString gDftImgDir; // default folder for step and failure images
    QString gDftLogDir; // default folder for playback logs
};

// The working state the subsystems share: the globals and the main window's
// variables. Not persisted.
struct Session
{
    Globals g;
    int ix = 0;             // browser element shown now
    bool doingstep = false; // a playback step is running
    int stepno = 0;         // playback step number
    int border = 0;         // saved border of the highlighted element
    QString bgcolor;        // saved background colour of the highlighted element
    QDateTime lastclick;    // time of the last recorded mouse press
    QString scriptName;     // "/" + base name of the open script, for the log name

    bool recordingOrChecking() const { return g.gMode == Mode::Record || g.gMode == Mode::Check; }
};
