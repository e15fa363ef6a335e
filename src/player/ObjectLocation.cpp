// Finding recorded elements again, and check steps.
#include "player/ObjectLocation.h"

#include "platform/BrowserElement.h"
#include "platform/Wait.h"
#include "player/AutoWait.h"
#include "player/Player.h"
#include "script/PlaybackLog.h"
#include "script/ScriptLine.h"

#include <QJsonObject>
#include <QPointer>

const QString kCheckFailed = QStringLiteral("failed\r\n");
const QString kNotFound = QStringLiteral("failed - cannot find object\r\n");
const QString kNoResponse = QStringLiteral("failed - the page did not respond\r\n");

AgentResult StepCalls::call(const QString &name, const QJsonArray &args, int timeoutMs)
{
    if (m_noAnswer)
        return AgentResult::failure(QStringLiteral("the page is not responding"), true);
    if (!m_b)
        return AgentResult::failure(QStringLiteral("the browser element was closed"));
    const AgentResult r = m_b->callAgent(name, args, timeoutMs);
    m_noAnswer = r.noAnswer();
    return r;
}

bool StepCalls::gone(const AgentResult &r)
{
    if (r.ok() || m_noAnswer)
        return false;
    if (!m_b)
        return true;
    const AgentResult live = call(QStringLiteral("playerConnected"), {m_handle});
    return live.ok() && !live.value().toBool();
}

PageSearch searchPage(Player &k, const QString &event_object, const QString &event_tagname,
                      const QString &event_value, const QString &event_value2)
{
    PageSearch found;
    BrowserElement *b = k.browser();
    if (!b)
        return found;
    const QPointer<BrowserElement> guard(b);
    const AgentResult r =
        b->locateLine(event_tagname, event_object, event_value, event_value2);
    found.noAnswer = r.noAnswer();
    if (!r.ok() || !guard)
        return found;
    const QJsonObject o = r.value().toObject();
    found.matches = o.value(QLatin1String("matches")).toInt();
    found.defaulted = o.value(QLatin1String("defaulted")).toBool();
    const QJsonValue content = o.value(QLatin1String("content"));
    if (content.isString())
        found.content = content.toString();
    const int handle = o.value(QLatin1String("handle")).toInt();
    if (handle > 0)
        found.element = {guard, handle};
    return found;
}

// The search, tried again as the page changes until done(what it found)
// holds, the page stops answering, or the wait's bound has passed: pages
// render what a step needs a while after the request that asks for it.
static PageSearch searchWithWait(Player &k, const QString &event_object,
                                 const QString &event_tagname, const QString &event_value,
                                 const QString &event_value2,
                                 const std::function<bool(const PageSearch &)> &done)
{
    PageSearch found;
    retryUntilFound(k, [&] {
        found = searchPage(k, event_object, event_tagname, event_value, event_value2);
        return found.noAnswer || done(found);
    });
    return found;
}

bool contentMatches(const QString &tag, const PageSearch &found, const QString &value)
{
    if (!found.content)
        return true;
    if (tag == QLatin1String("SELECT")) {
        // The chosen entry by its index, as recorded ("2").
        bool recordedIsNumber = false;
        const int recorded = value.trimmed().toInt(&recordedIsNumber);
        if (recordedIsNumber)
            return found.content->toInt() == recorded;
    }
    return *found.content == value;
}

void noteAmbiguity(Player &k, const PageSearch &found)
{
    if (found.defaulted)
        k.log.WriteLog(
            k.session.stepno,
            QStringLiteral("%1 elements match; the first was used\r\n").arg(found.matches));
}

PageSearch findWebObject(Player &k, const QString &event_object, const QString &event_tagname,
                         const QString &event_value, const QString &event_value2, PageWait *wait)
{
    *wait = waitForPage(k, false);
    if (*wait != PageWait::Ready)
        return {};
    const PageSearch found =
        searchWithWait(k, event_object, event_tagname, event_value, event_value2,
                       [](const PageSearch &f) { return !f.element.isNull(); });
    // Stop while the element was awaited: the step never acted.
    if (found.element.isNull() && k.stopDuringStep)
        *wait = PageWait::Stopped;
    return found;
}

StepOutcome checkStep(Player &k, const QString &event_object, const QString &event_tagname,
                      const QString &event_value, const QString &event_value2)
{
    const QString value = decodeField(event_value);
    // A field's content is waited for as well as the field.
    const PageSearch found = searchWithWait(
        k, event_object, event_tagname, value, decodeField(event_value2),
        [&](const PageSearch &f) {
            return !f.element.isNull() && contentMatches(event_tagname, f, value);
        });
    if (found.noAnswer)
        return StepOutcome::fail(kNoResponse);
    if (k.stopDuringStep && (found.element.isNull() || !contentMatches(event_tagname, found, value)))
        return StepOutcome::stop();
    if (found.element.isNull())
        return StepOutcome::fail(kCheckFailed);
    noteAmbiguity(k, found);
    // A field is checked for what it holds, not only for being there.
    if (!contentMatches(event_tagname, found, value))
        return StepOutcome::fail(kCheckFailed);

    // Every call below may meet a page that stopped answering: the first
    // such call ends the check (a failed one), the page is not asked again.
    const PageObject el = found.element;
    StepCalls calls(el);
    calls.call(QStringLiteral("invoke"), {el.handle, QStringLiteral("SetFocus")});

    // Only what could be read is highlighted, so that all of it can be put
    // back as it was.
    const auto get = [&](const QString &member) {
        return calls.call(QStringLiteral("get"), {el.handle, member});
    };
    const auto set = [&](const QString &member, const QJsonValue &v) {
        calls.call(QStringLiteral("set"), {el.handle, member, v});
    };
    const AgentResult bg = get(QStringLiteral("bgcolor"));
    const AgentResult bd = get(QStringLiteral("border"));
    const bool haveBg = bg.ok() && bg.value().isString();
    const bool haveBorder = bd.ok() && bd.value().isDouble();
    const QString savedBg = haveBg ? bg.value().toString() : QString();
    const int savedBorder = haveBorder ? bd.value().toInt() : 0;
    if (haveBg)
        k.session.bgcolor = savedBg;
    if (haveBorder)
        k.session.border = savedBorder;
    if (haveBorder)
        set(QStringLiteral("border"), 3);
    if (haveBg)
        set(QStringLiteral("bgcolor"), QStringLiteral("#c0c0c0"));
    DoEvents();
    // The highlight is shown for a second; the window keeps being drawn.
    if (!calls.noAnswer())
        pauseProcessing(1000);
    if (haveBorder)
        set(QStringLiteral("border"), savedBorder);
    if (haveBg)
        set(QStringLiteral("bgcolor"), savedBg);
    DoEvents();
    if (calls.noAnswer())
        return StepOutcome::fail(kNoResponse);
    return StepOutcome::pass();
}
