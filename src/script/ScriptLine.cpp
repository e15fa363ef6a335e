#include "script/ScriptLine.h"

namespace {
const QChar kLineBreakByte(0);
const QChar kQuoteByte(1);
const QChar kVisibleLineBreak(0x2400); // SYMBOL FOR NULL
const QChar kVisibleQuote(0x2401);     // SYMBOL FOR START OF HEADING
const QLatin1String kCrLf("\r\n");
} // namespace

QString encodeField(const QString &value)
{
    QString s = value;
    s.replace(kCrLf, QString(kLineBreakByte));
    s.replace(QLatin1Char('"'), kQuoteByte);
    return s;
}

QString decodeField(const QString &stored)
{
    QString s = stored;
    s.replace(kLineBreakByte, kCrLf);
    s.replace(kQuoteByte, QLatin1Char('"'));
    return s;
}

QString visibleStored(const QString &stored)
{
    QString s = stored;
    s.replace(kLineBreakByte, kVisibleLineBreak);
    s.replace(kQuoteByte, kVisibleQuote);
    return s;
}

ScriptLine ScriptLine::decoded() const
{
    return {decodeField(Type),   decodeField(Object), decodeField(TagName),
            decodeField(Method), decodeField(Value),  decodeField(Value2)};
}

ScriptLine ScriptLine::encoded() const
{
    return {encodeField(Type),   encodeField(Object), encodeField(TagName),
            encodeField(Method), encodeField(Value),  encodeField(Value2)};
}

QString fileForm(const ScriptLine &values)
{
    const ScriptLine e = values.encoded();
    QString line;
    line.reserve(e.Type.size() + e.Object.size() + e.TagName.size() + e.Method.size()
                 + e.Value.size() + e.Value2.size() + 19);
    bool first = true;
    for (const QString *f : {&e.Type, &e.Object, &e.TagName, &e.Method, &e.Value, &e.Value2}) {
        if (!first)
            line += QLatin1Char(',');
        first = false;
        line += QLatin1Char('"');
        line += *f;
        line += QLatin1Char('"');
    }
    line += kCrLf;
    return line;
}

QString displayForm(const QString &object, const QString &method, const QString &value,
                    const QString &value2)
{
    return object + QLatin1Char(',') + method + QLatin1Char(',') + value + QLatin1Char(',')
        + value2 + kCrLf;
}

QString storedDisplayForm(const ScriptLine &stored)
{
    return displayForm(decodeField(stored.Object), decodeField(stored.Method),
                       visibleStored(stored.Value), visibleStored(stored.Value2));
}

bool sameText(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

LineType lineType(const ScriptLine &line)
{
    const QString t = decodeField(line.Type);
    if (sameText(t, QLatin1String("web")))
        return LineType::Web;
    if (sameText(t, QLatin1String("special")))
        return LineType::Special;
    if (sameText(t, QLatin1String("check")))
        return LineType::Check;
    return LineType::Other;
}

SpecialCommand specialCommand(const ScriptLine &line)
{
    const QString o = decodeField(line.Object);
    static const struct
    {
        const char *name;
        SpecialCommand command;
    } commands[] = {{"url", SpecialCommand::URL},           {"back", SpecialCommand::Back},
                    {"close", SpecialCommand::Close},       {"manual", SpecialCommand::Manual},
                    {"snapshot", SpecialCommand::Snapshot}, {"mousedown", SpecialCommand::MouseDown}};
    if (o.isEmpty())
        return SpecialCommand::Refresh;
    for (const auto &c : commands)
        if (sameText(o, QLatin1String(c.name)))
            return c.command;
    return SpecialCommand::Other;
}
