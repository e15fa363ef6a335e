#pragma once

#include <QString>

struct Globals;

// The four values that outlive a run, in the per-user store (INI file,
// application name = the executable's base name, section "globals").
void LoadSettings(Globals &g);
void SaveSettings(const Globals &g);

// Where the working copy of the script lives: the folder named by "tmp",
// else "temp" (either letter case), else TMPDIR, else /tmp.
QString workingCopyPath();

// The application name under which the settings are stored.
QString settingsApplicationName();
