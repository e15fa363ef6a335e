#include "ui/frmHelpAbout.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QVBoxLayout>

frmHelpAbout::frmHelpAbout(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmHelpAbout"));
    setWindowTitle(QStringLiteral("About Kestrel"));
    setModal(true);

    auto *picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("picIcon"));
    picture->setPixmap(QPixmap(QStringLiteral(":/kestrel/kestrel.bmp")));

    auto *title = new QLabel(QStringLiteral("Kestrel Ver 1.0"), this);
    title->setObjectName(QStringLiteral("lblVersion"));
    QFont f = title->font();
    f.setBold(true);
    f.setPointSizeF(12);
    title->setFont(f);
    auto *desc = new QLabel(QStringLiteral("Records tests of web pages as scripts and plays "
                                           "them back, unattended if need be."),
                            this);
    desc->setWordWrap(true);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto *text = new QVBoxLayout;
    text->addWidget(title);
    text->addWidget(desc);
    text->addStretch();
    auto *row = new QHBoxLayout;
    row->addWidget(picture, 0, Qt::AlignTop);
    row->addLayout(text, 1);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(buttons);
    resize(380, 160);
}
