#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

// Lengths of the program's layout are twips (1/1440 inch).
double twipsPerPixelX();
double twipsPerPixelY();
int twipsToPixelsX(double twips);
int twipsToPixelsY(double twips);
QRect twipsRect(int left, int top, int width, int height);
// The primary screen's size, in twips.
QSize screenSizeTwips();
