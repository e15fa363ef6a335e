#pragma once

#include "platform/PageObject.h"

#include <QDateTime>
#include <QString>

// Shared variables of the program (module Globals); one set per process.
struct Globals
{
    QString gFile;     // current script file, shown in the caption
    QString gMode;     // "", "record", "check", "Manual step", "play", "manual"
    QString gLogFile;  // current playback log file
    QString gTempFile; // the working copy of the script
    QString gDftDir;   // default folder for scripts
    QString gDftImgDir; // default folder for step and failure images
    QString gDftLogDir; // default folder for playback logs
};

// The main window's public variables; not persisted.
struct WindowVars
{
    int ix = 0;             // browser element shown now
    bool doingstep = false; // a playback step is running
    int stepno = 0;         // playback step number
    int border = 0;         // saved border of the highlighted element
    QString bgcolor;        // saved background colour of the highlighted element
    QDateTime lastclick;    // time of the last recorded mouse press
    PageObject webobj;      // element last handled by the event recorder
    QString scriptName;     // "/" + base name of the open script, for the log name
};
