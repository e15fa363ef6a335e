#include "TestEnv.h"
#include "ScriptedDialogs.h"

#include "core/Session.h"
#include "settings/Folders.h"
#include "settings/Settings.h"

#include <QDir>
#include <QFile>
#include <QMap>
#include <QSettings>
#include <QTest>

class TestSettings : public QObject
{
    Q_OBJECT
private slots:
    void storeAndWorkingCopy();
    void folderCheckCreatesOrRefuses();
};

namespace {
QString storePath(const TestFolders &f)
{
    return f.config() + QStringLiteral("/%1/%1.ini").arg(settingsApplicationName());
}

// Every key of the stored file with its value, as anything reading the INI
// file sees them.
QMap<QString, QString> stored(const TestFolders &f)
{
    QSettings raw(storePath(f), QSettings::IniFormat);
    QMap<QString, QString> all;
    for (const QString &key : raw.allKeys())
        all.insert(key, raw.value(key).toString());
    return all;
}

QMap<QString, QString> globals(const QString &file, const QString &dir, const QString &img,
                               const QString &log)
{
    return {{QStringLiteral("globals/gFile"), file},
            {QStringLiteral("globals/gDftDir"), dir},
            {QStringLiteral("globals/gDftImgDir"), img},
            {QStringLiteral("globals/gDftLogDir"), log}};
}
} // namespace

void TestSettings::storeAndWorkingCopy()
{
    TestFolders f;
    // "tmp" comes before "temp" when both are set.
    const QString copy = f.temp() + QStringLiteral("/tarn_a_s.csv");
    qputenv("temp", f.root().toLocal8Bit());
    QCOMPARE(workingCopyPath(), copy);
    // Loading deletes the copy an earlier start left, not the file of that
    // name in the folder "temp" names; a damaged store reads as empty; the
    // session starts idle without a log.
    QVERIFY(writeFile(copy, "\"Special\",\"Back\",\"\",\"\",\"\",\"\"\r\n"));
    const QString other = f.root() + QStringLiteral("/tarn_a_s.csv");
    QVERIFY(QFile::copy(copy, other));
    QDir().mkpath(QFileInfo(storePath(f)).path());
    const QByteArray damaged("\x01\x02[[[globals\n=====\ngDftDir\n\xff\xfe\x00junk", 34);
    QVERIFY(writeFile(storePath(f), damaged));
    Globals g;
    g.gMode = Mode::Record;
    g.gLogFile = g.gDftDir = QStringLiteral("/before");
    LoadSettings(g);
    qunsetenv("temp");
    QCOMPARE(g.gTempFile, copy);
    QVERIFY(!QFile::exists(copy) && QFile::exists(other));
    QVERIFY(g.gFile.isEmpty() && g.gDftDir.isEmpty() && g.gDftImgDir.isEmpty()
            && g.gDftLogDir.isEmpty());
    QVERIFY(g.gMode == Mode::Idle && g.gLogFile.isEmpty());

    // What is saved reads back exactly. Over the damaged store that is a
    // success, not a report of damage, with no junk left in the new store;
    // the damaged one is kept aside as it was.
    g.gFile = QStringLiteral("/scripts/a b,\"c\".csv");
    g.gDftDir = QStringLiteral("/x/");
    g.gDftImgDir = QStringLiteral("/y");
    g.gDftLogDir = QString::fromUtf8("/z/\xc3\xa9t\xc3\xa9");
    QVERIFY(SaveSettings(g));
    QCOMPARE(stored(f), globals(g.gFile, g.gDftDir, g.gDftImgDir, g.gDftLogDir));
    const QFileInfo store(storePath(f));
    const QStringList aside =
        store.dir().entryList({store.fileName() + QStringLiteral(".damaged-*")});
    QCOMPARE(aside.size(), 1);
    QFile kept(store.dir().filePath(aside[0]));
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), damaged);
    Globals back; // exactly, the separator kept
    LoadSettings(back);
    QCOMPARE(QStringList({back.gFile, back.gDftDir, back.gDftImgDir, back.gDftLogDir}),
             QStringList({g.gFile, g.gDftDir, g.gDftImgDir, g.gDftLogDir}));

    // A store that cannot be written is no success: its folder is a file.
    QVERIFY(QDir(QFileInfo(storePath(f)).path()).removeRecursively());
    QVERIFY(writeFile(QFileInfo(storePath(f)).path(), {}));
    QCOMPARE(SaveSettings(g).error(), storePath(f) + QStringLiteral(" cannot be written"));
    // What the user is told, and that the folders serve this session: test_app.

    // Without "tmp": "temp" in any letter case, then TMPDIR, then /tmp. Last,
    // as loading now would delete a real copy in /tmp.
    qputenv("tmp", "");
    qputenv("TEMP", "/var/tmp");
    QCOMPARE(workingCopyPath(), QStringLiteral("/var/tmp/tarn_a_s.csv"));
    qunsetenv("TEMP");
    qputenv("TMPDIR", "/somewhere");
    QCOMPARE(workingCopyPath(), QStringLiteral("/somewhere/tarn_a_s.csv"));
    qunsetenv("TMPDIR");
    QCOMPARE(workingCopyPath(), QStringLiteral("/tmp/tarn_a_s.csv"));
}

void TestSettings::folderCheckCreatesOrRefuses()
{
    TestFolders f;
    ScriptedDialogs d;
    FolderCheck check(d, nullptr);
    Globals g;

    // Two missing folders: two questions in order; Yes creates them. The
    // existing one is stored without a question.
    const QString s2 = f.root() + QStringLiteral("/s2"), l2 = f.root() + QStringLiteral("/l2/");
    d.expect(QStringLiteral("question"), QStringLiteral("yes"));
    d.expect(QStringLiteral("question"), QStringLiteral("yes"));
    QVERIFY(check.save(g, s2, f.images(), l2));
    QCOMPARE(d.shown.size(), 2);
    QCOMPARE(d.shown[0], QStringLiteral("question|Folder does not exist|Folder ") + s2
                             + QStringLiteral(" does not exist. Create it ?"));
    QVERIFY(d.shown[1].contains(l2));
    QVERIFY(QFileInfo(s2).isDir() && QFileInfo(l2).isDir());
    QCOMPARE(stored(f), globals(QString(), s2, f.images(), l2));

    // An existing file passes as a folder.
    const QString plain = f.root() + QStringLiteral("/plain.txt");
    QVERIFY(writeFile(plain, {}));
    QVERIFY(check.save(g, plain, f.images(), f.logs()));

    // Parent missing: Yes cannot create it; the user is told, nothing stored.
    const QString deep = f.root() + QStringLiteral("/no/such/dir");
    d.expect(QStringLiteral("question"), QStringLiteral("yes"));
    d.expect(QStringLiteral("message"));
    QVERIFY(!check.save(g, deep, f.images(), f.logs()));
    QCOMPARE(d.shown.last(), QStringLiteral("message|Kestrel|Cannot save - setup decent folders "
                                            "and try again"));
    QVERIFY(!QFileInfo::exists(deep));

    // No to the question; and an unwritable parent.
    d.expect(QStringLiteral("question"), QStringLiteral("no"));
    d.expect(QStringLiteral("question"), QStringLiteral("yes"));
    d.expect(QStringLiteral("message"));
    QVERIFY(!check.save(g, f.root() + QStringLiteral("/n"), f.images(),
                        QStringLiteral("/proc/kestrel-cannot-be-here")));
    QCOMPARE(g.gDftDir, plain);
    QCOMPARE(stored(f), globals(QString(), plain, f.images(), f.logs()));
    QVERIFY(d.allAnswered() && d.unexpected.isEmpty());
}

QTEST_GUILESS_MAIN(TestSettings)
#include "test_settings.moc"
