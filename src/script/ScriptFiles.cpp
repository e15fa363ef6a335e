#include "script/ScriptFiles.h"

#include "app/Kestrel.h"
#include "platform/Dialogs.h"
#include "script/ScriptReader.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

std::function<QDateTime()> ScriptClock::now = [] { return QDateTime::currentDateTime(); };

QString fileTimeStamp(const QDateTime &time)
{
    return time.toString(QStringLiteral("yyyy-MM-dd-HHmmss"));
}

QString scriptNameOf(const QString &scriptPath)
{
    return QLatin1Char('/') + QFileInfo(scriptPath).completeBaseName();
}

QString logFileName(const QString &logDir, const QString &scriptName, const QDateTime &time)
{
    return logDir + scriptName + QLatin1Char('_') + fileTimeStamp(time) + QStringLiteral(".log");
}

bool writeFileAtomically(const QString &path, const QByteArray &bytes, QString *errorText)
{
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly)) {
        *errorText = f.errorString();
        return false;
    }
    if (f.write(bytes) != bytes.size()) {
        *errorText = f.errorString();
        f.cancelWriting();
        return false;
    }
    if (!f.commit()) {
        *errorText = f.errorString();
        return false;
    }
    return true;
}

bool copyFileAtomically(const QString &from, const QString &to, QString *errorText,
                        bool *sourceReadable)
{
    if (sourceReadable)
        *sourceReadable = false;
    const QString problem = fileProblem(from);
    if (!problem.isEmpty()) {
        *errorText = problem;
        return false;
    }
    QFile source(from);
    if (!source.open(QIODevice::ReadOnly)) {
        *errorText = source.errorString();
        return false;
    }
    if (sourceReadable)
        *sourceReadable = true;
    QSaveFile target(to);
    if (!target.open(QIODevice::WriteOnly)) {
        *errorText = target.errorString();
        return false;
    }
    QByteArray chunk;
    while (!(chunk = source.read(256 * 1024)).isEmpty()) {
        if (target.write(chunk) != chunk.size()) {
            *errorText = target.errorString();
            target.cancelWriting();
            return false;
        }
    }
    if (source.error() != QFileDevice::NoError) {
        *errorText = source.errorString();
        if (sourceReadable)
            *sourceReadable = false;
        target.cancelWriting();
        return false;
    }
    if (!target.commit()) {
        *errorText = target.errorString();
        return false;
    }
    return true;
}

namespace {
QWidget *parentOf(Kestrel &k)
{
    return k.view() ? k.view()->window() : nullptr;
}
} // namespace

void Kestrel::mnuFileNew_Click()
{
    g.gFile.clear();
    if (m_view)
        m_view->setCaption(QStringLiteral("Tarn Kestrel"));
    g.gMode.clear();
    // What is recorded next is another script: its runs get a log of their own.
    g.gLogFile.clear();
    ownedLogFile.clear();
    showPicture(MainView::Button::Record, QStringLiteral("record-off.bmp"));
    showPicture(MainView::Button::Play, QStringLiteral("play-off.bmp"));
    if (m_view)
        m_view->clearEvents();
    // An absent working copy is what New wants anyway.
    QFile::remove(g.gTempFile);
}

void Kestrel::Open_File(const QString &fnam)
{
    QString path = fnam;
    if (path.isEmpty()) {
        path = m_dialogs.openFileName(parentOf(*this), g.gDftDir, g.gFile);
        if (path.isEmpty())
            return;
    }

    // Everything is checked before anything changes: a failed Open leaves
    // the script, the working copy and the log name as they were.
    QString error;
    bool readable = false;
    if (!copyFileAtomically(path, g.gTempFile, &error, &readable)) {
        if (!readable) {
            m_dialogs.message(parentOf(*this),
                              QStringLiteral("The script %1 cannot be opened: %2").arg(path, error),
                              Dialogs::appTitle());
            return;
        }
        m_dialogs.message(parentOf(*this),
                          QStringLiteral("The script %1 cannot be copied to the working copy "
                                         "%2: %3")
                              .arg(path, g.gTempFile, error),
                          Dialogs::appTitle());
        return;
    }

    g.gFile = path;
    w.scriptName = scriptNameOf(g.gFile);
    g.gLogFile = logFileName(g.gDftLogDir, w.scriptName, ScriptClock::now());
    if (!m_view)
        return;
    m_view->setCaption(QStringLiteral("Tarn Kestrel - ") + g.gFile);
    m_view->clearEvents();
    // Listed from the working copy, which holds exactly the script's bytes
    // now, a piece at a time however long the script is.
    ScriptStream stream(g.gTempFile);
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
            m_view->appendEvents(listing);
            listing.clear();
        }
    }
    if (left > 0)
        listing += QStringLiteral("... %1 more of the script's %2 lines are not listed here\r\n")
                       .arg(left)
                       .arg(lines);
    m_view->appendEvents(listing);
}

void Kestrel::SaveFile(bool force_file)
{
    QString error;
    const QFileInfo working(g.gTempFile);
    if (!working.isFile()) {
        m_dialogs.message(parentOf(*this),
                          QStringLiteral("Nothing has been recorded yet, so there is no script "
                                         "to save."),
                          Dialogs::appTitle());
        return;
    }

    QString target = g.gFile;
    if (target.isEmpty() || force_file) {
        target = m_dialogs.saveFileName(parentOf(*this), g.gDftDir);
        if (target.isEmpty())
            return;
        if (QFileInfo(target).isFile()
            && !m_dialogs.question(parentOf(*this),
                                   QStringLiteral("%1 already exists.\nDo you want to replace it?")
                                       .arg(target),
                                   Dialogs::appTitle()))
            return;
    }

    if (!copyFileAtomically(g.gTempFile, target, &error)) {
        m_dialogs.message(parentOf(*this),
                          QStringLiteral("The script could not be saved as %1: %2")
                              .arg(target, error),
                          Dialogs::appTitle());
        return;
    }
    g.gFile = target;
}
