#pragma once

#include "recorder/clsForward.h"

#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QPointer>
#include <QQueue>
#include <QSet>
#include <QString>
#include <QTimer>

#include <memory>

class BrowserElement;

// The forwarders that hookBrowser hung on the documents of the browser
// elements, and the delivery of what they report. A report names its
// forwarder by a token that only that document was given; the forwarder then
// runs with the report as the element's current event, which is what
// ProcessWebEvent reads.
//
// Reports are delivered one at a time in the order they came: handling one
// waits on the page (the highlight), and a report arriving meanwhile must not
// overtake it. They are handled from a timer, never where they arrive: the
// engine hands them over inside a task of its own, and a call into a page
// made there (or from a posted event) is never answered.
class PageEvents
{
public:
    PageEvents();

    using Forwarders = QHash<QString, std::shared_ptr<clsForward>>;

    // The forwarders now on one document of browser, by token. They replace
    // the ones set on that document before (a document keeps its last
    // forwarder per event); those of the element's earlier documents stay
    // while such a document may still be shown again (going back).
    void setForwarders(BrowserElement *browser, const QString &document, Forwarders forwarders);
    // True the first time for browser: its reports must then be connected to
    // deliver (and its end to forget).
    bool watch(const BrowserElement *browser);
    void forget(const BrowserElement *browser);
    // Forwarders held for one document of browser.
    int forwarderCount(const BrowserElement *browser, const QString &document) const;

    // A report has come; it is handled as soon as the event loop runs.
    void receive(BrowserElement *browser, const QString &token, const QJsonObject &snapshot);

    // Whether every report that browser's document had made when it said it
    // had made `count` reports has been handled.
    bool handledAll(const BrowserElement *browser, const QString &document, int count) const;

    // The event browser's document is dispatching now, or null.
    const QJsonObject *currentEvent(const BrowserElement *browser) const;

    // Documents of one element whose forwarders are kept.
    static constexpr int kDocumentsKept = 16;

private:
    struct Document
    {
        QString id;
        Forwarders forwarders;
    };
    struct Report
    {
        QPointer<BrowserElement> browser;
        QString token;
        QJsonObject snapshot;
    };
    std::shared_ptr<clsForward> find(const BrowserElement *browser, const QString &token) const;
    void deliver();

    QHash<const BrowserElement *, QList<Document>> m_documents;
    QSet<const BrowserElement *> m_watched;
    // Per element: its latest reporting document and that one's last report.
    QHash<const BrowserElement *, QPair<QString, int>> m_handled;
    QQueue<Report> m_queue;
    QTimer m_timer;
    bool m_delivering = false;
    const BrowserElement *m_currentBrowser = nullptr;
    QJsonObject m_current;
};
