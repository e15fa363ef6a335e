#pragma once

#include "core/Result.h"

#include <QDateTime>
#include <QImage>
#include <QString>

class QWidget;

// The picture of the screen that the main window is on. Where the window
// system gives no picture of the screen (headless, some compositors), the
// main window's own picture.
QImage grabScreenImage(QWidget *mainWindow);

// dir + "/step_" + step + "_" + name + ".bmp". Fails when name would leave
// dir or cannot be part of a file name.
Result<QString> snapshotImagePath(const QString &dir, int step, const QString &name);

// dir + "/fail_" + time as "yyyy-MM-dd-HHmmss" (24-hour clock) + "_.bmp".
QString failureImagePath(const QString &dir, const QDateTime &time);

// Writes image to path as a Windows bitmap. replace false: never replaces an
// existing file (fails instead). A failed write leaves no file.
Result<> saveBitmap(const QImage &image, const QString &path, bool replace);
