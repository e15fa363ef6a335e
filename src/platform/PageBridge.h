#pragma once

#include <QJsonObject>
#include <QObject>

class BrowserElement;
class QWebEnginePage;

// The one object a page can reach over its web channel (registered as
// "kestrel"). It has one call: the recorder's forwarders report an event with
// it. Nothing of the program can be read through it, and nothing else called;
// a report counts only under a forwarder's token, which the page never sees.
class PageBridge : public QObject
{
    Q_OBJECT
public:
    explicit PageBridge(BrowserElement *browser);

    // Sets up the channel of browser's page with the bridge on it. Must run
    // before the page's first document exists: a document's channel client
    // sees only the objects registered when it started.
    static void install(BrowserElement *browser, QWebEnginePage *page);

    // A forwarder's report: its token and the snapshot of the event's source
    // element.
    Q_INVOKABLE void post(const QString &token, const QJsonObject &snapshot);

private:
    BrowserElement *m_browser;
};
