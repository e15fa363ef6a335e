#pragma once

#include "platform/MainView.h"

#include <QMainWindow>
#include <QPointer>

class FrmFolders;
class FrmLog;
class Kestrel;
class QAction;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

// The main window: the controls of the layout, as a view over Kestrel.
class FrmTestTrapEvents : public QMainWindow, public MainView
{
    Q_OBJECT
public:
    explicit FrmTestTrapEvents(Kestrel &k, QWidget *parent = nullptr);
    ~FrmTestTrapEvents() override;

    // MainView
    QWidget *window() override { return this; }
    QWidget *browserArea() override;
    void setCaption(const QString &caption) override;
    void setPicture(Button button, const QString &fileName) override;
    QString eventsText() const override;
    void appendEvents(const QString &text) override;
    void clearEvents() override;
    QString urlText() const override;
    void setUrlText(const QString &text) override;
    QString statusText() const override;
    void setStatusText(const QString &text) override;
    QString mouseLabel() const override;
    void setMouseLabel(const QString &text) override;
    bool isCloseVisible() const override;
    void setCloseVisible(bool visible) override;
    bool silentChecked() const override;
    void setSilentChecked(bool checked) override;
    bool recordMouseChecked() const override;
    void setBusyPointer(bool busy) override;
    void repaintNow() override;
    void addBrowser(QWidget *element) override;
    void setWindowSizeTwips(int width, int height) override;
    bool isMaximized() const override;
    void maximize() override;
    void fitBrowser() override;
    void fitFrame() override;
    void setCheckArmed(bool armed) override;
    void showLog(bool clear, bool front) override;
    void closeLog() override;
    void showFolders(bool modal) override;
    void closeFolders() override;
    void showAbout() override;

    // Created on first use; the log window is owned by this window, so it
    // stays above it and goes with it.
    FrmLog *frmLog();
    FrmFolders *frmFolders();

    QPushButton *CmdRecord, *CmdPlay, *CmdStop, *CmdManual, *CmdSnapshot, *CmdCheck;
    QCheckBox *chkSilent, *ChkWindowsEvent;
    QLabel *LblMouse;
    QGroupBox *FrmAutomation;
    QPlainTextEdit *TxtEvents;
    QLabel *Label3, *Label2, *Label1;
    QLineEdit *TxtURL;
    QPushButton *CmdGo, *CmdBack, *CmdBrowserStop, *CmdClose;
    QLabel *LblSts;
    QWidget *wbMyBrowser;

    QAction *mnuFileNew, *MnuFileOpen, *mnuSave, *mnuSaveAs, *MnuExit;
    QAction *mnuFolders, *MnuAbout;

protected:
    void changeEvent(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void activationChanged();
    // Puts the edge between the Automation box and the browser at x.
    void moveSplitter(int x);

    Kestrel &m_k;
    bool m_wasActive = false;
    bool m_fitWhenMaximized = false;
    bool m_fitFrameWhenMaximized = false;
    QWidget *m_splitter = nullptr;
    QString m_status;
    bool m_checkArmed = false;
    QPointer<FrmLog> m_frmLog;
    QPointer<FrmFolders> m_frmFolders;
};
