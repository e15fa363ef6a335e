// The step interpreter: one script line per tick of Timer1.
#include "app/Kestrel.h"
#include "platform/BrowserElement.h"
#include "platform/Dialogs.h"
#include "platform/MouseHandlerAPI.h"
#include "platform/Screen.h"
#include "platform/Wait.h"
#include "player/ObjectLocation.h"
#include "player/PlayerWaits.h"
#include "player/ScreenCapture.h"
#include "script/PlaybackLog.h"
#include "script/ScriptLine.h"
#include "script/ScriptReader.h"
#include "ui/FrmLog.h"

#include <QCursor>
#include <QElapsedTimer>
#include <QJsonObject>
#include <QPointer>
#include <QWidget>

#include <cmath>

namespace {

const QString kPassed = QStringLiteral("passed\r\n");
const QString kCheckFailed = QStringLiteral("failed\r\n");
const QString kNotFound = QStringLiteral("failed - cannot find object\r\n");
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

// What a step came to: passed, or failed with the log message.
struct StepOutcome
{
    bool failed = false;
    QString message;
    static StepOutcome pass() { return {}; }
    static StepOutcome fail(const QString &m) { return {true, m}; }
};

StepOutcome specialStep(Kestrel &k, const ScriptLine &line, const QString &value,
                        const QString &value2)
{
    const QString command = line.Object.toLower();
    if (command == QLatin1String("url")) {
        const PageWatch watch(k);
        k.GoToPage(value);
        if (watch.timedOut())
            return StepOutcome::fail(stillLoading());
    } else if (command == QLatin1String("back")) {
        if (BrowserElement *b = k.browser())
            b->GoBack();
    } else if (command == QLatin1String("close")) {
        k.ClosePopup();
    } else if (command == QLatin1String("snapshot")) {
        QString error;
        const QString path = snapshotImagePath(k.g.gDftImgDir, k.w.stepno, value, &error);
        if (path.isEmpty() || !k.SaveScreenImage(path, &error))
            WriteLog(k, k.w.stepno,
                     QStringLiteral("snapshot \"%1\" not saved: %2\r\n").arg(value, error));
    } else if (command == QLatin1String("manual")) {
        if (k.commandLine.isEmpty()) {
            k.dialogs().message(k.view() ? k.view()->window() : nullptr, value,
                                QStringLiteral("Manual Step"));
            k.g.gMode = QStringLiteral("manual");
            k.showPicture(MainView::Button::Play, QStringLiteral("pause.bmp"));
        } else {
            // Nobody is there to read it or to press Play again: an
            // unattended run notes the step and goes on.
            WriteLog(k, k.w.stepno,
                     QStringLiteral("manual step not shown in an unattended run: %1\r\n")
                         .arg(value));
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

// Input sent through the window system reaches the page a little later.
// Waits until the page has handled it (or has gone), then gives the page a
// moment to start the navigation it may have scheduled, so that the wait for
// the browser that follows sees it.
void settleInput(Kestrel &k, BrowserElement *b, int token)
{
    QPointer<BrowserElement> guard(b);
    QElapsedTimer clock;
    clock.start();
    if (token) {
        const int serial = b->documentSerial();
        while (guard && clock.elapsed() < 2000 && !b->Busy() && b->documentSerial() == serial) {
            const BrowserElement::Result r =
                b->callAgent(QStringLiteral("playerArrived"), {token}, 2000);
            if (!r.ok || r.value.toBool())
                break;
            pauseProcessing(2);
        }
    }
    // Form submissions start a few milliseconds after the key or click.
    clock.restart();
    while (k.browser() && !k.browser()->Busy() && clock.elapsed() < 100)
        pauseProcessing(2);
}

int nextInputToken()
{
    static int token = 0;
    return ++token;
}

// An action on an element failed: whether that is because the element has
// left the page since it was found (or the page itself went), which is not a
// refused action but an element that is not there.
bool gone(const PageObject &el, const BrowserElement::Result &r)
{
    if (r.ok)
        return false;
    if (!el.browser)
        return true;
    const BrowserElement::Result live =
        el.browser->callAgent(QStringLiteral("playerConnected"), {el.handle});
    return live.ok && !live.value.toBool();
}

// A click as the user's: trusted mouse events at the element's visible middle;
// the element's own click where nothing can hit it. False when the element
// has left the page.
bool clickElement(Kestrel &k, const PageObject &el)
{
    BrowserElement *b = el.browser;
    const BrowserElement::Result r = b->callAgent(QStringLiteral("playerClickPoint"), {el.handle});
    if (!r.ok)
        return !gone(el, r);
    const QJsonObject point = r.value.toObject();
    QWidget *target = inputWidget(b);
    if (point.value(QLatin1String("hit")).toBool() && target->isVisible()) {
        const double zoom = b->zoomFactor();
        const QPoint pos(qRound(point.value(QLatin1String("x")).toDouble() * zoom),
                         qRound(point.value(QLatin1String("y")).toDouble() * zoom));
        const int token = nextInputToken();
        b->callAgent(QStringLiteral("playerExpect"), {token});
        clickWidgetAt(target, target->mapFrom(b, pos));
        settleInput(k, b, token);
    } else {
        if (gone(el, b->callAgent(QStringLiteral("playerClick"), {el.handle})))
            return false;
        settleInput(k, b, 0);
    }
    return true;
}

StepOutcome webStep(Kestrel &k, const ScriptLine &line, const QString &value,
                    const QString &value2)
{
    Q_UNUSED(value2);
    // Covers the pop-up a click may open, whose load has no limit of its own.
    const PageWatch watch(k);
    PageWait wait;
    const PageObject el = findWebObject(k, line.Object, line.TagName, value, &wait);
    if (wait == PageWait::TimedOut || watch.timedOut())
        return StepOutcome::fail(stillLoading());
    if (el.isNull())
        return StepOutcome::fail(kNotFound);
    BrowserElement *b = el.browser;
    if (line.TagName == QLatin1String("INPUT")
        && gone(el, b->callAgent(QStringLiteral("playerSetValue"), {el.handle, value})))
        return StepOutcome::fail(kNotFound);
    if (line.TagName == QLatin1String("SELECT")) {
        bool isNumber = false;
        const int index = value.trimmed().toInt(&isNumber);
        if (gone(el, b->callAgent(QStringLiteral("playerSetIndex"),
                                  {el.handle, isNumber ? QJsonValue(index) : QJsonValue(value)})))
            return StepOutcome::fail(kNotFound);
        DoEvents();
        return StepOutcome::pass();
    }
    if (line.Method == QLatin1String("onclick")) {
        if (!el.browser || !clickElement(k, el))
            return StepOutcome::fail(kNotFound);
        if (waitForPage(k, 0, false) == PageWait::TimedOut || watch.timedOut())
            return StepOutcome::fail(stillLoading());
    }
    if (line.Method == QLatin1String("ENTER")) {
        if (!el.browser)
            return StepOutcome::fail(kNotFound);
        b->setFocus();
        if (gone(el, b->callAgent(QStringLiteral("playerFocus"), {el.handle})))
            return StepOutcome::fail(kNotFound);
        DoEvents();
        if (el.browser) {
            const int token = nextInputToken();
            el.browser->callAgent(QStringLiteral("playerExpect"), {token});
            pressEnter(inputWidget(el.browser));
            DoEvents();
            if (el.browser)
                settleInput(k, el.browser, token);
        }
        if (waitForPage(k, 0, false) == PageWait::TimedOut || watch.timedOut())
            return StepOutcome::fail(stillLoading());
    }
    return StepOutcome::pass();
}

} // namespace

void Kestrel::Timer1_Timer()
{
    if (w.doingstep)
        return;
    Timer1.stop();
    w.doingstep = false;
    if (g.gMode != QLatin1String("play"))
        return;
    w.doingstep = true;
    stopDuringStep = false;

    // The working copy is read afresh at every tick: a script edited while it
    // plays goes on with its new content.
    ++w.stepno;
    QString readError;
    const std::optional<QByteArray> bytes = readFileBytes(g.gTempFile, &readError);
    ScriptLine stored;
    if (bytes) {
        const QVector<ScriptLine> records = parseScriptBytes(*bytes);
        const qsizetype n = std::min<qsizetype>(w.stepno, records.size());
        if (n > 0)
            stored = records.at(n - 1);
        if (w.stepno >= records.size()) {
            showPicture(MainView::Button::Play, QStringLiteral("play-off.bmp"));
            g.gMode.clear();
        }
    } else {
        // Nothing to read is the end of the script, after this empty step.
        showPicture(MainView::Button::Play, QStringLiteral("play-off.bmp"));
        g.gMode.clear();
    }

    const QString value = decodeField(stored.Value);
    const QString value2 = decodeField(stored.Value2);
    WriteLog(*this, w.stepno,
             QStringLiteral("Type=") + stored.Type + QStringLiteral(", Object=") + stored.Object
                 + QStringLiteral(", Method=") + stored.Method + QStringLiteral(",Value=")
                 + stored.Value + QStringLiteral(", Value2=") + stored.Value2
                 + QStringLiteral("....."));

    // Fields other than the values may be stored encoded too (a link text
    // with quotes or line breaks); they are matched as the page has them.
    ScriptLine line = stored;
    line.Object = decodeField(stored.Object);
    line.TagName = decodeField(stored.TagName);
    line.Method = decodeField(stored.Method);

    StepOutcome outcome;
    if (!bytes) {
        // A run must not report success for a script it could not read.
        outcome = StepOutcome::fail(
            QStringLiteral("failed - the script %1 cannot be read: %2\r\n").arg(g.gTempFile, readError));
    } else {
        const QString type = stored.Type.toLower();
        if (type == QLatin1String("special"))
            outcome = specialStep(*this, line, value, value2);
        else if (type == QLatin1String("check")) {
            if (!docheck(line.Object, line.TagName, stored.Value, stored.Value2))
                outcome = StepOutcome::fail(kCheckFailed);
        } else if (type == QLatin1String("web"))
            outcome = webStep(*this, line, value, value2);
    }

    auto fail = [this](const QString &message) {
        Timer1.stop();
        WriteLog(*this, w.stepno, message);
        if (!commandLine.isEmpty())
            exitCode = 1;
        screenshot();
        g.gMode.clear();
        w.doingstep = false;
    };
    if (outcome.failed) {
        fail(outcome.message);
        return;
    }

    WriteLog(*this, w.stepno, kPassed);
    if (g.gMode == QLatin1String("play"))
        Timer1.start();
    DoEvents();
    if (waitForPage(*this, 100, true) == PageWait::TimedOut) {
        fail(stillLoading());
        return;
    }
    w.doingstep = false;

    if (g.gMode.isEmpty()) {
        WriteLog(*this, w.stepno, kComplete);
        if (commandLine.isEmpty()) {
            FrmLog *log = frmLog();
            log->show();
            log->raise();
            log->activateWindow();
            log->setFocus();
        } else {
            endCommandLineRun();
        }
    }
}
