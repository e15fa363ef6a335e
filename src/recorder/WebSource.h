#pragma once

#include "platform/PageObject.h"

#include <QJsonObject>
#include <QJsonValue>
#include <QString>

#include <optional>

class BrowserElement;

// The source element of a page event as ProcessWebEvent reads it: the members
// its forwarder saw at dispatch time, and its handle for writes. Every read
// can fail (a member the element lacks, no element at all); the caller skips
// the one step that needed it.
class WebSource
{
public:
    // No element: every read and write fails.
    WebSource() = default;
    // From a forwarder's snapshot: {handle, members: {...}, keyCode}.
    WebSource(BrowserElement *browser, const QJsonObject &snapshot);
    // The element of object as it is now in its page.
    static WebSource readNow(const PageObject &object);

    PageObject object() const;

    std::optional<QJsonValue> member(const QString &name) const;
    std::optional<QString> text(const QString &name) const;
    std::optional<qint32> integer(const QString &name) const;
    std::optional<qint32> keyCode() const;
    // Options(selectedindex): value and text.
    std::optional<QString> optionValue() const;
    std::optional<QString> optionText() const;

    // A member read from the page now, for values that earlier events of the
    // same element may have changed since the snapshot (the highlight); the
    // snapshot's when the page cannot answer.
    std::optional<qint32> integerNow(const QString &name) const;
    std::optional<QString> textNow(const QString &name) const;

    bool write(const QString &name, const QJsonValue &value) const;

    // A page value as text: numbers without a decimal point when whole.
    static std::optional<QString> asText(const QJsonValue &v);
    static std::optional<qint32> asInteger(const QJsonValue &v);

private:
    std::optional<QJsonValue> memberNow(const QString &name) const;

    PageObject m_object;
    QJsonObject m_members;
    QJsonValue m_keyCode;
};
