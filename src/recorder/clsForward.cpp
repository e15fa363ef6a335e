#include "recorder/clsForward.h"

clsForward::clsForward()
{
    m_Armed = false;
}

void clsForward::Set_Destination(const QString &sInWebObject, const QString &sInWebMethod,
                                 Destination destination)
{
    m_WebObject = sInWebObject;
    m_WebMethod = sInWebMethod;
    m_Destination = std::move(destination);
    m_Armed = true;
}

void clsForward::My_Default_Method()
{
    if (!m_Armed || !m_Destination)
        return;
    m_Destination(m_WebObject, m_WebMethod);
}
