#pragma once

#include <QTimer>

class Player;

// How long a page may go on loading before the step that waits for it fails:
// a page that never finishes must not hold an unattended run for ever.
// KESTREL_PAGE_TIMEOUT_MS overrides the 60 s.
int pageTimeoutMs();

// Between two steps: 2000 ms; KESTREL_STEP_INTERVAL_MS overrides it, 0 for
// the next step as soon as the page of the last one is ready.
int stepIntervalMs();

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
// the status label is not empty: process events, looking again every few
// milliseconds so the step goes on as soon as the page is ready. Ends early
// when Stop is pressed during the step (Stopped). Runs under a PageWatch of
// its own.
PageWait waitForPage(Player &k, bool status);
