#include "player/AutoWait.h"

#include "platform/BrowserElement.h"
#include "player/Player.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QPointer>
#include <QTimer>

namespace {
// How often the wait looks at the flags that end it (Stop, a reported
// change); cheap, nothing is asked of the page.
constexpr int kLookMs = 20;
// The longest time between two attempts when the page reports nothing.
constexpr int kQuietRetryMs = 250;

// Asks the page in front to report its changes (or to stop doing so).
void watchChanges(BrowserElement *b, bool on)
{
    if (b)
        b->callAgent(QStringLiteral("playerWatchChanges"), {on}, 2000);
}
} // namespace

int autoWaitMs()
{
    bool ok = false;
    const int ms = qEnvironmentVariableIntValue("KESTREL_WAIT_MS", &ok);
    return ok && ms >= 0 ? ms : 5000;
}

bool retryUntilFound(Player &k, const std::function<bool()> &attempt)
{
    if (attempt())
        return true;
    const int bound = autoWaitMs();
    if (bound <= 0 || k.stopDuringStep)
        return false;

    QElapsedTimer clock;
    clock.start();
    QPointer<BrowserElement> watched;
    int watchedDocument = 0;
    quint64 seen = 0;
    QElapsedTimer sinceAttempt;
    bool found = false;
    while (!found) {
        BrowserElement *b = k.browser();
        if (b != watched || (b && b->documentSerial() != watchedDocument)) {
            // Another element came to the front (a pop-up), or another
            // document: watch that one.
            if (b != watched)
                watchChanges(watched, false);
            watched = b;
            watchedDocument = b ? b->documentSerial() : 0;
            watchChanges(watched, true);
            seen = b ? b->pageChanges() : 0;
            sinceAttempt.start();
        }
        QEventLoop loop;
        QTimer::singleShot(kLookMs, &loop, &QEventLoop::quit);
        loop.exec();
        if (k.stopDuringStep || clock.elapsed() >= bound)
            break;
        b = k.browser();
        const bool changed = b && b == watched && b->pageChanges() != seen;
        if (!changed && sinceAttempt.elapsed() < kQuietRetryMs)
            continue;
        if (b && b == watched)
            seen = b->pageChanges();
        sinceAttempt.restart();
        found = attempt();
    }
    watchChanges(watched, false);
    return found;
}
