#pragma once

#include <functional>

class Player;

// How long a web step's search and a check go on trying before they fail:
// pages render what a step needs a while after a request, and a tester's
// script must not depend on the step interval to give them that time.
// KESTREL_WAIT_MS overrides the 5000 ms; 0 tries once.
int autoWaitMs();

// Runs attempt (one search of the page in front) until it returns true, the
// page has not changed for autoWaitMs in all, or Stop is pressed. A first
// attempt that succeeds returns at once; later ones run when the page
// reports a change (a new document, a new address, changed content once
// rendered), and now and then regardless, for changes that no observer sees
// (a field's value). True when an attempt succeeded.
bool retryUntilFound(Player &k, const std::function<bool()> &attempt);
