#pragma once

#include "platform/PageObject.h"
#include "player/PlayerWaits.h"

#include <QString>

class Kestrel;

// Whether tag is one of the four whose identity is a property of their own
// (IMG, A, SELECT, INPUT), by whole names only; every other tag is known by
// its inner HTML, compared with the recorded value.
bool identifiedByObject(const QString &tag);

// getWebObject, telling in wait whether the page finished loading first.
PageObject findWebObject(Kestrel &k, const QString &event_object, const QString &event_tagname,
                         const QString &event_value, PageWait *wait);
