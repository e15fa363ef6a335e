#pragma once

class QPlainTextEdit;
class QString;
class QWidget;

// Widens a label, button or check box placed at a designed position so its
// whole caption shows in the font it has; never narrows it.
void fitCaption(QWidget *control);

// Appends text to the end of box. The view follows the newest line unless
// the user has scrolled up to read something.
void appendFollowing(QPlainTextEdit *box, const QString &text);
