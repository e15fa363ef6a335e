#include "app/Kestrel.h"

#include "platform/BrowserElement.h"
#include "platform/Dialogs.h"
#include "platform/Screen.h"
#include "platform/Wait.h"
#include "settings/Settings.h"
#include "ui/FrmFolders.h"
#include "ui/FrmLog.h"
#include "ui/frmHelpAbout.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QWidget>

namespace {
int stepInterval()
{
    bool ok = false;
    const int ms = qEnvironmentVariableIntValue("KESTREL_STEP_INTERVAL_MS", &ok);
    return ok && ms > 0 ? ms : 2000;
}
} // namespace

Kestrel::Kestrel(Dialogs &dialogs, QObject *parent) : QObject(parent), m_dialogs(dialogs)
{
    Timer1.setInterval(stepInterval());
    connect(&Timer1, &QTimer::timeout, this, &Kestrel::Timer1_Timer);
    initBrowsing();
}

Kestrel::~Kestrel()
{
    BrowserElement::setPageDialogHandler({});
    HookManager::instance().HookRemove(this, HookManager::Mouse);
    HookManager::instance().HookRemove(this, HookManager::Keyboard);
    delete m_frmLog;
    delete m_frmFolders;
    delete m_about;
}

QString Kestrel::programDir()
{
    return QCoreApplication::applicationDirPath();
}

QString Kestrel::helpPageUrl()
{
    return QStringLiteral("kestrel://help/testing/kestrel-help.php");
}

void Kestrel::showPicture(MainView::Button button, const QString &fileName)
{
    if (m_view)
        m_view->setPicture(button, fileName);
}

bool Kestrel::Form_Load()
{
    LoadSettings(g);

    // A command line that names no existing file ends the program before any
    // window, and before the folder dialog could wait for a person.
    if (commandLineNamesMissingFile()) {
        exitCode = 2;
        return false;
    }

    // Nobody is there to answer the folder dialog in an unattended run.
    const bool foldersMissing =
        g.gDftLogDir.isEmpty() || g.gDftDir.isEmpty() || g.gDftImgDir.isEmpty();
    if (foldersMissing && !commandLine.isEmpty()) {
        exitCode = 3;
        return false;
    }

    // There is no way past this but three folders.
    while (g.gDftLogDir.isEmpty() || g.gDftDir.isEmpty() || g.gDftImgDir.isEmpty())
        frmFolders()->showModal();

    m_view->setCaption(QStringLiteral("Tarn Kestrel - ") + g.gFile);
    w.ix = 0;
    w.doingstep = false;
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

    GoToPage(helpPageUrl());
    m_view->setSilentChecked(true);
    Timer1.start();
    return true;
}

bool Kestrel::commandLineNamesMissingFile() const
{
    return !commandLine.isEmpty() && !QFileInfo(commandLine).isFile();
}

void Kestrel::startCommandLineRun()
{
    if (commandLine.isEmpty())
        return;
    Open_File(commandLine);
    // Open names the log only once the script is in the working copy; a
    // script that cannot be opened is not played (its reason was reported).
    if (g.gLogFile.isEmpty()) {
        exitCode = 2;
        endCommandLineRun();
        return;
    }
    DoEvents();
    Sleep(1000);
    DoEvents();
    DoPlay();
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
        HookManager::instance().HookRemove(this, HookManager::Mouse);
}

void Kestrel::Form_QueryUnload()
{
    if (m_view && m_view->recordMouseChecked())
        HookManager::instance().HookRemove(this, HookManager::Mouse);
    HookManager::instance().HookRemove(this, HookManager::Keyboard);
}

void Kestrel::closedown()
{
    SaveSettings(g);
    emit closeRequested();
}

void Kestrel::MnuAbout_Click()
{
    aboutWindow()->exec();
}

void Kestrel::mnuFolders_Click()
{
    frmFolders()->showModeless();
}

FrmLog *Kestrel::frmLog()
{
    if (!m_frmLog)
        m_frmLog = new FrmLog;
    return m_frmLog;
}

void Kestrel::appendLogText(const QString &text)
{
    frmLog()->appendText(text);
}

FrmFolders *Kestrel::frmFolders()
{
    if (!m_frmFolders)
        m_frmFolders = new FrmFolders(*this);
    return m_frmFolders;
}

frmHelpAbout *Kestrel::aboutWindow()
{
    if (!m_about)
        m_about = new frmHelpAbout(m_view ? m_view->window() : nullptr);
    return m_about;
}
