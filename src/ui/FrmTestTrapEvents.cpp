#include "ui/FrmTestTrapEvents.h"

#include "app/Kestrel.h"
#include "platform/BrowserElement.h"
#include "platform/Screen.h"
#include "ui/Captions.h"
#include "ui/FrmFolders.h"
#include "ui/FrmLog.h"
#include "ui/frmHelpAbout.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QFile>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QWindow>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStyle>
#include <QTimer>

namespace {

QPushButton *pictureButton(QWidget *parent, const char *name, const QString &tip, QRect r)
{
    auto *b = new QPushButton(parent);
    b->setObjectName(QLatin1String(name));
    b->setToolTip(tip);
    b->setGeometry(r);
    b->setIconSize(QSize(r.width() - 6, r.height() - 4));
    return b;
}

QIcon builtInPicture(const QString &fileName, const QStyle *style)
{
    if (fileName.startsWith(QLatin1String("record")))
        return style->standardIcon(QStyle::SP_DialogNoButton);
    if (fileName.startsWith(QLatin1String("pause")))
        return style->standardIcon(QStyle::SP_MediaPause);
    return style->standardIcon(QStyle::SP_MediaPlay);
}

// The Automation box is wider than designed so its lines can be read.
constexpr int kFrameExtraTwips = 2400;
const QString kCheckArmed = QStringLiteral("Check: click the element to check");

// The strip between the Automation box and the browser: dragging it widens
// one and narrows the other.
class ColumnHandle : public QWidget
{
public:
    ColumnHandle(QWidget *parent, std::function<void(int)> moved)
        : QWidget(parent), m_moved(std::move(moved))
    {
        setObjectName(QStringLiteral("automationSplitter"));
        setCursor(Qt::SplitHCursor);
    }

protected:
    void mousePressEvent(QMouseEvent *event) override
    {
        m_grab = event->position().x();
    }
    void mouseMoveEvent(QMouseEvent *event) override
    {
        if (event->buttons() & Qt::LeftButton)
            m_moved(mapToParent(event->position().toPoint()).x() - qRound(m_grab));
    }

private:
    std::function<void(int)> m_moved;
    double m_grab = 0;
};

} // namespace

FrmTestTrapEvents::FrmTestTrapEvents(Kestrel &k, QWidget *parent) : QMainWindow(parent), m_k(k)
{
    setObjectName(QStringLiteral("FrmTestTrapEvents"));
    setWindowTitle(QStringLiteral("Tarn Kestrel"));
    // The Playback Log window shows every entry of the log, created on the
    // first one.
    connect(&k.log, &PlaybackLog::textAppended, this,
            [this](const QString &text) { frmLog()->appendText(text); });

    QMenu *file = menuBar()->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("mnuFile"));
    mnuFileNew = file->addAction(QStringLiteral("&New"));
    MnuFileOpen = file->addAction(QStringLiteral("&Open"));
    mnuSave = file->addAction(QStringLiteral("&Save"));
    mnuSaveAs = file->addAction(QStringLiteral("Save &as"));
    MnuExit = file->addAction(QStringLiteral("E&xit"));
    QMenu *options = menuBar()->addMenu(QStringLiteral("&Options"));
    options->setObjectName(QStringLiteral("mnuoptions"));
    mnuFolders = options->addAction(QStringLiteral("&Folders"));
    QMenu *help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("mnuHelp"));
    MnuAbout = help->addAction(QStringLiteral("&About"));
    mnuFileNew->setObjectName(QStringLiteral("mnuFileNew"));
    MnuFileOpen->setObjectName(QStringLiteral("MnuFileOpen"));
    mnuSave->setObjectName(QStringLiteral("mnuSave"));
    mnuSaveAs->setObjectName(QStringLiteral("mnuSaveAs"));
    MnuExit->setObjectName(QStringLiteral("MnuExit"));
    mnuFolders->setObjectName(QStringLiteral("mnuFolders"));
    MnuAbout->setObjectName(QStringLiteral("MnuAbout"));

    auto *client = new QWidget(this);
    setCentralWidget(client);
    // The layout's sizes were made for a small 8-point face.
    QFont small = client->font();
    small.setPointSizeF(8);
    client->setFont(small);

    CmdRecord = pictureButton(client, "CmdRecord", QStringLiteral("Record"), twipsRect(120, 120, 500, 400));
    CmdPlay = pictureButton(client, "CmdPlay", QStringLiteral("Play"), twipsRect(720, 120, 500, 400));
    CmdStop = pictureButton(client, "CmdStop", QStringLiteral("Stop"), twipsRect(1320, 120, 500, 400));
    CmdManual = pictureButton(client, "CmdManual", QStringLiteral("Manual Step"), twipsRect(120, 600, 500, 400));
    CmdSnapshot = pictureButton(client, "CmdSnapshot", QString(), twipsRect(720, 600, 495, 400));
    CmdCheck = pictureButton(client, "CmdCheck", QStringLiteral("Check"), twipsRect(1320, 600, 500, 400));
    CmdStop->setIcon(style()->standardIcon(QStyle::SP_MediaStop));
    CmdManual->setIcon(style()->standardIcon(QStyle::SP_FileDialogDetailedView));
    CmdSnapshot->setIcon(style()->standardIcon(QStyle::SP_DesktopIcon));
    CmdCheck->setIcon(style()->standardIcon(QStyle::SP_DialogApplyButton));
    setPicture(Button::Record, QStringLiteral("record-off.bmp"));
    setPicture(Button::Play, QStringLiteral("play-off.bmp"));

    chkSilent = new QCheckBox(QStringLiteral("Silent"), client);
    chkSilent->setObjectName(QStringLiteral("chkSilent"));
    chkSilent->setGeometry(twipsRect(1920, 720, 1455, 255));
    ChkWindowsEvent = new QCheckBox(QStringLiteral("Record mouse"), client);
    ChkWindowsEvent->setObjectName(QStringLiteral("ChkWindowsEvent"));
    ChkWindowsEvent->setGeometry(twipsRect(1920, 1080, 1455, 255));
    LblMouse = new QLabel(client);
    LblMouse->setObjectName(QStringLiteral("LblMouse"));
    // A little wider than designed, so the whole caption shows.
    LblMouse->setGeometry(twipsRect(120, 1080, 1785, 255));

    FrmAutomation = new QGroupBox(QStringLiteral("Automation"), client);
    FrmAutomation->setObjectName(QStringLiteral("FrmAutomation"));
    FrmAutomation->setGeometry(twipsRect(120, 1680, 3255 + kFrameExtraTwips, 9855));
    TxtEvents = new QPlainTextEdit(FrmAutomation);
    TxtEvents->setObjectName(QStringLiteral("TxtEvents"));
    TxtEvents->setGeometry(twipsRect(120, 240, 3015 + kFrameExtraTwips, 5175));
    TxtEvents->setLineWrapMode(QPlainTextEdit::NoWrap);
    TxtEvents->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    TxtEvents->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Label3 = new QLabel(QStringLiteral("Kestrel Ver 1.0"), FrmAutomation);
    Label3->setObjectName(QStringLiteral("Label3"));
    Label3->setGeometry(twipsRect(120, 5520, 2175, 255));
    QFont bold = Label3->font();
    bold.setBold(true);
    bold.setPointSizeF(9.75);
    Label3->setFont(bold);
    Label2 = new QLabel(BrowserStack::helpPageUrl(), FrmAutomation);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setGeometry(twipsRect(120, 5760, 2175 + 900, 255));

    Label1 = new QLabel(QStringLiteral("URL"), client);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(twipsRect(3480, 120, 495, 255));
    TxtURL = new QLineEdit(client);
    TxtURL->setObjectName(QStringLiteral("TxtURL"));
    TxtURL->setGeometry(twipsRect(4080, 120, 5295, 285));
    auto button = [client](const char *name, const QString &caption, QRect r) {
        auto *b = new QPushButton(caption, client);
        b->setObjectName(QLatin1String(name));
        b->setGeometry(r);
        return b;
    };
    CmdGo = button("CmdGo", QStringLiteral("&Go"), twipsRect(9480, 120, 735, 375));
    CmdBack = button("CmdBack", QStringLiteral("&Back"), twipsRect(10320, 120, 615, 375));
    CmdBrowserStop = button("CmdBrowserStop", QStringLiteral("S&top"), twipsRect(11040, 120, 615, 375));
    CmdClose = button("CmdClose", QStringLiteral("C&lose"), twipsRect(11760, 120, 615, 375));
    LblSts = new QLabel(client);
    LblSts->setObjectName(QStringLiteral("LblSts"));
    LblSts->setGeometry(twipsRect(12600, 120, 1695, 255));

    // The browser elements are stacked in one cell; only element ix is shown.
    wbMyBrowser = new QWidget(client);
    wbMyBrowser->setObjectName(QStringLiteral("wbMyBrowser"));
    wbMyBrowser->setGeometry(twipsRect(3480 + kFrameExtraTwips, 480, 8000, 12495));
    // The Automation box and the browser share the width as the user drags.
    m_splitter = new ColumnHandle(client, [this](int x) { moveSplitter(x); });
    m_splitter->setGeometry(FrmAutomation->geometry().right() + 1, wbMyBrowser->y(),
                            wbMyBrowser->x() - FrmAutomation->geometry().right() - 1,
                            wbMyBrowser->height());


    auto *stack = new QGridLayout(wbMyBrowser);
    stack->setContentsMargins(0, 0, 0, 0);
    auto *element0 = new BrowserElement(0, wbMyBrowser);
    stack->addWidget(element0, 0, 0);
    m_k.browsers.wbMyBrowser = {element0};
    m_k.browsers.connectBrowser(element0);

    connect(mnuFileNew, &QAction::triggered, &m_k.script, &ScriptDocument::mnuFileNew_Click);
    connect(MnuFileOpen, &QAction::triggered, &m_k, [this] { m_k.script.Open_File(QString()); });
    connect(mnuSave, &QAction::triggered, &m_k, [this] { m_k.script.SaveFile(false); });
    connect(mnuSaveAs, &QAction::triggered, &m_k, [this] { m_k.script.SaveFile(true); });
    connect(CmdGo, &QPushButton::clicked, &m_k.browsers, &BrowserStack::CmdGo_Click);
    connect(CmdBack, &QPushButton::clicked, &m_k.browsers, &BrowserStack::CmdBack_Click);
    connect(CmdBrowserStop, &QPushButton::clicked, &m_k.browsers,
            &BrowserStack::CmdBrowserStop_Click);
    connect(CmdClose, &QPushButton::clicked, &m_k.browsers, &BrowserStack::CmdClose_Click);
    connect(TxtURL, &QLineEdit::returnPressed, &m_k,
            [this] { m_k.browsers.TxtURL_KeyDown(13, 0); });
    connect(CmdPlay, &QPushButton::clicked, &m_k.player, &Player::DoPlay);
    connect(CmdStop, &QPushButton::clicked, &m_k.player, &Player::CmdStop_Click);
    connect(CmdRecord, &QPushButton::clicked, &m_k.recorder, &Recorder::CmdRecord_Click);
    connect(CmdManual, &QPushButton::clicked, &m_k.recorder, &Recorder::CmdManual_Click);
    connect(CmdSnapshot, &QPushButton::clicked, &m_k.recorder, &Recorder::CmdSnapshot_Click);
    connect(CmdCheck, &QPushButton::clicked, &m_k.recorder, &Recorder::CmdCheck_Click);
    // Check mode shows until the check is taken: the button stays down.
    // Every command may change the mode; its sign follows once it has run.
    CmdCheck->setCheckable(true);
    for (QPushButton *b : {CmdRecord, CmdPlay, CmdStop, CmdManual, CmdSnapshot, CmdCheck})
        connect(b, &QPushButton::clicked, &m_k, &Kestrel::showModeSigns);
    connect(mnuFileNew, &QAction::triggered, &m_k, &Kestrel::showModeSigns);
    connect(ChkWindowsEvent, &QCheckBox::clicked, &m_k.recorder, &Recorder::ChkWindowsEvent_Click);
    connect(MnuExit, &QAction::triggered, &m_k, &Kestrel::closedown);
    connect(MnuAbout, &QAction::triggered, &m_k, &Kestrel::MnuAbout_Click);
    connect(mnuFolders, &QAction::triggered, &m_k, &Kestrel::mnuFolders_Click);
    connect(&m_k, &Kestrel::closeRequested, this, &QWidget::close);
    // Every change of the active window counts, also one that comes back
    // from another program straight to one of Kestrel's other windows.
    connect(qGuiApp, &QGuiApplication::focusWindowChanged, this,
            [this] { QTimer::singleShot(0, this, &FrmTestTrapEvents::activationChanged); });

    m_k.setView(this);
}

FrmTestTrapEvents::~FrmTestTrapEvents()
{
    // The folders dialog is a window of its own, without a parent.
    delete m_frmFolders;
    m_k.setView(nullptr);
    m_k.browsers.wbMyBrowser.clear();
}

QWidget *FrmTestTrapEvents::browserArea() { return wbMyBrowser; }
void FrmTestTrapEvents::setCaption(const QString &caption) { setWindowTitle(caption); }

void FrmTestTrapEvents::setPicture(Button button, const QString &fileName)
{
    QPushButton *b = button == Button::Record ? CmdRecord : CmdPlay;
    const QString path = Kestrel::programDir() + QLatin1Char('/') + fileName;
    QIcon icon(path);
    // A missing picture never stops anything: the button gets a built-in one.
    if (!QFile::exists(path) || icon.isNull())
        icon = builtInPicture(fileName, style());
    b->setIcon(icon);
    b->setProperty("picture", fileName);
}

QString FrmTestTrapEvents::eventsText() const { return TxtEvents->toPlainText(); }

void FrmTestTrapEvents::appendEvents(const QString &text)
{
    appendFollowing(TxtEvents, text);
}

void FrmTestTrapEvents::clearEvents() { TxtEvents->clear(); }
QString FrmTestTrapEvents::urlText() const { return TxtURL->text(); }
void FrmTestTrapEvents::setUrlText(const QString &text) { TxtURL->setText(text); }
QString FrmTestTrapEvents::statusText() const { return m_status; }

void FrmTestTrapEvents::setStatusText(const QString &text)
{
    m_status = text;
    LblSts->setText(text.isEmpty() && m_checkArmed ? kCheckArmed : text);
    fitCaption(LblSts);
}

void FrmTestTrapEvents::setCheckArmed(bool armed)
{
    m_checkArmed = armed;
    CmdCheck->setChecked(armed);
    setStatusText(m_status);
}

void FrmTestTrapEvents::moveSplitter(int x)
{
    // Neither side narrower than designed.
    const int gap = m_splitter->width();
    const int minFrame = twipsToPixelsX(3255);
    const int maxFrame = std::max(minFrame, width() - FrmAutomation->x() - gap
                                                - twipsToPixelsX(8000));
    const int frame = std::clamp(x - FrmAutomation->x(), minFrame, maxFrame);
    const int delta = frame - FrmAutomation->width();
    if (delta == 0)
        return;
    FrmAutomation->resize(frame, FrmAutomation->height());
    TxtEvents->resize(TxtEvents->width() + delta, TxtEvents->height());
    m_splitter->move(m_splitter->x() + delta, m_splitter->y());
    wbMyBrowser->move(wbMyBrowser->x() + delta, wbMyBrowser->y());
    fitBrowser();
}
QString FrmTestTrapEvents::mouseLabel() const { return LblMouse->text(); }
void FrmTestTrapEvents::setMouseLabel(const QString &text) { LblMouse->setText(text); }
bool FrmTestTrapEvents::isCloseVisible() const { return !CmdClose->isHidden(); }
void FrmTestTrapEvents::setCloseVisible(bool visible) { CmdClose->setVisible(visible); }
bool FrmTestTrapEvents::silentChecked() const { return chkSilent->isChecked(); }
void FrmTestTrapEvents::setSilentChecked(bool checked) { chkSilent->setChecked(checked); }
bool FrmTestTrapEvents::recordMouseChecked() const { return ChkWindowsEvent->isChecked(); }

void FrmTestTrapEvents::setBusyPointer(bool busy)
{
    if (busy)
        setCursor(Qt::WaitCursor);
    else
        unsetCursor();
}

void FrmTestTrapEvents::repaintNow() { repaint(); }

void FrmTestTrapEvents::addBrowser(QWidget *element)
{
    static_cast<QGridLayout *>(wbMyBrowser->layout())->addWidget(element, 0, 0);
}

void FrmTestTrapEvents::setWindowSizeTwips(int width, int height)
{
    resize(twipsToPixelsX(width), twipsToPixelsY(height));
}

bool FrmTestTrapEvents::isMaximized() const
{
    // A minimized window keeps its maximized flag; it is not maximized then.
    return (windowState() & Qt::WindowMaximized) && !(windowState() & Qt::WindowMinimized);
}

void FrmTestTrapEvents::maximize()
{
    setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowMaximized);
    // The window system may grant the size later; what is fitted now is
    // fitted again with the size after maximizing.
    m_fitWhenMaximized = true;
}

void FrmTestTrapEvents::fitBrowser()
{
    // Outer window size less the browser's offset from the window's outer
    // corner, less 10 twips.
    const QRect outer = frameGeometry();
    const QPoint offset = wbMyBrowser->mapTo(this, QPoint(0, 0))
                          + (geometry().topLeft() - outer.topLeft());
    wbMyBrowser->resize(std::max(1, outer.width() - offset.x() - twipsToPixelsX(10)),
                        std::max(1, outer.height() - offset.y() - twipsToPixelsY(10)));
}

void FrmTestTrapEvents::fitFrame()
{
    m_fitFrameWhenMaximized = m_fitWhenMaximized;
    const QRect outer = frameGeometry();
    const QPoint offset = FrmAutomation->mapTo(this, QPoint(0, 0))
                          + (geometry().topLeft() - outer.topLeft());
    FrmAutomation->resize(FrmAutomation->width(),
                          std::max(1, outer.height() - offset.y() - twipsToPixelsY(10)));
}

void FrmTestTrapEvents::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        m_k.Form_Resize();
    else if (event->type() == QEvent::ActivationChange)
        QTimer::singleShot(0, this, &FrmTestTrapEvents::activationChanged);
}

void FrmTestTrapEvents::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    if (m_fitWhenMaximized && isMaximized()) {
        m_fitWhenMaximized = false;
        fitBrowser();
        if (m_fitFrameWhenMaximized)
            fitFrame();
    }
    m_k.Form_Resize();
}

void FrmTestTrapEvents::showEvent(QShowEvent *event)
{
    // Every caption whole in the font it is shown in, known once polished.
    for (QWidget *control : std::initializer_list<QWidget *>{
             chkSilent, ChkWindowsEvent, LblMouse, Label3, Label2, Label1, CmdGo, CmdBack,
             CmdBrowserStop, CmdClose})
        fitCaption(control);
    QMainWindow::showEvent(event);
    m_k.Form_Activate();
}

void FrmTestTrapEvents::activationChanged()
{
    QWidget *active = QApplication::activeWindow();
    if (active == this) {
        if (!m_wasActive)
            m_k.Form_Activate();
        m_wasActive = true;
        return;
    }
    // Losing activation counts only when another of the program's own windows
    // takes it; message boxes and other programs do not. The main window may
    // have lost it to another program before: what counts is who has it now.
    if (!active || !m_wasActive)
        return;
    const QString name = active->objectName();
    if (name == QLatin1String("FrmLog") || name == QLatin1String("FrmFolders")
        || name == QLatin1String("frmHelpAbout")) {
        m_wasActive = false;
        m_k.Form_Deactivate();
    }
}

void FrmTestTrapEvents::closeEvent(QCloseEvent *event)
{
    m_k.Form_QueryUnload();
    event->accept();
}

FrmLog *FrmTestTrapEvents::frmLog()
{
    if (!m_frmLog)
        m_frmLog = new FrmLog(this);
    return m_frmLog;
}

FrmFolders *FrmTestTrapEvents::frmFolders()
{
    if (!m_frmFolders)
        m_frmFolders = new FrmFolders(m_k);
    return m_frmFolders;
}

void FrmTestTrapEvents::showLog(bool clear, bool front)
{
    FrmLog *window = frmLog();
    window->show();
    if (clear)
        window->log->setPlainText(QString());
    if (!front)
        return;
    window->raise();
    window->activateWindow();
    window->setFocus();
}

void FrmTestTrapEvents::closeLog()
{
    if (m_frmLog)
        m_frmLog->close();
}

void FrmTestTrapEvents::showFolders(bool modal)
{
    if (modal)
        frmFolders()->showModal();
    else
        frmFolders()->showModeless();
}

void FrmTestTrapEvents::closeFolders()
{
    if (m_frmFolders)
        m_frmFolders->close();
}

void FrmTestTrapEvents::showAbout()
{
    // Short-lived and modal: it lives on the stack, with one owner.
    frmHelpAbout about(this);
    about.exec();
}
