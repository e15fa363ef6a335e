#include "app/Kestrel.h"

#include "core/Dialogs.h"
#include "platform/BrowserElement.h"
#include "platform/Screen.h"
#include "platform/Wait.h"
#include "settings/Settings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QWidget>

#include <cstdio>

Kestrel::Kestrel(Dialogs &dialogs, QObject *parent)
    : QObject(parent), script(session, dialogs, log), browsers(session, dialogs, script),
      player(session, dialogs, log, browsers), recorder(session, dialogs, script, browsers),
      m_dialogs(dialogs)
{
    connect(&log, &PlaybackLog::notice, this, &Kestrel::notice);
    connect(&script, &ScriptDocument::captionChanged, this, [this](const QString &caption) {
        if (m_view)
            m_view->setCaption(caption);
    });
    connect(&script, &ScriptDocument::linesCleared, this, [this] {
        if (m_view)
            m_view->clearEvents();
    });
    connect(&script, &ScriptDocument::lineAppended, this, [this](const QString &text) {
        if (m_view)
            m_view->appendEvents(text);
    });
    connect(&script, &ScriptDocument::renewed, this, [this] {
        showPicture(MainView::Button::Record, QStringLiteral("record-off.bmp"));
        showPicture(MainView::Button::Play, QStringLiteral("play-off.bmp"));
    });
    player.unattended = [this] { return unattended(); };
    connect(&player, &Player::pictureChanged, this, &Kestrel::showPicture);
    connect(&player, &Player::notice, this, &Kestrel::notice);
    connect(&player, &Player::runStarting, this, [this] {
        if (m_view)
            m_view->showLog(true, false);
    });
    connect(&player, &Player::runPassed, this, [this] {
        if (m_view && !unattended())
            m_view->showLog(false, true);
    });
    connect(&player, &Player::stepFailed, this, [this] {
        if (unattended())
            exitCode = 1;
    });
    connect(&player, &Player::unattendedRunOver, this, &Kestrel::endCommandLineRun);
    // One short line per step on standard error, so that a CI log shows
    // where an unattended run is.
    connect(&player, &Player::stepStarted, this, [this](int, const QString &what) {
        m_stepWhat = what.simplified();
        if (m_stepWhat.size() > 80)
            m_stepWhat = m_stepWhat.left(77) + QStringLiteral("...");
    });
    connect(&player, &Player::stepEnded, this,
            [this](int step, bool, const QString &message) {
                if (!unattended())
                    return;
                std::fprintf(stderr, "step %d %s: %s\n", step, qPrintable(m_stepWhat),
                             qPrintable(message.simplified()));
                std::fflush(stderr);
            });
    connect(&browsers, &BrowserStack::navigationStarting, &recorder, &Recorder::stopMouseHook);
    connect(&browsers, &BrowserStack::navigated, &recorder, &Recorder::hookBrowser);
    connect(&recorder, &Recorder::pictureChanged, this, &Kestrel::showPicture);
}

// Where QTemporaryDir is complete.
Kestrel::~Kestrel() = default;

void Kestrel::setView(MainView *view)
{
    m_view = view;
    browsers.setView(view);
    player.setView(view);
    recorder.setView(view);
    script.setDialogParent(view ? view->window() : nullptr);
}

QString Kestrel::joinedCommandLine(const QStringList &args)
{
    const QString joined = args.join(QLatin1Char(' '));
    // `kestrel ""`, as a launcher passing an empty "$1" gives it, names no
    // script: that is the interactive program.
    return joined.trimmed().isEmpty() ? QString() : joined;
}

void Kestrel::setCommandLine(const QStringList &args)
{
    commandLine = joinedCommandLine(args);
}

QString Kestrel::scriptProblem(const QString &path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return info.isSymLink() ? QStringLiteral("is a link to nothing")
                                : QStringLiteral("does not exist");
    if (info.isDir())
        return QStringLiteral("is a folder");
    if (!info.isFile())
        return QStringLiteral("is not a regular file");
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return QStringLiteral("cannot be read: ") + f.errorString();
    return QString();
}

void Kestrel::notice(const QString &kind, const QString &text)
{
    if (!unattended() || m_noticesGiven.contains(kind))
        return;
    m_noticesGiven.insert(kind);
    std::fprintf(stderr, "kestrel: %s\n", qPrintable(text));
    std::fflush(stderr);
}

QString Kestrel::programDir()
{
    return QCoreApplication::applicationDirPath();
}

void Kestrel::showPicture(MainView::Button button, const QString &fileName)
{
    if (m_view)
        m_view->setPicture(button, fileName);
    // Every change of mode that the buttons show passes here.
    showModeSigns();
}

void Kestrel::showModeSigns()
{
    if (m_view)
        m_view->setCheckArmed(session.g.gMode == Mode::Check);
}

bool Kestrel::Form_Load()
{
    // A command line that names no playable file ends the program before any
    // window, and before the folder dialog could wait for a person.
    if (playsAtStart() && !scriptProblem(commandLine).isEmpty()) {
        exitCode = 2;
        return false;
    }
    // Runs started together must not play each other's scripts: an
    // unattended run has a working copy of its own and leaves the shared one
    // of the interactive program alone.
    if (playsAtStart()) {
        const QString temp = temporaryFolder();
        m_privateFolder = std::make_unique<QTemporaryDir>(
            temp.isEmpty() ? QString() : temp + QStringLiteral("/kestrel-XXXXXX"));
        if (temp.isEmpty() || !m_privateFolder->isValid()) {
            std::fprintf(stderr, "kestrel: no private temporary folder for the working copy: %s\n",
                         temp.isEmpty() ? "the temporary folder (TMPDIR) does not exist"
                                        : qPrintable(m_privateFolder->errorString()));
            exitCode = 3;
            return false;
        }
        LoadSettings(session.g, m_privateFolder->filePath(QStringLiteral("tarn_a_s.csv")));
    } else {
        LoadSettings(session.g);
    }

    // Nobody is there to answer the folder dialog in an unattended run: it
    // finds its folders by itself.
    if (playsAtStart() && !chooseUnattendedFolders()) {
        exitCode = 3;
        return false;
    }

    // There is no way past this but three folders.
    while (session.g.gDftLogDir.isEmpty() || session.g.gDftDir.isEmpty()
           || session.g.gDftImgDir.isEmpty())
        m_view->showFolders(true);

    m_view->setCaption(QStringLiteral("Tarn Kestrel - ") + session.g.gFile);
    session.ix = 0;
    session.doingstep = false;
    m_view->setCloseVisible(false);

    const QSize screen = screenSizeTwips();
    m_view->setWindowSizeTwips(screen.width(), screen.height() - 1500);
    m_view->fitBrowser();
    m_view->fitFrame();
    // The page is loaded in a shown window: a hidden view renders no frames,
    // and a page is ready for input only once it has rendered.
    m_view->window()->show();
    Form_Resize();
    m_view->fitFrame();

    browsers.GoToPage(BrowserStack::helpPageUrl());
    m_view->setSilentChecked(true);
    player.Timer1.start();
    return true;
}

bool Kestrel::chooseUnattendedFolders()
{
    Globals &g = session.g;
    // Scripts are named on the command line: the scripts folder only seeds
    // file dialogs, which an unattended run never shows.
    if (g.gDftDir.isEmpty())
        g.gDftDir = QFileInfo(commandLine).absolutePath();
    const struct
    {
        QString given;
        QString &folder;
        const char *kind;
    } folders[] = {{runOptions.imagesDir, g.gDftImgDir, "images"},
                   {runOptions.logsDir, g.gDftLogDir, "logs"}};
    for (const auto &f : folders) {
        const bool fallback = f.given.isEmpty() && f.folder.isEmpty();
        if (!f.given.isEmpty())
            f.folder = QDir(f.given).absolutePath();
        else if (fallback)
            f.folder = defaultOutputFolder(QString::fromLatin1(f.kind));
        else
            continue; // the stored folder, as the interactive program has it
        if (!QDir().mkpath(f.folder)) {
            std::fprintf(stderr, "kestrel: the %s folder %s cannot be created\n", f.kind,
                         qPrintable(f.folder));
            return false;
        }
        if (fallback)
            std::fprintf(stderr, "kestrel: no %s folder is set; using %s\n", f.kind,
                         qPrintable(f.folder));
    }
    std::fflush(stderr);
    return true;
}

void Kestrel::startCommandLineRun()
{
    if (!playsAtStart())
        return;
    script.Open_File(commandLine);
    // Open names the log only once the script is in the working copy; a
    // script that cannot be opened is not played (its reason was reported).
    if (session.g.gLogFile.isEmpty()) {
        exitCode = 2;
        endCommandLineRun();
        return;
    }
    // Named before the first step, so a run killed on the way (a suite's
    // timeout) still has its log found.
    std::fprintf(stderr, "kestrel: playing %s; log %s, images in %s\n",
                 runInWindow ? "in the window" : "unattended", qPrintable(session.g.gLogFile),
                 qPrintable(session.g.gDftImgDir));
    std::fflush(stderr);
    DoEvents();
    // The start-up page has loaded (GoToPage waited for it): a run nobody
    // watches starts at once, one in the window after a second to see it.
    if (runInWindow)
        Sleep(1000);
    DoEvents();
    player.DoPlay();
    DoEvents();
}

void Kestrel::Form_Resize()
{
    if (!m_view || m_view->isMaximized())
        return;
    m_view->maximize();
    m_view->fitBrowser();
}

void Kestrel::Form_Activate()
{
    m_view->setMouseLabel(QStringLiteral("Not Recording Mouse"));
}

void Kestrel::Form_Deactivate()
{
    if (m_view->recordMouseChecked())
        recorder.stopMouseHook();
}

void Kestrel::Form_QueryUnload()
{
    recorder.removeHooks();
    // The program ends with its main window: the windows it owns go too.
    if (m_view) {
        m_view->closeLog();
        m_view->closeFolders();
    }
    emit mainWindowClosed();
}

void Kestrel::closedown()
{
    // A run's own folders and script are not the program's to remember.
    if (const Result<> saved = playsAtStart() ? Result<>() : SaveSettings(session.g); !saved)
        m_dialogs.message(m_view ? m_view->window() : nullptr,
                          QStringLiteral("The settings could not be saved (%1). The last script "
                                         "and the folders will not be remembered.")
                              .arg(saved.error()),
                          Dialogs::appTitle());
    emit closeRequested();
}

void Kestrel::MnuAbout_Click()
{
    if (m_view)
        m_view->showAbout();
}

void Kestrel::mnuFolders_Click()
{
    if (m_view)
        m_view->showFolders(false);
}

void Kestrel::endCommandLineRun()
{
    commandLineRunEnded = true;
    if (unattended() && !session.g.gLogFile.isEmpty()) {
        std::fprintf(stderr, "kestrel: log %s, images in %s\n", qPrintable(session.g.gLogFile),
                     qPrintable(session.g.gDftImgDir));
        std::fflush(stderr);
    }
    if (m_view) {
        m_view->closeLog();
        m_view->window()->close();
    }
    // The program ends here whatever other window is still open; the exit
    // status tells the caller the verdict.
    QCoreApplication::exit(exitCode);
}
