#include "recorder/PageEvents.h"

#include "platform/BrowserElement.h"

#include <algorithm>

PageEvents::PageEvents()
{
    m_timer.setSingleShot(true);
    m_timer.setInterval(0);
    m_timer.callOnTimeout([this] { deliver(); });
}

QString PageEvents::addPending(BrowserElement *browser, Forwarders forwarders)
{
    const QString key = QStringLiteral("pending-%1").arg(++m_pendingSerial);
    QList<Document> &docs = m_documents[browser];
    docs.append({key, std::move(forwarders)});
    while (docs.size() > kDocumentsKept)
        docs.removeFirst();
    return key;
}

void PageEvents::adopt(const BrowserElement *browser, const QString &key, const QString &document)
{
    const auto it = m_documents.find(browser);
    if (it == m_documents.end())
        return;
    QList<Document> &docs = it.value();
    const bool present = std::any_of(docs.cbegin(), docs.cend(),
                                     [&](const Document &d) { return d.id == key; });
    if (!present)
        return;
    docs.removeIf([&](const Document &d) { return d.id == document; });
    for (Document &d : docs)
        if (d.id == key)
            d.id = document;
}

void PageEvents::drop(const BrowserElement *browser, const QString &key)
{
    const auto it = m_documents.find(browser);
    if (it != m_documents.end())
        it.value().removeIf([&](const Document &d) { return d.id == key; });
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

void PageEvents::receive(BrowserElement *browser, const QString &token, const QJsonObject &snapshot,
                         bool shown)
{
    m_queue.enqueue({browser, token, snapshot, shown});
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
            m_current = {r.browser, r.snapshot};
            m_hasCurrent = r.shown;
            f->My_Default_Method();
            m_hasCurrent = false;
            m_current = {nullptr, {}};
        }
        m_handled.insert(r.browser, {r.snapshot.value(QLatin1String("doc")).toString(),
                                     r.snapshot.value(QLatin1String("seq")).toInt()});
    }
    m_delivering = false;
}

bool PageEvents::firstClosedReport(const QString &document)
{
    if (m_closedNoted.contains(document))
        return false;
    m_closedNoted.insert(document);
    return true;
}
