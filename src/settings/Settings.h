#pragma once

#include "core/Result.h"

#include <QString>

struct Globals;

// The four values that outlive a run, in the per-user store (INI file,
// application name = the executable's base name, section "globals").
// Where the working copy of the script lives: the folder named by "tmp",
// else "temp" (either letter case), else TMPDIR, else /tmp.
QString workingCopyPath();

// The system's folder for temporary files (TMPDIR, else /tmp); empty when it
// is not an existing folder.
QString temporaryFolder();

// Also names the working copy and deletes what an earlier run left there.
void LoadSettings(Globals &g, const QString &workingCopy = workingCopyPath());
// Fails, saying why, when the store could not be written.
Result<> SaveSettings(const Globals &g);

// The application name under which the settings are stored.
QString settingsApplicationName();
