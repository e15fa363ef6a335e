#include "ui/QtDialogs.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

void QtDialogs::message(QObject *parentObject, const QString &text, const QString &title)
{
    QWidget *parent = qobject_cast<QWidget *>(parentObject);
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, parent);
    box.exec();
}

bool QtDialogs::question(QObject *parentObject, const QString &text, const QString &title)
{
    QWidget *parent = qobject_cast<QWidget *>(parentObject);
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Yes | QMessageBox::No, parent);
    return box.exec() == QMessageBox::Yes;
}

QString QtDialogs::inputBox(QObject *parentObject, const QString &prompt, const QString &title,
                            const QString &defaultText)
{
    QWidget *parent = qobject_cast<QWidget *>(parentObject);
    bool ok = false;
    const QString text =
        QInputDialog::getText(parent, title, prompt, QLineEdit::Normal, defaultText, &ok);
    return ok ? text : QString();
}

QString QtDialogs::openFileName(QObject *parentObject, const QString &dir, const QString &preset)
{
    QWidget *parent = qobject_cast<QWidget *>(parentObject);
    QFileDialog dlg(parent, QString(), dir, csvFilter());
    dlg.setAcceptMode(QFileDialog::AcceptOpen);
    dlg.setFileMode(QFileDialog::AnyFile);
    if (!preset.isEmpty())
        dlg.selectFile(preset);
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return QString();
    return dlg.selectedFiles().constFirst();
}

QString QtDialogs::saveFileName(QObject *parentObject, const QString &dir)
{
    QWidget *parent = qobject_cast<QWidget *>(parentObject);
    QFileDialog dlg(parent, QString(), dir, csvFilter());
    dlg.setAcceptMode(QFileDialog::AcceptSave);
    // The caller asks before replacing a file, through this same interface.
    dlg.setOption(QFileDialog::DontConfirmOverwrite);
    if (dlg.exec() != QDialog::Accepted || dlg.selectedFiles().isEmpty())
        return QString();
    return dlg.selectedFiles().constFirst();
}

QString QtDialogs::browseForFolder(QObject *parentObject, const QString &prompt)
{
    QWidget *parent = qobject_cast<QWidget *>(parentObject);
    return QFileDialog::getExistingDirectory(parent, prompt);
}
