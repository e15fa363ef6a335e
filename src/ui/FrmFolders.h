#pragma once

#include <QDialog>

class Kestrel;
class QLineEdit;
class QPushButton;

// Default Folders: edits the three default folders.
class FrmFolders : public QDialog
{
    Q_OBJECT
public:
    explicit FrmFolders(Kestrel &k, QWidget *parent = nullptr);

    void showModal();
    void showModeless();

    QLineEdit *txtDftDir;
    QLineEdit *txtDftImgDir;
    QLineEdit *TxtDftLogDir;
    QPushButton *CmdDftDir;
    QPushButton *CmdDftImgDir;
    QPushButton *cmdDftLogDir;
    QPushButton *CmdSave;
    QPushButton *CmdCnl;

private:
    void Form_Load();
    void changeDir(QLineEdit *ctl);
    void CmdSave_Click();

    Kestrel &m_k;
};
