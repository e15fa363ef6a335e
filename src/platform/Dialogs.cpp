#include "platform/Dialogs.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

#include <cstdio>

void QtDialogs::message(QWidget *parent, const QString &text, const QString &title)
{
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, parent);
    box.exec();
}

bool QtDialogs::question(QWidget *parent, const QString &text, const QString &title)
{
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Yes | QMessageBox::No, parent);
    return box.exec() == QMessageBox::Yes;
}

QString QtDialogs::inputBox(QWidget *parent, const QString &prompt, const QString &title,
                            const QString &defaultText)
{
    bool ok = false;
    const QString text = QInputDialog::getText(parent, title, prompt, QLineEdit::Normal,
                                               defaultText, &ok);
    return ok ? text : QString();
}

QString QtDialogs::openFileName(QWidget *parent, const QString &dir, const QString &preset)
{
    QFileDialog dlg(parent, QString(), dir, csvFilter());
    dlg.setAcceptMode(QFileDialog::AcceptOpen);
    dlg.setFileMode(QFileDialog::AnyFile);
    if (!preset.isEmpty())
        dlg.selectFile(preset);
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return QString();
    return dlg.selectedFiles().constFirst();
}

QString QtDialogs::saveFileName(QWidget *parent, const QString &dir)
{
    QFileDialog dlg(parent, QString(), dir, csvFilter());
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    // The caller asks before replacing a file, through this same interface.
    dlg.setOption(QFileDialog::DontConfirmOverwrite);
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return QString();
    return dlg.selectedFiles().constFirst();
}

QString QtDialogs::browseForFolder(QWidget *parent, const QString &prompt)
{
    return QFileDialog::getExistingDirectory(parent, prompt);
}

namespace {
void report(const QString &title, const QString &text)
{
    std::fprintf(stderr, "kestrel: %s: %s\n", qPrintable(title), qPrintable(text));
}
} // namespace

void UnattendedDialogs::message(QWidget *, const QString &text, const QString &title)
{
    report(title, text);
}

bool UnattendedDialogs::question(QWidget *, const QString &text, const QString &title)
{
    report(title, text + QStringLiteral(" (answered No)"));
    return false;
}

QString UnattendedDialogs::inputBox(QWidget *, const QString &prompt, const QString &title,
                                    const QString &)
{
    report(title, prompt + QStringLiteral(" (cancelled)"));
    return QString();
}

QString UnattendedDialogs::openFileName(QWidget *, const QString &, const QString &)
{
    return QString();
}

QString UnattendedDialogs::saveFileName(QWidget *, const QString &)
{
    return QString();
}

QString UnattendedDialogs::browseForFolder(QWidget *, const QString &)
{
    return QString();
}
