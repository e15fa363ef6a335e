#include "player/PlayerWaits.h"

#include "platform/BrowserElement.h"
#include "platform/Wait.h"
#include "player/Player.h"

#include <QEventLoop>

int pageTimeoutMs()
{
    bool ok = false;
    const int ms = qEnvironmentVariableIntValue("KESTREL_PAGE_TIMEOUT_MS", &ok);
    return ok && ms > 0 ? ms : 60000;
}

int stepIntervalMs()
{
    bool ok = false;
    const int ms = qEnvironmentVariableIntValue("KESTREL_STEP_INTERVAL_MS", &ok);
    return ok && ms >= 0 ? ms : 2000;
}

void pauseProcessing(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

PageWatch::PageWatch(Player &k)
{
    m_timer.setSingleShot(true);
    QObject::connect(&m_timer, &QTimer::timeout, [this, &k] {
        m_timedOut = true;
        if (BrowserElement *b = k.browser())
            b->Stop();
    });
    m_timer.start(pageTimeoutMs());
}

PageWatch::~PageWatch() = default;

PageWait waitForPage(Player &k, bool status)
{
    const PageWatch watch(k);
    for (;;) {
        if (watch.timedOut())
            return PageWait::TimedOut;
        if (k.stopDuringStep)
            return PageWait::Stopped;
        BrowserElement *b = k.browser();
        const bool busy = (b && b->Busy())
                          || (status && k.view() && !k.view()->statusText().isEmpty());
        if (!busy)
            return PageWait::Ready;
        DoEvents();
        pauseProcessing(5);
    }
}
