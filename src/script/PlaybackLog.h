#pragma once

#include <QString>

class Kestrel;

// "Step:" + the step with a sign position (a blank, or "-") + ", =>" + message.
QString logEntry(int step, const QString &message);

// One entry to the Playback Log window (created hidden on first use) and,
// when gLogFile is set, to that file with CR LF, opened and closed per entry.
// In the window, the control bytes 0 and 1 of stored values are shown as
// visible symbols; the file gets the entry as passed. A log file that cannot
// be written never stops playback: the entry stays in the window and the
// failure is noted there once per run.
void WriteLog(Kestrel &k, int step, const QString &message);

// Starts a new run for the once-per-run failure note; the player calls it
// when a run starts.
void beginLogRun(Kestrel &k);
