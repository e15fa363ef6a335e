#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

// Adapts one page event to a call by name: the document holds one forwarder
// per event, and when the event fires the forwarder calls
// Destination.DestinationMethod(WebObject, WebMethod).
class clsForward
{
public:
    clsForward(); // Class_Initialize

    void Set_Destination(const QString &sInWebObject, const QString &sInWebMethod,
                         QObject *oInObject, const QString &sInMethod);
    // What the page calls when the event fires; nothing until armed.
    void My_Default_Method();

    bool Armed() const { return m_Armed; }
    const QString &WebObject() const { return m_WebObject; }
    const QString &WebMethod() const { return m_WebMethod; }

private:
    QPointer<QObject> m_Destination;
    QString m_DestinationMethod;
    QString m_WebObject;
    QString m_WebMethod;
    bool m_Armed = false;
};
