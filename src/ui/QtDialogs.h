#pragma once

#include "core/Dialogs.h"

// The dialogs a person answers at the screen.
class QtDialogs : public Dialogs
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
