#include "script/ScriptDocument.h"

#include "core/Dialogs.h"
#include "core/Session.h"
#include "script/PlaybackLog.h"
#include "script/ScriptFiles.h"
#include "script/ScriptReader.h"
#include "script/ScriptWriter.h"

#include <QFile>
#include <QFileInfo>

ScriptDocument::ScriptDocument(Session &session, Dialogs &dialogs, PlaybackLog &log,
                               QObject *parent)
    : QObject(parent), m_session(session), m_dialogs(dialogs), m_log(log)
{
}

void ScriptDocument::AppendScriptLine(const QString &Type, const QString &Object,
                                      const QString &TagName, const QString &Method,
                                      const QString &Value, const QString &Value2)
{
    if (!m_session.recordingOrChecking())
        return;
    emit lineAppended(displayForm(Object, Method, Value, Value2));

    const Result<> stored =
        appendScriptFileLine(m_session.g.gTempFile, {Type, Object, TagName, Method, Value, Value2});
    if (stored) {
        m_failureShown = false;
        return;
    }
    // Recording goes on; one message per spell of failures, not one per click.
    if (m_failureShown)
        return;
    m_failureShown = true;
    m_dialogs.message(m_dialogParent,
                      QStringLiteral("The step could not be stored in the working copy %1: %2\n"
                                     "It is listed but will not be saved or played.")
                          .arg(m_session.g.gTempFile, stored.error()),
                      Dialogs::appTitle());
}

void ScriptDocument::mnuFileNew_Click()
{
    m_session.g.gFile.clear();
    emit captionChanged(QStringLiteral("Tarn Kestrel"));
    m_session.g.gMode = Mode::Idle;
    m_log.forgetFile();
    emit renewed();
    emit linesCleared();
    // An absent working copy is what New wants anyway.
    QFile::remove(m_session.g.gTempFile);
}

void ScriptDocument::Open_File(const QString &fnam)
{
    QString path = fnam;
    if (path.isEmpty()) {
        path = m_dialogs.openFileName(m_dialogParent, m_session.g.gDftDir, m_session.g.gFile);
        if (path.isEmpty())
            return;
    }

    // Everything is checked before anything changes: a failed Open leaves
    // the script, the working copy and the log name as they were.
    bool readable = false;
    if (const Result<> copied = copyFileAtomically(path, m_session.g.gTempFile, &readable);
        !copied) {
        const QString &error = copied.error();
        if (!readable) {
            m_dialogs.message(m_dialogParent,
                              QStringLiteral("The script %1 cannot be opened: %2").arg(path, error),
                              Dialogs::appTitle());
            return;
        }
        m_dialogs.message(m_dialogParent,
                          QStringLiteral("The script %1 cannot be copied to the working copy "
                                         "%2: %3")
                              .arg(path, m_session.g.gTempFile, error),
                          Dialogs::appTitle());
        return;
    }

    m_session.g.gFile = path;
    m_session.scriptName = scriptNameOf(m_session.g.gFile);
    m_session.g.gLogFile =
        logFileName(m_session.g.gDftLogDir, m_session.scriptName, ScriptClock::now());
    emit captionChanged(QStringLiteral("Tarn Kestrel - ") + m_session.g.gFile);
    emit linesCleared();
    // Listed from the working copy, which holds exactly the script's bytes
    // now, a piece at a time however long the script is.
    ScriptStream stream(m_session.g.gTempFile);
    if (!stream.open())
        return;
    // The box is a display only: a script of many megabytes is listed as
    // far as a person would read, so it does not cost memory many times its
    // size, and the box says how much is left out.
    constexpr qsizetype kListed = 1024 * 1024;
    QString listing;
    qsizetype shown = 0;
    int lines = 0, left = 0;
    while (const std::optional<ScriptLine> line = stream.next()) {
        ++lines;
        if (shown > kListed) {
            ++left;
            continue;
        }
        listing += storedDisplayForm(*line);
        if (listing.size() > 64 * 1024) {
            shown += listing.size();
            emit lineAppended(listing);
            listing.clear();
        }
    }
    if (left > 0)
        listing += QStringLiteral("... %1 more of the script's %2 lines are not listed here\r\n")
                       .arg(left)
                       .arg(lines);
    emit lineAppended(listing);
}

void ScriptDocument::SaveFile(bool force_file)
{
    QString error;
    const QFileInfo working(m_session.g.gTempFile);
    if (!working.isFile()) {
        m_dialogs.message(m_dialogParent,
                          QStringLiteral("Nothing has been recorded yet, so there is no script "
                                         "to save."),
                          Dialogs::appTitle());
        return;
    }

    QString target = m_session.g.gFile;
    if (target.isEmpty() || force_file) {
        target = m_dialogs.saveFileName(m_dialogParent, m_session.g.gDftDir);
        if (target.isEmpty())
            return;
        if (QFileInfo(target).isFile()
            && !m_dialogs.question(
                m_dialogParent,
                QStringLiteral("%1 already exists.\nDo you want to replace it?").arg(target),
                Dialogs::appTitle()))
            return;
    }

    if (const Result<> copied = copyFileAtomically(m_session.g.gTempFile, target); !copied) {
        m_dialogs.message(
            m_dialogParent,
            QStringLiteral("The script could not be saved as %1: %2").arg(target, copied.error()),
            Dialogs::appTitle());
        return;
    }
    m_session.g.gFile = target;
}
