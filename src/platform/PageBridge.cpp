#include "platform/PageBridge.h"

#include "platform/BrowserElement.h"

#include <QWebChannel>
#include <QWebEnginePage>

PageBridge::PageBridge(BrowserElement *browser) : m_browser(browser) {}

void PageBridge::install(BrowserElement *browser, QWebEnginePage *page)
{
    // Both go with the page.
    auto *channel = new QWebChannel(page);
    auto *bridge = new PageBridge(browser);
    bridge->setParent(channel);
    channel->registerObject(QStringLiteral("kestrel"), bridge);
    page->setWebChannel(channel);
}

void PageBridge::post(const QString &token, const QJsonObject &snapshot)
{
    emit m_browser->PageEvent(m_browser->index(), token, snapshot);
}
