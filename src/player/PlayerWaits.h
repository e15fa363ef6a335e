#pragma once

#include <QTimer>

class Player;

// How long a page may go on loading before the step that waits for it fails:
// a page that never finishes must not hold an unattended run for ever.
// KESTREL_PAGE_TIMEOUT_MS overrides the 60 s.
int pageTimeoutMs();

// A pause during which window events (browser notifications, Play and Stop)
// are still handled.
void pauseProcessing(int ms);

// While one exists, a page that keeps the browser busy past pageTimeoutMs is
// stopped, which ends every wait for it, also the waits of navigation and
// pop-ups that have no limit of their own; timedOut() then tells the step.
class PageWatch
{
public:
    explicit PageWatch(Player &k);
    ~PageWatch();
    PageWatch(const PageWatch &) = delete;
    PageWatch &operator=(const PageWatch &) = delete;

    bool timedOut() const { return m_timedOut; }

private:
    QTimer m_timer;
    bool m_timedOut = false;
};

// Stopped: Stop was pressed during the step (the page may be half loaded).
enum class PageWait { Ready, TimedOut, Stopped };

// As long as the browser in front (read anew at every poll, so a pop-up that
// a step opened is the one waited for) is busy, and with status also while
// the status label is not empty: process events and pause pollMs. Ends early
// when Stop is pressed during the step (Stopped). Runs under a PageWatch of
// its own.
PageWait waitForPage(Player &k, int pollMs, bool status);
