#include "settings/RunOptions.h"

#include <QDir>

Result<int> parseMilliseconds(const QString &name, const QString &value, bool zeroAllowed)
{
    bool ok = false;
    const int ms = value.trimmed().toInt(&ok);
    if (!ok || ms < 0 || (ms == 0 && !zeroAllowed))
        return Result<int>::failure(QStringLiteral("%1 needs a number of milliseconds %2, not \"%3\"")
                                        .arg(name, zeroAllowed ? QStringLiteral("(0 or more)")
                                                               : QStringLiteral("above 0"),
                                             value));
    return ms;
}

QString defaultOutputFolder(const QString &kind)
{
    return QDir::current().absoluteFilePath(QStringLiteral("kestrel-out/") + kind);
}

Result<RunOptions> parseRunOptions(const QStringList &args)
{
    using R = Result<RunOptions>;
    RunOptions o;
    int i = 0;
    for (; i < args.size(); ++i) {
        const QString &arg = args.at(i);
        if (arg == QLatin1String("--")) {
            ++i;
            break;
        }
        if (!arg.startsWith(QLatin1String("--")))
            break;
        if (arg == QLatin1String("--demo")) {
            o.demo = true;
            continue;
        }
        QString name = arg;
        QString value;
        bool hasValue = false;
        if (const qsizetype eq = arg.indexOf(QLatin1Char('=')); eq > 0) {
            name = arg.left(eq);
            value = arg.mid(eq + 1);
            hasValue = true;
        }
        static const QStringList known = {QStringLiteral("--images"), QStringLiteral("--logs"),
                                          QStringLiteral("--interval"),
                                          QStringLiteral("--page-timeout")};
        if (!known.contains(name))
            return R::failure(QStringLiteral("unknown option %1 (see kestrel --help)").arg(name));
        if (!hasValue) {
            if (i + 1 >= args.size())
                return R::failure(QStringLiteral("%1 needs a value").arg(name));
            value = args.at(++i);
        }
        if (value.isEmpty())
            return R::failure(QStringLiteral("%1 needs a value").arg(name));
        if (name == QLatin1String("--images")) {
            o.imagesDir = value;
        } else if (name == QLatin1String("--logs")) {
            o.logsDir = value;
        } else {
            const bool interval = name == QLatin1String("--interval");
            const Result<int> ms = parseMilliseconds(name, value, interval);
            if (!ms)
                return R::failure(ms.error());
            (interval ? o.intervalMs : o.pageTimeoutMs) = ms.value();
        }
    }
    o.scriptArgs = args.mid(i);

    if (o.imagesDir.isEmpty())
        o.imagesDir = qEnvironmentVariable("KESTREL_IMAGES_DIR");
    if (o.logsDir.isEmpty())
        o.logsDir = qEnvironmentVariable("KESTREL_LOGS_DIR");
    const struct
    {
        const char *var;
        int &target;
        bool given;
        bool zeroAllowed; // no pause between steps
    } numbers[] = {{"KESTREL_STEP_INTERVAL_MS", o.intervalMs, o.intervalMs >= 0, true},
                   {"KESTREL_PAGE_TIMEOUT_MS", o.pageTimeoutMs, o.pageTimeoutMs > 0, false}};
    for (const auto &n : numbers) {
        const QString value = qEnvironmentVariable(n.var);
        if (n.given || value.isEmpty())
            continue;
        const Result<int> ms = parseMilliseconds(QString::fromLatin1(n.var), value, n.zeroAllowed);
        if (!ms)
            return R::failure(ms.error());
        n.target = ms.value();
    }
    return o;
}
