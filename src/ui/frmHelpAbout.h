#pragma once

#include <QDialog>

// About: the program's name and version with its picture.
class frmHelpAbout : public QDialog
{
    Q_OBJECT
public:
    explicit frmHelpAbout(QWidget *parent = nullptr);
};
