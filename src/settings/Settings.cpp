#include "settings/Settings.h"

#include "core/Session.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QSaveFile>
#include <QSettings>

namespace {

const char kSection[] = "globals";
const char *const kKeys[] = {"gFile", "gDftDir", "gDftImgDir", "gDftLogDir"};

QString envIgnoringCase(const QProcessEnvironment &env, const QString &name)
{
    const QStringList keys = env.keys();
    // The exact spelling first, then any other letter case.
    if (!env.value(name).isEmpty())
        return env.value(name);
    for (const QString &key : keys) {
        if (key.compare(name, Qt::CaseInsensitive) == 0 && !env.value(key).isEmpty())
            return env.value(key);
    }
    return QString();
}

QSettings store()
{
    return QSettings(QSettings::IniFormat, QSettings::UserScope, settingsApplicationName(),
                     settingsApplicationName());
}

QSettings::Status writeStore(const Globals &g)
{
    QSettings s = store();
    s.beginGroup(QLatin1String(kSection));
    const QString values[] = {g.gFile, g.gDftDir, g.gDftImgDir, g.gDftLogDir};
    for (int i = 0; i < 4; ++i)
        s.setValue(QLatin1String(kKeys[i]), values[i]);
    s.endGroup();
    s.sync();
    return s.status();
}

} // namespace

QString settingsApplicationName()
{
    const QString exe = QCoreApplication::applicationFilePath();
    const QString base = QFileInfo(exe).completeBaseName();
    return base.isEmpty() ? QStringLiteral("kestrel") : base;
}

QString workingCopyPath()
{
    const QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    QString dir = envIgnoringCase(env, QStringLiteral("tmp"));
    if (dir.isEmpty())
        dir = envIgnoringCase(env, QStringLiteral("temp"));
    if (dir.isEmpty())
        dir = env.value(QStringLiteral("TMPDIR"));
    if (dir.isEmpty())
        dir = QStringLiteral("/tmp");
    return dir + QStringLiteral("/tarn_a_s.csv");
}

QString temporaryFolder()
{
    QString dir = qEnvironmentVariable("TMPDIR");
    if (dir.isEmpty())
        dir = QStringLiteral("/tmp");
    return QFileInfo(dir).isDir() ? dir : QString();
}

void LoadSettings(Globals &g, const QString &workingCopy)
{
    QSettings s = store();
    s.beginGroup(QLatin1String(kSection));
    QString *targets[] = {&g.gFile, &g.gDftDir, &g.gDftImgDir, &g.gDftLogDir};
    for (int i = 0; i < 4; ++i) {
        // A damaged store reads as empty values, never as an error.
        const QVariant v = s.value(QLatin1String(kKeys[i]), QString());
        *targets[i] = v.canConvert<QString>() ? v.toString() : QString();
    }
    s.endGroup();
    g.gMode = Mode::Idle;
    g.gLogFile.clear();
    g.gTempFile = workingCopy;
    // Whatever an earlier run left unsaved is discarded; failure is no matter.
    QFile::remove(g.gTempFile);
}

Result<> SaveSettings(const Globals &g)
{
    const QString path = store().fileName();
    // Read first: by the time Qt reports damage it has written over the file.
    QByteArray before;
    if (QFile file(path); file.open(QIODevice::ReadOnly))
        before = file.readAll();
    QSettings::Status status = writeStore(g);
    if (status == QSettings::FormatError) {
        // Qt writes over a damaged store what it could make of it, yet reports
        // the damage (and then no write error). The damaged file is kept as it
        // was, for whoever wants to look at it, and a clean store is written
        // in its place, so the next start reads it without the junk.
        QSaveFile aside(path + QStringLiteral(".damaged-")
                        + QDateTime::currentDateTime().toString(u"yyyyMMdd-hhmmss-zzz"));
        if (aside.open(QIODevice::WriteOnly) && aside.write(before) == before.size()
            && aside.commit() && QFile::remove(path)) {
            qWarning("kestrel: the settings file %s was damaged; it is kept as %s",
                     qUtf8Printable(path), qUtf8Printable(aside.fileName()));
            status = writeStore(g);
        }
    }
    // A store that cannot be written must not pass for saved.
    if (status == QSettings::NoError)
        return {};
    return Result<>::failure((status == QSettings::AccessError
                                  ? QStringLiteral("%1 cannot be written")
                                  : QStringLiteral("%1 is damaged"))
                                 .arg(path));
}
