#pragma once

#include "platform/PageObject.h"

#include <QJsonObject>
#include <QJsonValue>
#include <QPointF>
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
    // From a forwarder's snapshot: {doc, handle, members: {...}, keyCode,
    // hints: {identity: hint}, kind, x, y}.
    WebSource(BrowserElement *browser, const QJsonObject &snapshot);
    // The element of object as it is now in its page.
    static WebSource readNow(const PageObject &object);

    PageObject object() const;

    std::optional<QJsonValue> member(const QString &name) const;
    std::optional<QString> text(const QString &name) const;
    std::optional<qint32> integer(const QString &name) const;
    std::optional<qint32> keyCode() const;
    // What the report is besides an event of the element: "change" (a list's
    // choice), "press" (the mouse pressed on a list), "closed" (inside a
    // closed shadow root: no element), "background" (a click on the page
    // itself at x, y); empty for a plain event.
    QString kind() const { return m_kind; }
    QPointF point() const { return m_point; }
    // The text that tells the element from the others the player would find
    // under this identity ("#id" or "@n"); empty when it is the only one.
    QString hint(const QString &identity) const;
    // Options(selectedindex): value and text.
    std::optional<QString> optionValue() const;
    std::optional<QString> optionText() const;

    // A member read from the page now, for values that earlier events of the
    // same element may have changed since the snapshot (the highlight); the
    // snapshot's when the page cannot answer.
    std::optional<qint32> integerNow(const QString &name) const;
    std::optional<QString> textNow(const QString &name) const;

    bool write(const QString &name, const QJsonValue &value) const;
    // The element's highlight, if it has one, taken off exactly (without
    // waiting for the page).
    void unhighlight() const;

    // A page value as text: numbers without a decimal point when whole.
    static std::optional<QString> asText(const QJsonValue &v);
    static std::optional<qint32> asInteger(const QJsonValue &v);

private:
    std::optional<QJsonValue> memberNow(const QString &name) const;

    PageObject m_object;
    QJsonObject m_members;
    QJsonValue m_keyCode;
    QJsonObject m_hints;
    QString m_kind;
    QPointF m_point;
};
