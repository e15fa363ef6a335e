#include "platform/Screen.h"

#include <QGuiApplication>
#include <QScreen>
#include <cmath>

namespace {
double dpi(bool x)
{
    const QScreen *s = QGuiApplication::primaryScreen();
    if (!s)
        return 96.0;
    const double v = x ? s->logicalDotsPerInchX() : s->logicalDotsPerInchY();
    return v > 0 ? v : 96.0;
}
} // namespace

double twipsPerPixelX() { return 1440.0 / dpi(true); }
double twipsPerPixelY() { return 1440.0 / dpi(false); }
int twipsToPixelsX(double twips) { return static_cast<int>(std::lround(twips / twipsPerPixelX())); }
int twipsToPixelsY(double twips) { return static_cast<int>(std::lround(twips / twipsPerPixelY())); }

QRect twipsRect(int left, int top, int width, int height)
{
    return QRect(twipsToPixelsX(left), twipsToPixelsY(top), twipsToPixelsX(width),
                 twipsToPixelsY(height));
}

QSize screenSizeTwips()
{
    const QScreen *s = QGuiApplication::primaryScreen();
    const QSize px = s ? s->size() : QSize(1280, 1024);
    return QSize(static_cast<int>(std::lround(px.width() * twipsPerPixelX())),
                 static_cast<int>(std::lround(px.height() * twipsPerPixelY())));
}
