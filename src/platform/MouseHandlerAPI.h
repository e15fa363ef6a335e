#pragma once

#include <QPoint>

class QWidget;

// Real mouse and key input for playback, delivered the way the window system
// would: the page sees trusted events. The events are not spontaneous, so the
// hook manager can tell them from the tester's own.

// One left click at the pointer's current position: press, then release at
// once, to the widget under the pointer. False when no widget of the program
// is there.
bool LeftClick();

// Move, press and release of the left button at pos (in target's coordinates).
void clickWidgetAt(QWidget *target, QPoint pos);

// One press and release of the Enter key to target.
void pressEnter(QWidget *target);
