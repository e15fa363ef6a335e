#include "settings/Folders.h"

#include "core/Dialogs.h"
#include "core/Session.h"
#include "settings/Settings.h"

#include <QDir>
#include <QFileInfo>

bool FolderCheck::checkFolder(const QString &folder)
{
    // An empty name is no folder and nothing to create.
    if (folder.isEmpty())
        return false;
    // A NUL cannot be in a path.
    if (!folder.contains(QChar(0)) && QFileInfo::exists(folder))
        return true;
    if (!m_dialogs.question(m_owner,
                            QStringLiteral("Folder ") + folder
                                + QStringLiteral(" does not exist. Create it ?"),
                            QStringLiteral("Folder does not exist")))
        return false;
    if (folder.contains(QChar(0)))
        return false;
    // One level only: the parent must exist already.
    const QFileInfo info(QDir::cleanPath(folder));
    const QDir parent = info.absoluteDir();
    if (!parent.exists())
        return false;
    return parent.mkdir(info.fileName()) && QFileInfo(folder).isDir();
}

bool FolderCheck::save(Globals &g, const QString &dftDir, const QString &imgDir,
                       const QString &logDir)
{
    // All three are always tested, in this order.
    const bool a = checkFolder(dftDir);
    const bool b = checkFolder(imgDir);
    const bool c = checkFolder(logDir);
    if (!(a && b && c)) {
        m_dialogs.message(m_owner,
                          QStringLiteral("Cannot save - setup decent folders and try again"),
                          Dialogs::appTitle());
        return false;
    }
    g.gDftDir = dftDir;
    g.gDftImgDir = imgDir;
    g.gDftLogDir = logDir;
    const Result<> saved = SaveSettings(g);
    if (saved)
        return true;
    // The folders serve this session; the user learns they will not last
    // and may fix the store and save again.
    m_dialogs.message(m_owner,
                      QStringLiteral("The settings could not be saved: %1. The folders are used "
                                     "until Kestrel ends.")
                          .arg(saved.error()),
                      Dialogs::appTitle());
    return false;
}
