#pragma once

#include <QString>

class Dialogs;
class QObject;
struct Globals;

// The checks behind the Default Folders dialog.
class FolderCheck
{
public:
    FolderCheck(Dialogs &dialogs, QObject *owner) : m_dialogs(dialogs), m_owner(owner) {}

    // True when the folder exists or the user had it created just now.
    bool checkFolder(const QString &folder);

    // Tests the three folders in order; when all pass, takes them over into g
    // and stores the settings (true once stored; when the store cannot be
    // written the user is told and the folders still hold for this session).
    // Otherwise tells the user and changes nothing.
    bool save(Globals &g, const QString &dftDir, const QString &imgDir, const QString &logDir);

    static QString browsePrompt() { return QStringLiteral("Please select a Server folder."); }

private:
    Dialogs &m_dialogs;
    QObject *m_owner;
};
