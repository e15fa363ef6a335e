#pragma once

// Prepares the process for Qt WebEngine. Must run before the QApplication
// exists: Chromium reads its flags and the platform plugin is chosen then.
void prepareChromiumEnvironment();
