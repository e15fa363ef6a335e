#include "ui/FrmFolders.h"

#include "app/Kestrel.h"
#include "core/Dialogs.h"
#include "platform/Screen.h"
#include "settings/Folders.h"
#include "ui/Captions.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>

FrmFolders::FrmFolders(Kestrel &k, QWidget *parent) : QDialog(parent), m_k(k)
{
    setObjectName(QStringLiteral("FrmFolders"));
    setWindowTitle(QStringLiteral("Default Folders"));
    setFixedSize(twipsToPixelsX(9330), twipsToPixelsY(3090));

    auto label = [this](const char *name, const QString &text, QRect r) {
        auto *l = new QLabel(text, this);
        l->setObjectName(QLatin1String(name));
        l->setGeometry(r);
        fitCaption(l);
    };
    auto edit = [this](const char *name, QRect r) {
        auto *e = new QLineEdit(this);
        e->setObjectName(QLatin1String(name));
        e->setGeometry(r);
        return e;
    };
    auto browse = [this](const char *name, QRect r) {
        auto *b = new QPushButton(this);
        b->setObjectName(QLatin1String(name));
        b->setGeometry(r);
        b->setIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
        b->setIconSize(QSize(20, 20));
        b->setAutoDefault(false);
        return b;
    };
    label("Label1", QStringLiteral("Default Script Directory"), twipsRect(120, 240, 1815, 255));
    txtDftDir = edit("txtDftDir", twipsRect(120, 480, 8175, 285));
    CmdDftDir = browse("CmdDftDir", twipsRect(8400, 480, 495, 375));
    label("Label2", QStringLiteral("Default Image Directory"), twipsRect(120, 840, 1815, 255));
    txtDftImgDir = edit("txtDftImgDir", twipsRect(120, 1080, 8175, 285));
    CmdDftImgDir = browse("CmdDftImgDir", twipsRect(8400, 1080, 495, 375));
    label("Label3", QStringLiteral("Default Log Directory"), twipsRect(120, 1560, 1815, 255));
    TxtDftLogDir = edit("TxtDftLogDir", twipsRect(120, 1800, 8175, 285));
    cmdDftLogDir = browse("cmdDftLogDir", twipsRect(8400, 1800, 495, 375));
    CmdSave = new QPushButton(QStringLiteral("Save"), this);
    CmdSave->setObjectName(QStringLiteral("CmdSave"));
    CmdSave->setGeometry(twipsRect(120, 2640, 615, 375));
    CmdCnl = new QPushButton(QStringLiteral("Cancel"), this);
    CmdCnl->setObjectName(QStringLiteral("CmdCnl"));
    CmdCnl->setGeometry(twipsRect(840, 2640, 615, 375));
    // Whole captions; Cancel moves right as far as Save has grown.
    fitCaption(CmdSave);
    fitCaption(CmdCnl);
    const int gap = twipsToPixelsX(840 - 120 - 615);
    if (CmdCnl->x() < CmdSave->geometry().right() + 1 + gap)
        CmdCnl->move(CmdSave->geometry().right() + 1 + gap, CmdCnl->y());

    setTabOrder(txtDftDir, CmdDftDir);
    setTabOrder(CmdDftDir, txtDftImgDir);
    setTabOrder(txtDftImgDir, CmdDftImgDir);
    setTabOrder(CmdDftImgDir, TxtDftLogDir);
    setTabOrder(TxtDftLogDir, cmdDftLogDir);
    setTabOrder(cmdDftLogDir, CmdSave);
    setTabOrder(CmdSave, CmdCnl);

    connect(CmdDftDir, &QPushButton::clicked, this, [this] { changeDir(txtDftDir); });
    connect(CmdDftImgDir, &QPushButton::clicked, this, [this] { changeDir(txtDftImgDir); });
    connect(cmdDftLogDir, &QPushButton::clicked, this, [this] { changeDir(TxtDftLogDir); });
    connect(CmdSave, &QPushButton::clicked, this, &FrmFolders::CmdSave_Click);
    // Cancel and the close box leave everything as it was.
    connect(CmdCnl, &QPushButton::clicked, this, &QDialog::reject);
}

void FrmFolders::Form_Load()
{
    txtDftDir->setText(m_k.session.g.gDftDir);
    txtDftImgDir->setText(m_k.session.g.gDftImgDir);
    TxtDftLogDir->setText(m_k.session.g.gDftLogDir);
}

void FrmFolders::showModal()
{
    Form_Load();
    setWindowModality(Qt::ApplicationModal);
    exec();
}

void FrmFolders::showModeless()
{
    if (!isVisible())
        Form_Load();
    setWindowModality(Qt::NonModal);
    show();
    raise();
    activateWindow();
}

void FrmFolders::changeDir(QLineEdit *ctl)
{
    // A cancelled picker empties the box, as the user asked for nothing.
    ctl->setText(m_k.dialogs().browseForFolder(this, FolderCheck::browsePrompt()));
}

void FrmFolders::CmdSave_Click()
{
    FolderCheck check(m_k.dialogs(), this);
    if (check.save(m_k.session.g, txtDftDir->text(), txtDftImgDir->text(), TxtDftLogDir->text()))
        accept();
}
