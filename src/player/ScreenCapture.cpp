#include "player/ScreenCapture.h"

#include "platform/Wait.h"
#include "player/Player.h"
#include "script/PlaybackLog.h"
#include "script/ScriptFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageWriter>
#include <QPixmap>
#include <QSaveFile>
#include <QScreen>
#include <QWidget>

namespace {
void setError(QString *errorText, const QString &text)
{
    if (errorText)
        *errorText = text;
}
} // namespace

QImage grabScreenImage(QWidget *mainWindow)
{
    QImage image;
    // The offscreen platform has no screen contents of its own to give.
    if (QGuiApplication::platformName() != QLatin1String("offscreen")) {
        QScreen *screen = mainWindow ? mainWindow->screen() : QGuiApplication::primaryScreen();
        if (screen)
            image = screen->grabWindow(0).toImage();
    }
    if (image.isNull() && mainWindow)
        image = mainWindow->grab().toImage();
    return image;
}

Result<QString> snapshotImagePath(const QString &dir, int step, const QString &name)
{
    // The name comes from the script: it must stay one plain file name inside
    // the image folder, whatever the script holds.
    if (name.contains(QLatin1Char('/')) || name.contains(QLatin1Char('\\'))
        || name.contains(QLatin1String("..")))
        return Result<QString>::failure(
            QStringLiteral("the name may not hold \"/\", \"\\\" or \"..\""));
    for (const QChar c : name) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return Result<QString>::failure(QStringLiteral("the name holds a control character"));
    }
    const QString file = QStringLiteral("step_%1_%2.bmp").arg(step).arg(name);
    if (file.toUtf8().size() > 255)
        return Result<QString>::failure(QStringLiteral("the name is too long for a file name"));
    return dir + QLatin1Char('/') + file;
}

QString failureImagePath(const QString &dir, const QDateTime &time)
{
    return dir + QStringLiteral("/fail_") + fileTimeStamp(time) + QStringLiteral("_.bmp");
}

namespace {

bool openFile(QFileDevice &file, QIODevice::OpenMode mode, QString *errorText)
{
    if (file.open(mode))
        return true;
    setError(errorText, file.errorString());
    return false;
}

bool writeBitmap(QFileDevice &file, const QImage &image, QString *errorText)
{
    QImageWriter writer(&file, "BMP");
    if (writer.write(image))
        return true;
    setError(errorText, writer.errorString());
    return false;
}

} // namespace

namespace {
bool writeImageFile(const QImage &image, const QString &path, bool replace, QString *errorText)
{
    if (image.isNull()) {
        setError(errorText, QStringLiteral("the screen could not be captured"));
        return false;
    }
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder)) {
        setError(errorText, QStringLiteral("the image folder %1 cannot be created").arg(folder));
        return false;
    }
    if (replace) {
        // Written aside and renamed: an older image is replaced only by a whole one.
        QSaveFile file(path);
        if (!openFile(file, QIODevice::WriteOnly, errorText))
            return false;
        if (!writeBitmap(file, image, errorText)) {
            file.cancelWriting();
            return false;
        }
        if (file.commit())
            return true;
        setError(errorText, file.errorString());
        return false;
    }
    // Never over an existing image: a file of that name makes the open fail.
    QFile file(path);
    if (!openFile(file, QIODevice::WriteOnly | QIODevice::NewOnly, errorText))
        return false;
    bool ok = writeBitmap(file, image, errorText);
    file.close();
    if (ok && file.error() != QFileDevice::NoError) {
        setError(errorText, file.errorString());
        ok = false;
    }
    if (!ok)
        file.remove();
    return ok;
}

} // namespace

Result<> saveBitmap(const QImage &image, const QString &path, bool replace)
{
    QString error;
    if (writeImageFile(image, path, replace, &error))
        return {};
    return Result<>::failure(error);
}

Result<> Player::SaveScreenImage(const QString &path)
{
    DoEvents();
    return saveBitmap(grabScreenImage(m_view ? m_view->window() : nullptr), path, true);
}

void Player::screenshot()
{
    // One failure image per second at most, and none is ever replaced: a
    // name in use means waiting for the next second.
    DoEvents();
    // The picture shows the failure, not the seconds spent finding a name.
    const QImage image = grabScreenImage(m_view ? m_view->window() : nullptr);
    QString name;
    QString error;
    bool saved = false;
    for (;;) {
        name = failureImagePath(session.g.gDftImgDir, QDateTime::currentDateTime());
        if (QFileInfo::exists(name)) {
            Sleep(1000);
            continue;
        }
        const Result<> written = saveBitmap(image, name, false);
        saved = written.ok();
        error = written.error();
        if (!saved && QFileInfo::exists(name)) {
            // Someone took the name between the test and the write.
            Sleep(1000);
            continue;
        }
        break;
    }
    if (saved)
        log.WriteLog(session.stepno,
                     QStringLiteral("!!!!! - FAILURE - screen shot ") + name
                         + QStringLiteral(" saved !!!!!!\r\n"));
    else {
        log.WriteLog(session.stepno,
                     QStringLiteral("!!!!! - FAILURE - screen shot ") + name
                         + QStringLiteral(" could not be saved: ") + error
                         + QStringLiteral(" !!!!!!\r\n"));
        emit notice(QStringLiteral("failure image"),
                    QStringLiteral("step %1: the failure screen shot %2 could "
                                   "not be saved: %3")
                        .arg(session.stepno)
                        .arg(name, error));
    }
    if (unattended())
        emit unattendedRunOver();
}
