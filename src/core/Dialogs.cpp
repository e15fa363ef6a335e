#include "core/Dialogs.h"

#include <cstdio>

namespace {
void report(const QString &title, const QString &text)
{
    std::fprintf(stderr, "kestrel: %s: %s\n", qPrintable(title), qPrintable(text));
}
} // namespace

void UnattendedDialogs::message(QObject *, const QString &text, const QString &title)
{
    report(title, text);
}

bool UnattendedDialogs::question(QObject *, const QString &text, const QString &title)
{
    report(title, text + QStringLiteral(" (answered No)"));
    return false;
}

QString UnattendedDialogs::inputBox(QObject *, const QString &prompt, const QString &title,
                                    const QString &)
{
    report(title, prompt + QStringLiteral(" (cancelled)"));
    return QString();
}

QString UnattendedDialogs::openFileName(QObject *, const QString &, const QString &)
{
    return QString();
}

QString UnattendedDialogs::saveFileName(QObject *, const QString &)
{
    return QString();
}

QString UnattendedDialogs::browseForFolder(QObject *, const QString &)
{
    return QString();
}
