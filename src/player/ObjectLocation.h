#pragma once

#include "platform/BrowserElement.h"
#include "platform/PageObject.h"
#include "player/PlayerWaits.h"

#include <QJsonArray>
#include <QPointer>
#include <QString>

#include <optional>

class Player;

// The calls of one step into the page of its element. The browser element
// is held guarded: a nested wait (every call is one) may close the pop-up it
// belongs to. The first call the page does not answer ends the step's calls:
// the step fails at once rather than after one time limit per call.
class StepCalls
{
public:
    explicit StepCalls(const PageObject &el) : m_b(el.browser), m_handle(el.handle) {}

    BrowserElement *browser() const { return m_b; }
    int handle() const { return m_handle; }
    bool noAnswer() const { return m_noAnswer; }
    void forgiveNoAnswer() { m_noAnswer = false; }

    // The page's answer, or a failure without asking once a call of the
    // step has gone unanswered or the browser element has closed.
    AgentResult call(const QString &name, const QJsonArray &args, int timeoutMs = 10000);
    // An action on the element failed: whether that is because the element
    // has left the page since it was found (or the page itself went), which
    // is not a refused action but an element that is not there.
    bool gone(const AgentResult &r);

private:
    QPointer<BrowserElement> m_b;
    int m_handle;
    bool m_noAnswer = false;
};

// What a step came to: passed, failed with the log message, or stopped by the
// user before it acted (no verdict).
struct StepOutcome
{
    bool failed = false;
    bool stopped = false;
    QString message;
    static StepOutcome pass() { return {}; }
    static StepOutcome fail(const QString &m) { return {true, false, m}; }
    static StepOutcome stop() { return {false, true, {}}; }
};

// Log messages of the player's verdicts.
extern const QString kCheckFailed;
extern const QString kNotFound;
extern const QString kNoResponse;

// One search of the page in front for the element a recorded line means.
struct PageSearch
{
    PageObject element;  // null when none was found
    int matches = 0;     // how many elements have the line's identity
    bool defaulted = false; // several were left and the first was taken
    bool noAnswer = false;  // the page did not answer the search
    // A field's content: a text-like INPUT's value, a SELECT's chosen index.
    std::optional<QString> content;
};
PageSearch searchPage(Player &k, const QString &event_object, const QString &event_tagname,
                      const QString &event_value, const QString &event_value2);

// Whether a found field holds what a check line recorded (fields whose
// content is not compared always do).
bool contentMatches(const QString &tag, const PageSearch &found, const QString &value);

// Writes the step's note when the search had to guess among several.
void noteAmbiguity(Player &k, const PageSearch &found);

// The wait for the page, then the search; wait tells whether
// the page finished loading, timed out or the wait was stopped.
PageSearch findWebObject(Player &k, const QString &event_object, const QString &event_tagname,
                         const QString &event_value, const QString &event_value2, PageWait *wait);

// A check step; value and value2 as stored in the script.
StepOutcome checkStep(Player &k, const QString &event_object, const QString &event_tagname,
                      const QString &event_value, const QString &event_value2);
