#pragma once

#include "core/Result.h"

#include <QObject>
#include <QString>

class QFile;
struct Globals;

// "Step:" + the step with a sign position (a blank, or "-") + ", =>" + message.
QString logEntry(int step, const QString &message);

// The playback log: every entry goes to its subscribers (the Playback Log
// window) and, when gLogFile is set, to that file with CR LF, opened and
// closed per entry.
class PlaybackLog : public QObject
{
    Q_OBJECT
public:
    explicit PlaybackLog(Globals &g, QObject *parent = nullptr) : QObject(parent), m_g(g) {}

    // One entry. Subscribers get the control bytes 0 and 1 of stored values
    // as visible symbols; the file gets the entry as passed. A log file that
    // cannot be written never stops playback: the entry is still emitted and
    // the failure is noted once per run.
    void WriteLog(int step, const QString &message);
    // Starts a new run for the once-per-run failure note.
    void beginRun() { m_failureReported = false; }
    // What is recorded next is another script: its runs get a log of their own.
    void forgetFile();

signals:
    // Text for the log window, ended by CR LF where the entry is.
    void textAppended(const QString &text);
    // Something the person at the window should hear of, by kind.
    void notice(const QString &kind, const QString &text);

private:
    Result<> openFile(QFile &f);
    Result<> appendFile(const QString &entry);

    Globals &m_g;
    // The log file this process created and appends to; any other existing
    // file of the name belongs to someone else.
    QString m_ownedFile;
    bool m_failureReported = false;
};
