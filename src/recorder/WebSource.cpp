#include "recorder/WebSource.h"

#include "platform/BrowserElement.h"

#include <QJsonArray>

#include <cmath>
#include <limits>

namespace {
// The highlight is only a guide: a busy page does not hold up recording long.
constexpr int kPageWaitMs = 2000;
} // namespace

WebSource::WebSource(BrowserElement *browser, const QJsonObject &snapshot)
{
    m_object.browser = browser;
    m_object.handle = snapshot.value(QLatin1String("handle")).toInt();
    m_object.document = snapshot.value(QLatin1String("doc")).toString();
    m_members = snapshot.value(QLatin1String("members")).toObject();
    m_keyCode = snapshot.value(QLatin1String("keyCode"));
    m_hints = snapshot.value(QLatin1String("hints")).toObject();
    m_kind = snapshot.value(QLatin1String("kind")).toString();
    m_point = QPointF(snapshot.value(QLatin1String("x")).toDouble(),
                      snapshot.value(QLatin1String("y")).toDouble());
}

QString WebSource::hint(const QString &identity) const
{
    const QString h = m_hints.value(identity).toString();
    // Only the two forms the player reads.
    if (h.size() > 1 && (h.front() == QLatin1Char('#') || h.front() == QLatin1Char('@')))
        return h;
    return QString();
}

WebSource WebSource::readNow(const PageObject &object)
{
    if (object.isNull())
        return {};
    const AgentResult r =
        object.browser->callAgent(QStringLiteral("recorderSnapshot"),
                                  {object.document, object.handle});
    if (!r.ok() || !r.value().isObject())
        return {};
    WebSource s(object.browser, r.value().toObject());
    // The handle is the one asked about, whatever the page answered.
    s.m_object = object;
    return s;
}

PageObject WebSource::object() const
{
    return m_object;
}

std::optional<QJsonValue> WebSource::member(const QString &name) const
{
    const auto it = m_members.constFind(name);
    if (it == m_members.constEnd())
        return std::nullopt;
    return it.value();
}

std::optional<QString> WebSource::asText(const QJsonValue &v)
{
    switch (v.type()) {
    case QJsonValue::String:
        return v.toString();
    case QJsonValue::Double: {
        const double d = v.toDouble();
        if (std::isfinite(d) && d == std::floor(d) && std::fabs(d) < 1e15)
            return QString::number(qint64(d));
        return QString::number(d);
    }
    case QJsonValue::Bool:
        return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    default:
        return std::nullopt;
    }
}

std::optional<qint32> WebSource::asInteger(const QJsonValue &v)
{
    double d = 0;
    if (v.isDouble()) {
        d = v.toDouble();
    } else if (v.isString()) {
        bool ok = false;
        d = v.toString().trimmed().toDouble(&ok);
        if (!ok)
            return std::nullopt;
    } else {
        return std::nullopt;
    }
    if (!std::isfinite(d) || d > std::numeric_limits<qint32>::max()
        || d < std::numeric_limits<qint32>::min())
        return std::nullopt;
    return qint32(std::lround(d));
}

std::optional<QString> WebSource::text(const QString &name) const
{
    const auto v = member(name);
    return v ? asText(*v) : std::nullopt;
}

std::optional<qint32> WebSource::integer(const QString &name) const
{
    const auto v = member(name);
    return v ? asInteger(*v) : std::nullopt;
}

std::optional<qint32> WebSource::keyCode() const
{
    return asInteger(m_keyCode);
}

std::optional<QString> WebSource::optionValue() const
{
    const auto o = member(QStringLiteral("option"));
    return o && o->isObject() ? asText(o->toObject().value(QLatin1String("value"))) : std::nullopt;
}

std::optional<QString> WebSource::optionText() const
{
    const auto o = member(QStringLiteral("option"));
    return o && o->isObject() ? asText(o->toObject().value(QLatin1String("text"))) : std::nullopt;
}

std::optional<QJsonValue> WebSource::memberNow(const QString &name) const
{
    if (!m_object.isNull()) {
        const AgentResult r = m_object.browser->callAgent(
            QStringLiteral("recorderGet"), {m_object.document, m_object.handle, name}, kPageWaitMs);
        if (r.ok())
            return r.value();
    }
    return member(name);
}

std::optional<qint32> WebSource::integerNow(const QString &name) const
{
    const auto v = memberNow(name);
    return v ? asInteger(*v) : std::nullopt;
}

std::optional<QString> WebSource::textNow(const QString &name) const
{
    const auto v = memberNow(name);
    return v ? asText(*v) : std::nullopt;
}

void WebSource::unhighlight() const
{
    // Nothing to wait for: the page runs it before anything sent later.
    if (!m_object.isNull())
        m_object.browser->callAgentAsync(QStringLiteral("recorderUnhighlight"),
                                         {m_object.document, m_object.handle},
                                         [](const AgentResult &) {});
}

bool WebSource::write(const QString &name, const QJsonValue &value) const
{
    if (m_object.isNull())
        return false;
    return m_object.browser
        ->callAgent(QStringLiteral("recorderSet"), {m_object.document, m_object.handle, name, value},
                    kPageWaitMs)
        .ok();
}
