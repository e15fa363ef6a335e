#pragma once

#include <QWidget>

class QPlainTextEdit;

// Playback Log: one text box that the player's entries are appended to.
class FrmLog : public QWidget
{
    Q_OBJECT
public:
    explicit FrmLog(QWidget *parent = nullptr);

    // Appends to the end of the text as it stands, without a separator.
    void appendText(const QString &text);

    QPlainTextEdit *log;
};
