// Play and Stop.
#include "app/Kestrel.h"
#include "platform/BrowserElement.h"
#include "platform/Wait.h"
#include "script/PlaybackLog.h"
#include "script/ScriptFiles.h"
#include "ui/FrmLog.h"

#include <QCoreApplication>
#include <QPlainTextEdit>
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

void Kestrel::DoPlay()
{
    if (session.g.gMode == Mode::Play) {
        // Halt: the step under way runs to its end; the next tick finds the
        // mode changed and switches the timer off.
        showPicture(MainView::Button::Play, QStringLiteral("play-off.bmp"));
        session.g.gMode = Mode::Idle;
        return;
    }
    showPicture(MainView::Button::Play, QStringLiteral("play-on.bmp"));
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
        session.g.gLogFile = logFileName(session.g.gDftLogDir, QStringLiteral("/untitled"), ScriptClock::now());
    FrmLog *window = frmLog();
    window->show();
    window->log->setPlainText(QString());
    log.beginRun();
    // Web steps click and type into the window that has the focus: the main
    // window, not the log window just shown.
    activate(m_view ? m_view->window() : nullptr);
    DoEvents();

    // Every pop-up closed, top first; as the mode is "play", no line is
    // recorded for them.
    while (session.ix >= 1) {
        const int before = session.ix;
        ClosePopup();
        DoEvents();
        if (session.ix >= before)
            break;
    }
    if (!wbMyBrowser.isEmpty())
        wbMyBrowser[0]->setVisible(true);
}

void Kestrel::CmdStop_Click()
{
    showPicture(MainView::Button::Record, QStringLiteral("record-off.bmp"));
    showPicture(MainView::Button::Play, QStringLiteral("play-off.bmp"));
    session.g.gMode = Mode::Idle;
    // A step that waits for a page that never finishes loading ends its
    // wait, and the page stops loading.
    if (session.doingstep) {
        stopDuringStep = true;
        if (BrowserElement *b = browser(); b && b->Busy())
            b->Stop();
    }
}

void Kestrel::endCommandLineRun()
{
    commandLineRunEnded = true;
    if (m_frmLog)
        m_frmLog->close();
    if (m_view)
        m_view->window()->close();
    // The program ends here whatever other window is still open; the exit
    // status tells the caller the verdict.
    QCoreApplication::exit(exitCode);
}
