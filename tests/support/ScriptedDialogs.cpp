#include "ScriptedDialogs.h"

#include <QTest>

QString ScriptedDialogs::take(const QString &kind, const QString &title, const QString &text)
{
    shown << kind + QLatin1Char('|') + title + QLatin1Char('|') + text;
    if (m_answers.isEmpty() || m_answers.head().kind != kind) {
        unexpected << shown.last();
        QTest::qFail(qPrintable(QStringLiteral("unexpected dialog: ") + shown.last()), __FILE__,
                     __LINE__);
        return QString();
    }
    return m_answers.dequeue().reply;
}

void ScriptedDialogs::message(QObject *, const QString &text, const QString &title)
{
    take(QStringLiteral("message"), title, text);
}

bool ScriptedDialogs::question(QObject *, const QString &text, const QString &title)
{
    return take(QStringLiteral("question"), title, text) == QLatin1String("yes");
}

QString ScriptedDialogs::inputBox(QObject *, const QString &prompt, const QString &title,
                                  const QString &)
{
    return take(QStringLiteral("input"), title, prompt);
}

QString ScriptedDialogs::openFileName(QObject *, const QString &dir, const QString &preset)
{
    return take(QStringLiteral("open"), dir, preset);
}

QString ScriptedDialogs::saveFileName(QObject *, const QString &dir)
{
    return take(QStringLiteral("save"), dir, QString());
}

QString ScriptedDialogs::browseForFolder(QObject *, const QString &prompt)
{
    return take(QStringLiteral("folder"), QString(), prompt);
}
