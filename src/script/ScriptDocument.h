#pragma once

#include <QObject>
#include <QString>

class Dialogs;
class PlaybackLog;
struct Session;

// The script being recorded or played: its working copy and File > New,
// Open, Save and Save as. Whoever shows the script subscribes to the signals.
class ScriptDocument : public QObject
{
    Q_OBJECT
public:
    ScriptDocument(Session &session, Dialogs &dialogs, PlaybackLog &log, QObject *parent = nullptr);

    // The window the file dialogs and messages belong to.
    void setDialogParent(QObject *parent) { m_dialogParent = parent; }

    // The one writer of script lines. Only in mode "record" or "check":
    // emits the display line (values as passed) and appends the file line to
    // the working copy, which is opened and closed again so the line is on
    // disk when the call returns. A working copy that cannot be written is
    // reported once in a message box until a line is stored again; the
    // display line is kept.
    void AppendScriptLine(const QString &Type, const QString &Object, const QString &TagName,
                          const QString &Method, const QString &Value, const QString &Value2);

    // File > New: no script, no mode, no log, no working copy.
    void mnuFileNew_Click();
    // Opens fnam (asks for one when empty) into the working copy and lists it.
    void Open_File(const QString &fnam);
    // Save (force_file false: to gFile if set) or Save as (true: asks).
    void SaveFile(bool force_file);

signals:
    void captionChanged(const QString &caption);
    // The script's display lines: all gone, or more of them (CR LF ended).
    void linesCleared();
    void lineAppended(const QString &text);
    // File > New happened: the window shows nothing recorded or played.
    void renewed();

private:
    Session &m_session;
    Dialogs &m_dialogs;
    PlaybackLog &m_log;
    QObject *m_dialogParent = nullptr;
    // A failure to store a line was shown; cleared once a line is stored.
    bool m_failureShown = false;
};
