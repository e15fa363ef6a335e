#pragma once

#include <QString>

class QObject;

// Every message box, input box, file dialog and folder picker of the program
// goes through this interface, so tests can answer them without a person.
// The parent is the window a dialog belongs to (the Qt implementation casts
// it to a widget).
class Dialogs
{
public:
    virtual ~Dialogs() = default;

    // OK-only message box.
    virtual void message(QObject *parent, const QString &text, const QString &title) = 0;
    // Yes/No message box; true for Yes.
    virtual bool question(QObject *parent, const QString &text, const QString &title) = 0;
    // Input box; an empty string when cancelled, as the user sees it.
    virtual QString inputBox(QObject *parent, const QString &prompt, const QString &title,
                             const QString &defaultText = QString()) = 0;
    // File dialogs; an empty string when cancelled.
    virtual QString openFileName(QObject *parent, const QString &dir, const QString &preset) = 0;
    virtual QString saveFileName(QObject *parent, const QString &dir) = 0;
    // Folder picker; an empty string when cancelled.
    virtual QString browseForFolder(QObject *parent, const QString &prompt) = 0;

    static QString appTitle() { return QStringLiteral("Kestrel"); }
    static QString csvFilter() { return QStringLiteral("Comma Separate Values (*.csv)"); }
};

// For unattended runs, where nobody could answer: messages go to the error
// output, questions are answered No and every other dialog is cancelled.
class UnattendedDialogs : public Dialogs
{
public:
    void message(QObject *parent, const QString &text, const QString &title) override;
    bool question(QObject *parent, const QString &text, const QString &title) override;
    QString inputBox(QObject *parent, const QString &prompt, const QString &title,
                     const QString &defaultText) override;
    QString openFileName(QObject *parent, const QString &dir, const QString &preset) override;
    QString saveFileName(QObject *parent, const QString &dir) override;
    QString browseForFolder(QObject *parent, const QString &prompt) override;
};
