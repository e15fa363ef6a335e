// Page instrumentation: what a newly shown page needs while recording.
#include "recorder/Recorder.h"

#include "platform/BrowserElement.h"
#include "platform/HookManager.h"

#include <QJsonArray>
#include <QPointer>
#include <QUuid>

namespace {
const char *const kPageEvents[] = {"onclick", "onkeydown", "onfocusout", "onmouseover",
                                   "onmouseout"};
} // namespace

void Recorder::hookBrowser()
{
    BrowserElement *b = browser();
    if ((session.g.gMode == Mode::Record || session.g.gMode == Mode::Check) && b) {
        // Reports of this element's documents reach its forwarders.
        if (pageEvents.watch(b)) {
            connect(b, &BrowserElement::PageEvent, this,
                    [this, b](int, const QString &token, const QJsonObject &snapshot) {
                        pageEvents.receive(b, token, snapshot, b == browser());
                    });
            connect(b, &QObject::destroyed, this, [this, b] { pageEvents.forget(b); });
        }

        PageEvents::Forwarders forwarders;
        QJsonArray handlers;
        for (const char *event : kPageEvents) {
            auto f = std::make_shared<clsForward>();
            f->Set_Destination(
                QStringLiteral("main"), QLatin1String(event),
                [self = QPointer<Recorder>(this)](const QString &object, const QString &method) {
                    if (self)
                        self->ProcessWebEvent(object, method);
                });
            // The document knows its forwarder by this token; another
            // document cannot guess it.
            const QString token = QUuid::createUuid().toString(QUuid::Id128);
            forwarders.insert(token, f);
            handlers.append(QJsonObject{{QStringLiteral("event"), QLatin1String(event)},
                                        {QStringLiteral("token"), token}});
        }
        // Without waiting: this runs inside the engine's notification of the
        // new document (as it is created, before its own scripts), where a
        // waiting call is never answered. The page runs it before anything
        // sent to it later.
        const QString key = pageEvents.addPending(b, std::move(forwarders));
        QPointer<Recorder> self(this);
        QPointer<BrowserElement> element(b);
        b->callAgentAsync(QStringLiteral("hookBrowser"), QJsonArray{QJsonValue(handlers)},
                          [self, element, key](const AgentResult &r) {
                              if (!self || !element)
                                  return;
                              const QString doc =
                                  r.valueOr({}).toObject().value(QLatin1String("doc")).toString();
                              if (!doc.isEmpty())
                                  self->pageEvents.adopt(element, key, doc);
                              else
                                  self->pageEvents.drop(element, key);
                          });
    }
    // Mouse recording, whatever the mode: the hook was removed when the
    // navigation started.
    if (m_view && m_view->recordMouseChecked())
        HookManager::instance().HookInstall(this, HookManager::Mouse);
}
