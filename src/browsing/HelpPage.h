#pragma once

class QWebEngineProfile;

// Kestrel serves its help page itself, offline: kestrel://help/testing/kestrel-help.php.
// The scheme is registered before the application starts (ChromiumEnv).
void installHelpPage(QWebEngineProfile *profile);
