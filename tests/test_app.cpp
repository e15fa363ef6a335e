#include "TestEnv.h"
#include "ScriptedDialogs.h"

#include "app/Kestrel.h"
#include "platform/BrowserElement.h"
#include "settings/Settings.h"
#include "ui/FrmFolders.h"
#include "ui/FrmTestTrapEvents.h"

#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

class TestApp : public QObject
{
    Q_OBJECT
public:
    static void initMain() { initTestEnvironment(); }

private slots:
    void firstStartAsksForFoldersUntilSaved();
    void startupStateAndLayout();
    void exitStoresCloseBoxDoesNot();
    void keepsMaximized();
    void commandLineOutcomes();
};

namespace {
// Answers the modal folder dialog once it is up.
void whenFoldersShown(std::function<void(FrmFolders *)> act)
{
    QTimer::singleShot(50, [act] {
        auto *dlg = qobject_cast<FrmFolders *>(QApplication::activeModalWidget());
        if (!dlg) {
            whenFoldersShown(act);
            return;
        }
        act(dlg);
    });
}
} // namespace

void TestApp::firstStartAsksForFoldersUntilSaved()
{
    TestFolders f;
    ScriptedDialogs d;
    Kestrel k(d);
    FrmTestTrapEvents win(k);
    int shownCount = 0;
    bool mainHiddenWhileAsking = true;
    std::function<void(FrmFolders *)> answer = [&](FrmFolders *dlg) {
        ++shownCount;
        mainHiddenWhileAsking = mainHiddenWhileAsking && !win.isVisible();
        if (shownCount == 1) {
            dlg->txtDftDir->setText(f.scripts());
            dlg->CmdCnl->click(); // shows it again
            whenFoldersShown(answer);
            return;
        }
        // The cancelled edit is gone.
        QCOMPARE(dlg->txtDftDir->text(), QString());
        dlg->txtDftDir->setText(f.scripts());
        dlg->txtDftImgDir->setText(f.images());
        dlg->TxtDftLogDir->setText(f.logs());
        dlg->CmdSave->click();
    };
    whenFoldersShown(answer);
    QVERIFY(k.Form_Load());
    QCOMPARE(shownCount, 2);
    QVERIFY(mainHiddenWhileAsking);
    QVERIFY(win.isVisible());
    QCOMPARE(k.g.gDftLogDir, f.logs());
    QCOMPARE(win.windowTitle(), QStringLiteral("Tarn Kestrel - "));
    Globals stored;
    LoadSettings(stored);
    QCOMPARE(stored.gDftImgDir, f.images());
    QVERIFY(d.unexpected.isEmpty());
}

void TestApp::startupStateAndLayout()
{
    TestFolders f;
    f.writeSettings(QStringLiteral("/scripts/last.csv"));
    ScriptedDialogs d;
    Kestrel k(d);
    FrmTestTrapEvents win(k);
    QVERIFY(k.Form_Load());
    QCOMPARE(win.windowTitle(), QStringLiteral("Tarn Kestrel - /scripts/last.csv"));
    QVERIFY(win.chkSilent->isChecked());
    QVERIFY(!win.ChkWindowsEvent->isChecked());
    QVERIFY(win.CmdClose->isHidden());
    QTRY_VERIFY(win.isMaximized());
    QTRY_COMPARE(win.LblMouse->text(), QStringLiteral("Not Recording Mouse"));
    QCOMPARE(k.w.ix, 0);
    QVERIFY(!k.w.doingstep);
    QCOMPARE(k.Timer1.interval() > 0, true);

    // Design positions at 96 dpi: 15 twips per pixel.
    QCOMPARE(win.CmdPlay->geometry(), QRect(48, 8, 33, 27));
    QCOMPARE(win.TxtURL->geometry(), QRect(272, 8, 353, 19));
    QCOMPARE(win.CmdGo->text(), QStringLiteral("&Go"));
    QCOMPARE(win.CmdBrowserStop->text(), QStringLiteral("S&top"));
    QCOMPARE(win.CmdManual->toolTip(), QStringLiteral("Manual Step"));
    QCOMPARE(win.Label3->text(), QStringLiteral("Kestrel Ver 1.0"));
    QCOMPARE(win.Label2->text(), Kestrel::helpPageUrl());
    QCOMPARE(win.wbMyBrowser->pos(), QPoint(232, 32));

    // Browser and frame fitted to the window, 10 twips short of its edges.
    const QRect outer = win.frameGeometry();
    const QPoint bpos = win.wbMyBrowser->mapTo(&win, QPoint(0, 0));
    QTRY_COMPARE(win.wbMyBrowser->width(), outer.width() - bpos.x() - 1);
    QCOMPARE(win.wbMyBrowser->height(), outer.height() - bpos.y() - 1);
    const QPoint fpos = win.FrmAutomation->mapTo(&win, QPoint(0, 0));
    QCOMPARE(win.FrmAutomation->height(), outer.height() - fpos.y() - 1);
    QCOMPARE(k.wbMyBrowser.size(), 1);
    QCOMPARE(k.wbMyBrowser[0]->parentWidget(), win.wbMyBrowser);
}

void TestApp::exitStoresCloseBoxDoesNot()
{
    TestFolders f;
    f.writeSettings(QStringLiteral("/scripts/old.csv"));
    ScriptedDialogs d;
    {
        Kestrel k(d);
        FrmTestTrapEvents win(k);
        QVERIFY(k.Form_Load());
        k.g.gFile = QStringLiteral("/scripts/changed.csv");
        win.close(); // the close box
    }
    Globals stored;
    LoadSettings(stored);
    QCOMPARE(stored.gFile, QStringLiteral("/scripts/old.csv"));
    {
        Kestrel k(d);
        FrmTestTrapEvents win(k);
        QVERIFY(k.Form_Load());
        k.g.gFile = QStringLiteral("/scripts/changed.csv");
        win.MnuExit->trigger();
        QVERIFY(!win.isVisible());
    }
    LoadSettings(stored);
    QCOMPARE(stored.gFile, QStringLiteral("/scripts/changed.csv"));
}

void TestApp::keepsMaximized()
{
    TestFolders f;
    f.writeSettings();
    ScriptedDialogs d;
    Kestrel k(d);
    FrmTestTrapEvents win(k);
    QVERIFY(k.Form_Load());
    QTRY_VERIFY(win.isMaximized());
    win.showNormal();
    QTRY_VERIFY(win.isMaximized());
    win.showMinimized();
    QTRY_VERIFY(win.isMaximized());
    QVERIFY(!(win.windowState() & Qt::WindowMinimized));
    const QRect outer = win.frameGeometry();
    const QPoint bpos = win.wbMyBrowser->mapTo(&win, QPoint(0, 0));
    QTRY_COMPARE(win.wbMyBrowser->width(), outer.width() - bpos.x() - 1);
}

void TestApp::commandLineOutcomes()
{
    TestFolders f;
    f.writeSettings();
    const QString exe = QStringLiteral(KESTREL_BUILD_DIR "/kestrel");
    QProcess p;
    p.start(exe, {QStringLiteral("/no/such/script.csv")});
    QVERIFY(p.waitForFinished(30000));
    QCOMPARE(p.exitCode(), 2);
    // Quotes are not removed, and several arguments are one path.
    p.start(exe, {QStringLiteral("\"") + f.scripts() + QStringLiteral("\""), QStringLiteral("x")});
    QVERIFY(p.waitForFinished(30000));
    QCOMPARE(p.exitCode(), 2);
    p.start(exe, {QStringLiteral("--version")});
    QVERIFY(p.waitForFinished(30000));
    QCOMPARE(p.exitCode(), 0);
    QVERIFY(p.readAllStandardOutput().startsWith("Kestrel 1.0"));
    p.start(exe, {QStringLiteral("--help")});
    QVERIFY(p.waitForFinished(30000));
    QCOMPARE(p.exitCode(), 0);
    QVERIFY(p.readAllStandardOutput().contains("Usage: kestrel"));
}

QTEST_MAIN(TestApp)
#include "test_app.moc"
