// Play and Stop.
#include "player/Player.h"

#include "browsing/BrowserStack.h"
#include "core/Session.h"
#include "platform/BrowserElement.h"
#include "platform/Wait.h"
#include "player/PlayerWaits.h"
#include "script/PlaybackLog.h"
#include "script/ScriptFiles.h"

#include <QWidget>

namespace {
void activate(QWidget *window)
{
    if (!window)
        return;
    window->show();
    window->raise();
    window->activateWindow();
    window->setFocus();
}
} // namespace

Player::Player(Session &session, Dialogs &dialogs, PlaybackLog &log, BrowserStack &browsers,
               QObject *parent)
    : QObject(parent), session(session), log(log), browsers(browsers), m_dialogs(dialogs)
{
    Timer1.setInterval(stepIntervalMs());
    connect(&Timer1, &QTimer::timeout, this, &Player::Timer1_Timer);
    m_startWhenStepEnds.setInterval(10);
    connect(&m_startWhenStepEnds, &QTimer::timeout, this, [this] {
        if (this->session.doingstep)
            return;
        m_startWhenStepEnds.stop();
        if (this->session.g.gMode == Mode::Idle)
            DoPlay();
    });
}

BrowserElement *Player::browser() const
{
    return browsers.browser();
}

void Player::DoPlay()
{
    if (m_startWhenStepEnds.isActive()) {
        // Play again before the new run could begin: it does not begin.
        m_startWhenStepEnds.stop();
        showPicture(MainView::Button::Play, QStringLiteral("play-off.bmp"));
        return;
    }
    if (session.g.gMode == Mode::Play) {
        // Halt: the step under way runs to its end; the next tick finds the
        // mode changed and switches the timer off.
        showPicture(MainView::Button::Play, QStringLiteral("play-off.bmp"));
        session.g.gMode = Mode::Idle;
        return;
    }
    showPicture(MainView::Button::Play, QStringLiteral("play-on.bmp"));
    if (session.g.gMode != Mode::Manual && session.doingstep) {
        // A step of the run before is still ending inside one of its waits
        // (Stop or Play came during it). The new run starts once it has
        // ended: that step's entry belongs to its own run, and its end must
        // not end the new one.
        m_startWhenStepEnds.start();
        return;
    }
    Timer1.start();
    if (session.g.gMode == Mode::Manual) {
        session.g.gMode = Mode::Play;
        return;
    }

    session.g.gMode = Mode::Play;
    session.stepno = 0;
    // A script that was never opened or saved (recorded since start-up or
    // New) is logged too, under a name of its own.
    if (session.g.gLogFile.isEmpty() && !session.g.gDftLogDir.isEmpty())
        session.g.gLogFile =
            logFileName(session.g.gDftLogDir, QStringLiteral("/untitled"), ScriptClock::now());
    emit runStarting();
    log.beginRun();
    // Web steps click and type into the window that has the focus: the main
    // window, not the log window just shown.
    activate(m_view ? m_view->window() : nullptr);
    DoEvents();

    // Every pop-up closed, top first; as the mode is "play", no line is
    // recorded for them.
    while (session.ix >= 1) {
        const int before = session.ix;
        browsers.ClosePopup();
        DoEvents();
        if (session.ix >= before)
            break;
    }
    if (!browsers.wbMyBrowser.isEmpty())
        browsers.wbMyBrowser[0]->setVisible(true);
}

void Player::CmdStop_Click()
{
    showPicture(MainView::Button::Record, QStringLiteral("record-off.bmp"));
    showPicture(MainView::Button::Play, QStringLiteral("play-off.bmp"));
    session.g.gMode = Mode::Idle;
    m_startWhenStepEnds.stop();
    // A step that waits for a page that never finishes loading ends its
    // wait, and the page stops loading.
    if (session.doingstep) {
        stopDuringStep = true;
        if (BrowserElement *b = browser(); b && b->Busy())
            b->Stop();
    }
}
