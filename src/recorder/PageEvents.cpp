#include "recorder/PageEvents.h"

#include "platform/BrowserElement.h"

PageEvents::PageEvents()
{
    m_timer.setSingleShot(true);
    m_timer.setInterval(0);
    m_timer.callOnTimeout([this] { deliver(); });
}

void PageEvents::setForwarders(BrowserElement *browser, const QString &document,
                               Forwarders forwarders)
{
    QList<Document> &docs = m_documents[browser];
    docs.removeIf([&](const Document &d) { return d.id == document; });
    docs.append({document, std::move(forwarders)});
    while (docs.size() > kDocumentsKept)
        docs.removeFirst();
}

bool PageEvents::watch(const BrowserElement *browser)
{
    if (m_watched.contains(browser))
        return false;
    m_watched.insert(browser);
    return true;
}

void PageEvents::forget(const BrowserElement *browser)
{
    m_documents.remove(browser);
    m_watched.remove(browser);
    m_handled.remove(browser);
}

bool PageEvents::handledAll(const BrowserElement *browser, const QString &document,
                            int count) const
{
    if (count <= 0)
        return true;
    const auto it = m_handled.constFind(browser);
    return it != m_handled.constEnd() && it->first == document && it->second >= count;
}

int PageEvents::forwarderCount(const BrowserElement *browser, const QString &document) const
{
    for (const Document &d : m_documents.value(browser))
        if (d.id == document)
            return int(d.forwarders.size());
    return 0;
}

std::shared_ptr<clsForward> PageEvents::find(const BrowserElement *browser,
                                             const QString &token) const
{
    const auto it = m_documents.constFind(browser);
    if (it == m_documents.constEnd())
        return nullptr;
    for (const Document &d : it.value())
        if (auto f = d.forwarders.value(token))
            return f;
    return nullptr;
}

void PageEvents::receive(BrowserElement *browser, const QString &token, const QJsonObject &snapshot)
{
    m_queue.enqueue({browser, token, snapshot});
    if (!m_delivering)
        m_timer.start();
}

void PageEvents::deliver()
{
    if (m_delivering)
        return;
    m_delivering = true;
    while (!m_queue.isEmpty()) {
        const Report r = m_queue.dequeue();
        if (!r.browser)
            continue;
        // Held while it runs: a hookBrowser inside may replace the set.
        if (const std::shared_ptr<clsForward> f = find(r.browser, r.token)) {
            m_currentBrowser = r.browser;
            m_current = r.snapshot;
            f->My_Default_Method();
            m_currentBrowser = nullptr;
            m_current = {};
        }
        m_handled.insert(r.browser, {r.snapshot.value(QLatin1String("doc")).toString(),
                                     r.snapshot.value(QLatin1String("seq")).toInt()});
    }
    m_delivering = false;
}

const QJsonObject *PageEvents::currentEvent(const BrowserElement *browser) const
{
    return browser && browser == m_currentBrowser ? &m_current : nullptr;
}
