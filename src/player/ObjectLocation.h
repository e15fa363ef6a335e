#pragma once

#include "platform/PageObject.h"
#include "player/PlayerWaits.h"

#include <QString>

#include <optional>

class Player;

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
