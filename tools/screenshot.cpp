// Renders the main window offscreen, with the help page loaded, into a PNG
// for the README: screenshot <out.png>
#include "app/Kestrel.h"
#include "platform/ChromiumEnv.h"
#include "ui/QtDialogs.h"
#include "platform/Wait.h"
#include "ui/FrmTestTrapEvents.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QSettings>
#include <QTemporaryDir>

int main(int argc, char *argv[])
{
    if (argc != 2)
        return 2;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir dir;
    qputenv("XDG_CONFIG_HOME", dir.path().toLocal8Bit());
    qputenv("tmp", dir.path().toLocal8Bit());
    prepareChromiumEnvironment();
    QApplication app(argc, argv);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir.path());
    {
        QSettings s(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("screenshot"),
                    QStringLiteral("screenshot"));
        for (const char *key : {"globals/gDftDir", "globals/gDftImgDir", "globals/gDftLogDir"})
            s.setValue(QLatin1String(key), dir.path());
        s.setValue(QStringLiteral("globals/gFile"), QStringLiteral("/home/tester/scripts/login.csv"));
    }
    QtDialogs dialogs;
    Kestrel k(dialogs);
    FrmTestTrapEvents window(k);
    if (!k.Form_Load())
        return 1;
    window.TxtEvents->setPlainText(QStringLiteral("URL,,http://shop.example/,\n"
                                                  "q,onfocusout,kestrel,\n"
                                                  "q,ENTER,kestrel,\n"
                                                  "Next page,onclick,/results/2,\n"));
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 1500)
        DoEvents();
    return window.grab().save(QString::fromLocal8Bit(argv[1])) ? 0 : 1;
}
