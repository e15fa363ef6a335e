#pragma once

#include <QWidget>

class QPlainTextEdit;

// Playback Log: one text box that the player's entries are appended to.
class FrmLog : public QWidget
{
    Q_OBJECT
public:
    explicit FrmLog(QWidget *parent = nullptr);

    QPlainTextEdit *log;
};
