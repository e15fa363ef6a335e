#include "platform/BrowserElement.h"

#include <QCoreApplication>
#include <QWebEnginePage>
#include <QWebEngineProfile>

QWebEngineProfile *BrowserElement::profile()
{
    // Off the record: a test run leaves no cookies or cache behind and is not
    // influenced by an earlier one.
    static QWebEngineProfile *p = new QWebEngineProfile(QCoreApplication::instance());
    return p;
}

BrowserElement::BrowserElement(int index, QWidget *parent)
    : QWebEngineView(parent), m_index(index)
{
    setPage(new QWebEnginePage(profile(), this));
}

BrowserElement::~BrowserElement()
{
    // The page must go before the view that shows it.
    delete page();
}
