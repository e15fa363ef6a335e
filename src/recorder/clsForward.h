#pragma once

#include <QString>

#include <functional>

// Adapts one page event to a call: the document holds one forwarder per
// event, and when the event fires the forwarder calls the destination with
// (WebObject, WebMethod).
class clsForward
{
public:
    clsForward(); // Class_Initialize

    using Destination = std::function<void(const QString &, const QString &)>;
    void Set_Destination(const QString &sInWebObject, const QString &sInWebMethod,
                         Destination destination);
    // What the page calls when the event fires; nothing until armed.
    void My_Default_Method();

    bool Armed() const { return m_Armed; }
    const QString &WebObject() const { return m_WebObject; }
    const QString &WebMethod() const { return m_WebMethod; }

private:
    Destination m_Destination;
    QString m_WebObject;
    QString m_WebMethod;
    bool m_Armed = false;
};
