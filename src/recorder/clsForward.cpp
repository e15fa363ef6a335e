#include "recorder/clsForward.h"

#include <QMetaObject>

clsForward::clsForward()
{
    m_Armed = false;
}

void clsForward::Set_Destination(const QString &sInWebObject, const QString &sInWebMethod,
                                 QObject *oInObject, const QString &sInMethod)
{
    m_WebObject = sInWebObject;
    m_WebMethod = sInWebMethod;
    m_Destination = oInObject;
    m_DestinationMethod = sInMethod;
    m_Armed = true;
}

void clsForward::My_Default_Method()
{
    if (!m_Armed || !m_Destination)
        return;
    // By name, as the destination offers it (Q_INVOKABLE); the result, if
    // any, is ignored.
    QMetaObject::invokeMethod(m_Destination, m_DestinationMethod.toLatin1().constData(),
                              Qt::DirectConnection, Q_ARG(QString, m_WebObject),
                              Q_ARG(QString, m_WebMethod));
}
