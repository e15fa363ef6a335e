#pragma once

#include <QString>

// A twips coordinate of a "mousedown" line: a blank before a number that is
// not negative, as the script stores them.
QString signedText(double v);
