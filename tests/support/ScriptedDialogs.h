#pragma once

#include "core/Dialogs.h"

#include <QQueue>
#include <QStringList>

// Answers the program's dialogs from a queue. A dialog that the test did not
// expect fails the test (and is answered with No / cancel so nothing hangs).
class ScriptedDialogs : public Dialogs
{
public:
    struct Answer
    {
        QString kind;   // "message", "question", "input", "open", "save", "folder"
        QString reply;  // text returned; for questions "yes" or "no"
    };

    void expect(const QString &kind, const QString &reply = QString())
    {
        m_answers.enqueue({kind, reply});
    }
    bool allAnswered() const { return m_answers.isEmpty(); }
    // Every dialog shown, as "kind|title|text".
    QStringList shown;
    QStringList unexpected;

    void message(QObject *, const QString &text, const QString &title) override;
    bool question(QObject *, const QString &text, const QString &title) override;
    QString inputBox(QObject *, const QString &prompt, const QString &title,
                     const QString &defaultText) override;
    QString openFileName(QObject *, const QString &dir, const QString &preset) override;
    QString saveFileName(QObject *, const QString &dir) override;
    QString browseForFolder(QObject *, const QString &prompt) override;

private:
    QString take(const QString &kind, const QString &title, const QString &text);
    QQueue<Answer> m_answers;
};
