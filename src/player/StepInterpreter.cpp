// The step interpreter: one script line per tick of Timer1.
#include "browsing/BrowserStack.h"
#include "core/Dialogs.h"
#include "platform/BrowserElement.h"
#include "platform/MouseHandlerAPI.h"
#include "platform/Screen.h"
#include "platform/Wait.h"
#include "player/ObjectLocation.h"
#include "player/Player.h"
#include "player/PlayerWaits.h"
#include "player/ScreenCapture.h"
#include "script/PlaybackLog.h"
#include "script/ScriptLine.h"
#include "script/ScriptReader.h"

#include <QCursor>
#include <QElapsedTimer>
#include <QJsonObject>
#include <QPointer>
#include <QWidget>

#include <cmath>

namespace {

const QString kPassed = QStringLiteral("passed\r\n");
const QString kStopped = QStringLiteral("stopped - the run was stopped before this step acted\r\n");
const QString kSkipped = QStringLiteral("skipped - unknown step type\r\n");
const QString kComplete = QStringLiteral(" **** TEST COMPLETE - PASSED ****");

QString stillLoading()
{
    return QStringLiteral("failed - the page was still loading after %1 seconds\r\n")
        .arg(pageTimeoutMs() / 1000.0);
}

// A whole number of twips as written in a script (" 1500", "-30").
bool readWholeNumber(const QString &text, double *value)
{
    bool ok = false;
    const double v = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return false;
    *value = std::nearbyint(v);
    return true;
}

// Halves to the even neighbour, as the pixel conversion of a recorded press.
int roundHalfEven(double v)
{
    return static_cast<int>(std::nearbyint(v));
}

StepOutcome specialStep(Player &k, const ScriptLine &line, const QString &value,
                        const QString &value2)
{
    const QString command = line.Object.toLower();
    if (command == QLatin1String("url")) {
        const PageWatch watch(k);
        k.browsers.GoToPage(value);
        if (watch.timedOut())
            return StepOutcome::fail(stillLoading());
    } else if (command == QLatin1String("back")) {
        if (BrowserElement *b = k.browser())
            b->GoBack();
    } else if (command == QLatin1String("close")) {
        k.browsers.ClosePopup();
    } else if (command == QLatin1String("snapshot")) {
        const Result<QString> path =
            snapshotImagePath(k.session.g.gDftImgDir, k.session.stepno, value);
        const Result<> saved = path ? k.SaveScreenImage(path.value()) : Result<>();
        if (!path || !saved) {
            const QString error = path ? saved.error() : path.error();
            const QString text = QStringLiteral("snapshot \"%1\" not saved: %2").arg(value, error);
            k.log.WriteLog(k.session.stepno, text + QStringLiteral("\r\n"));
            emit k.notice(QStringLiteral("image"),
                          QStringLiteral("step %1: %2").arg(k.session.stepno).arg(text));
        }
    } else if (command == QLatin1String("manual")) {
        if (!k.unattended()) {
            k.dialogs().message(k.view() ? k.view()->window() : nullptr, value,
                                QStringLiteral("Manual Step"));
            k.session.g.gMode = Mode::Manual;
            k.pictureChanged(MainView::Button::Play, QStringLiteral("pause.bmp"));
        } else {
            // Nobody is there to read it or to press Play again: an
            // unattended run notes the step and goes on.
            const QString text =
                QStringLiteral("manual step not shown in an unattended run: %1").arg(value);
            k.log.WriteLog(k.session.stepno, text + QStringLiteral("\r\n"));
            emit k.notice(QStringLiteral("manual"),
                          QStringLiteral("step %1: %2").arg(k.session.stepno).arg(text));
        }
    } else if (command == QLatin1String("mousedown")) {
        double x = 0, y = 0;
        if (readWholeNumber(value, &x) && readWholeNumber(value2, &y)) {
            QCursor::setPos(roundHalfEven(x / twipsPerPixelX()), roundHalfEven(y / twipsPerPixelY()));
            LeftClick();
        }
    }
    return StepOutcome::pass();
}

// The view widget that receives the page's input.
QWidget *inputWidget(BrowserElement *b)
{
    QWidget *proxy = b->focusProxy();
    return proxy ? proxy : b;
}

// Input reaches the page a little later than it is sent, and a navigation
// it starts (a form submission) later still. Waits for the page's report
// that it handled the input and rendered a frame after it; when the input
// started a navigation, until the browser is busy with it, so that the wait
// for the browser that follows waits for the new page. reports is the
// browser's count of reports from before the input was sent.
void settleInput(Player &k, StepCalls &calls, int token, quint64 reports)
{
    BrowserElement *b = calls.browser();
    if (!b)
        return;
    const int serial = b->documentSerial();
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 2000) {
        b = calls.browser();
        if (!b || k.browser() != b || b->Busy() || b->documentSerial() != serial)
            return; // gone, a pop-up in front, or loading
        if (b->inputsReported() != reports && !b->inputNavigates())
            return;
        pauseProcessing(2);
    }
    // No report: a page whose script is stuck does not answer either.
    if (token && !calls.noAnswer()) {
        const AgentResult r = calls.call(QStringLiteral("playerArrived"), {token}, 2000);
        // A document the input navigated away from may leave the call
        // unanswered; that is not a page that stopped working.
        if (r.noAnswer() && calls.browser()
            && (calls.browser()->Busy() || calls.browser()->documentSerial() != serial))
            calls.forgiveNoAnswer();
    }
}

int nextInputToken()
{
    static int token = 0;
    return ++token;
}

// A click as the user's: trusted mouse events at the element's visible
// middle when a click there presses the element itself; the element's own
// click otherwise. False when the element has left the page.
bool clickElement(Player &k, StepCalls &calls)
{
    const AgentResult r =
        calls.call(QStringLiteral("playerClickPoint"), {calls.handle()});
    if (!r.ok())
        return !calls.gone(r);
    const QJsonObject point = r.value().toObject();
    BrowserElement *b = calls.browser();
    if (!b)
        return false;
    QWidget *target = inputWidget(b);
    if (point.value(QLatin1String("hit")).toBool() && target->isVisible()) {
        const double zoom = b->zoomFactor();
        const QPoint pos(qRound(point.value(QLatin1String("x")).toDouble() * zoom),
                         qRound(point.value(QLatin1String("y")).toDouble() * zoom));
        const int token = nextInputToken();
        calls.call(QStringLiteral("playerExpect"), {token});
        // The call waited: the element may have gone with its pop-up.
        b = calls.browser();
        if (!b)
            return false;
        if (calls.noAnswer())
            return true; // the step fails for that
        target = inputWidget(b);
        const quint64 reports = b->inputsReported();
        clickWidgetAt(target, target->mapFrom(b, pos));
        settleInput(k, calls, token, reports);
    } else {
        const quint64 reports = b->inputsReported();
        if (calls.gone(calls.call(QStringLiteral("playerClick"), {calls.handle()})))
            return false;
        calls.call(QStringLiteral("playerSettle"), {});
        settleInput(k, calls, 0, reports);
    }
    return true;
}

StepOutcome webStep(Player &k, const ScriptLine &line, const QString &value, const QString &value2)
{
    // Covers the pop-up a click may open, whose load has no limit of its own.
    const PageWatch watch(k);
    PageWait wait;
    const PageSearch found = findWebObject(k, line.Object, line.TagName, value, value2, &wait);
    if (wait == PageWait::Stopped)
        return StepOutcome::stop();
    if (wait == PageWait::TimedOut || watch.timedOut())
        return StepOutcome::fail(stillLoading());
    if (found.noAnswer)
        return StepOutcome::fail(kNoResponse);
    if (found.element.isNull())
        return StepOutcome::fail(kNotFound);
    noteAmbiguity(k, found);
    StepCalls calls(found.element);
    const int h = calls.handle();
    const auto failure = [&calls](const QString &message) {
        return StepOutcome::fail(calls.noAnswer() ? kNoResponse : message);
    };
    if (line.TagName == QLatin1String("INPUT")
        && calls.gone(calls.call(QStringLiteral("playerSetValue"), {h, value})))
        return failure(kNotFound);
    if (calls.noAnswer())
        return failure(kNotFound);
    if (line.TagName == QLatin1String("SELECT")) {
        bool isNumber = false;
        const int index = value.trimmed().toInt(&isNumber);
        if (calls.gone(calls.call(QStringLiteral("playerSetIndex"),
                                  {h, isNumber ? QJsonValue(index) : QJsonValue(value)}))
            || calls.noAnswer())
            return failure(kNotFound);
        DoEvents();
        return StepOutcome::pass();
    }
    if (line.Method == QLatin1String("onclick")) {
        if (!calls.browser() || !clickElement(k, calls) || calls.noAnswer())
            return failure(kNotFound);
        if (waitForPage(k, false) == PageWait::TimedOut || watch.timedOut())
            return StepOutcome::fail(stillLoading());
    }
    if (line.Method == QLatin1String("ENTER")) {
        if (!calls.browser())
            return failure(kNotFound);
        calls.browser()->setFocus();
        if (calls.gone(calls.call(QStringLiteral("playerFocus"), {h})) || calls.noAnswer())
            return failure(kNotFound);
        DoEvents();
        if (calls.browser()) {
            const int token = nextInputToken();
            calls.call(QStringLiteral("playerExpect"), {token});
            // The call waited: the element may have gone with its pop-up.
            if (!calls.browser())
                return failure(kNotFound);
            if (!calls.noAnswer()) {
                const quint64 reports = calls.browser()->inputsReported();
                pressEnter(inputWidget(calls.browser()));
                DoEvents();
                settleInput(k, calls, token, reports);
            }
        }
        if (calls.noAnswer())
            return failure(kNotFound);
        if (waitForPage(k, false) == PageWait::TimedOut || watch.timedOut())
            return StepOutcome::fail(stillLoading());
    }
    return StepOutcome::pass();
}

} // namespace

void Player::Timer1_Timer()
{
    if (session.doingstep)
        return;
    Timer1.stop();
    session.doingstep = false;
    if (session.g.gMode != Mode::Play)
        return;
    session.doingstep = true;
    stopDuringStep = false;

    // The working copy is read at every tick (again from its start once it
    // changed): a script edited while it plays goes on with its new content.
    ++session.stepno;
    const ScriptRecordAt at = m_workingCopy.recordAt(session.g.gTempFile, session.stepno);
    const ScriptLine stored = at.record.value_or(ScriptLine());
    // Nothing more to read is the end of the script, after this step.
    if (!at.more) {
        showPicture(MainView::Button::Play, QStringLiteral("play-off.bmp"));
        session.g.gMode = Mode::Idle;
    }

    const QString value = decodeField(stored.Value);
    const QString value2 = decodeField(stored.Value2);
    log.WriteLog(session.stepno,
                 QStringLiteral("Type=") + stored.Type + QStringLiteral(", Object=") + stored.Object
                     + QStringLiteral(", Method=") + stored.Method + QStringLiteral(",Value=")
                     + stored.Value + QStringLiteral(", Value2=") + stored.Value2
                     + QStringLiteral("....."));
    emit stepStarted(session.stepno, QStringList{stored.Type, decodeField(stored.Object),
                                                 decodeField(stored.TagName),
                                                 decodeField(stored.Method)}
                                         .join(QLatin1Char(' ')));

    // Fields other than the values may be stored encoded too (a link text
    // with quotes or line breaks); they are matched as the page has them.
    ScriptLine line = stored;
    line.Object = decodeField(stored.Object);
    line.TagName = decodeField(stored.TagName);
    line.Method = decodeField(stored.Method);

    StepOutcome outcome;
    bool skipped = false;
    if (!at.readable) {
        // A run must not report success for a script it could not read.
        outcome = StepOutcome::fail(QStringLiteral("failed - the script %1 cannot be read: %2\r\n")
                                        .arg(session.g.gTempFile, at.error));
    } else {
        const QString type = stored.Type.toLower();
        if (type == QLatin1String("special"))
            outcome = specialStep(*this, line, value, value2);
        else if (type == QLatin1String("check"))
            outcome = checkStep(*this, line.Object, line.TagName, stored.Value, stored.Value2);
        else if (type == QLatin1String("web"))
            outcome = webStep(*this, line, value, value2);
        else if (at.record)
            skipped = true; // does nothing, and must not look as if it passed
    }

    auto fail = [this](const QString &message) {
        Timer1.stop();
        log.WriteLog(session.stepno, message);
        emit stepEnded(session.stepno, false, message);
        emit stepFailed();
        screenshot();
        session.g.gMode = Mode::Idle;
        session.doingstep = false;
    };
    if (outcome.failed) {
        fail(outcome.message);
        return;
    }
    if (outcome.stopped) {
        // Stop came before the step acted: no verdict for it, no image, and
        // the run is not complete.
        Timer1.stop();
        log.WriteLog(session.stepno, kStopped);
        emit stepEnded(session.stepno, false, kStopped);
        session.g.gMode = Mode::Idle;
        session.doingstep = false;
        emit stepFailed();
        if (unattended())
            emit unattendedRunOver();
        return;
    }

    // Without a pause between steps the next tick comes once this step's
    // page is ready: a timer due at once would only fire into this step's
    // waits and keep them from idling.
    const bool tickAfterVerdict = Timer1.interval() == 0;
    if (session.g.gMode == Mode::Play && !tickAfterVerdict)
        Timer1.start();
    DoEvents();
    // One verdict per step, given once its page has loaded.
    if (waitForPage(*this, true) == PageWait::TimedOut) {
        fail(stillLoading());
        return;
    }
    // A page whose renderer died under the step shows nothing that passed.
    if (BrowserElement *b = browser(); b && b->rendererGone()) {
        fail(QStringLiteral("failed - the page's renderer has ended\r\n"));
        return;
    }
    log.WriteLog(session.stepno, skipped ? kSkipped : kPassed);
    emit stepEnded(session.stepno, true, skipped ? kSkipped : kPassed);
    session.doingstep = false;
    if (session.g.gMode == Mode::Play && tickAfterVerdict)
        Timer1.start();

    if (session.g.gMode == Mode::Idle) {
        log.WriteLog(session.stepno, kComplete);
        emit runPassed();
        if (unattended())
            emit unattendedRunOver();
    }
}
