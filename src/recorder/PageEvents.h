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

    // Forwarders being handed to the document now shown in browser, by
    // token; they answer at once, before the page has said which document
    // took them. Returns the key for adopt and drop.
    QString addPending(BrowserElement *browser, Forwarders forwarders);
    // The document that took them: they replace the ones it had (a document
    // keeps its last forwarder per event). Those of the element's earlier
    // documents stay while such a document may be shown again (going back).
    void adopt(const BrowserElement *browser, const QString &key, const QString &document);
    // The page took none of them.
    void drop(const BrowserElement *browser, const QString &key);
    // True the first time for browser: its reports must then be connected to
    // deliver (and its end to forget).
    bool watch(const BrowserElement *browser);
    void forget(const BrowserElement *browser);

    // A report has come; it is handled as soon as the event loop runs.
    // shown: browser was the element shown when its page sent it (by the
    // time it is handled a pop-up the click opened may be shown instead).
    void receive(BrowserElement *browser, const QString &token, const QJsonObject &snapshot,
                 bool shown);

    // Whether every report that browser's document had made when it said it
    // had made `count` reports has been handled.
    bool handledAll(const BrowserElement *browser, const QString &document, int count) const;

    // The event being handled now, if the shown element's document sent it.
    struct Event
    {
        BrowserElement *browser;
        QJsonObject snapshot;
    };
    const Event *currentEvent() const { return m_hasCurrent ? &m_current : nullptr; }

    // True the first time a document reports an event inside a closed shadow
    // root: the tester is told once per page.
    bool firstClosedReport(const QString &document);

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
        bool shown;
    };
    std::shared_ptr<clsForward> find(const BrowserElement *browser, const QString &token) const;
    void deliver();

    QHash<const BrowserElement *, QList<Document>> m_documents;
    QSet<const BrowserElement *> m_watched;
    // Per element: its latest reporting document and that one's last report.
    QHash<const BrowserElement *, QPair<QString, int>> m_handled;
    QQueue<Report> m_queue;
    QSet<QString> m_closedNoted;
    QTimer m_timer;
    int m_pendingSerial = 0;
    bool m_delivering = false;
    Event m_current{nullptr, {}};
    bool m_hasCurrent = false;
};
