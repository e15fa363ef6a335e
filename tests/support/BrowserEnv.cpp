#include "TestEnv.h"

#include "platform/BrowserElement.h"
#include "platform/ChromiumEnv.h"

#include <QWebEnginePage>

void initTestEnvironment()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    prepareChromiumEnvironment();
}

QVariant runJs(QWebEnginePage *page, const QString &code, const QVariant &onTimeout)
{
    QVariant result;
    bool done = false;
    page->runJavaScript(code, [&](const QVariant &v) { result = v, done = true; });
    return waitUntil([&] { return done; }, 10000) ? result : onTimeout;
}

QPoint centreOf(QWebEnginePage *page, const QString &element)
{
    const QString centre = QStringLiteral("(function () { const e = (%1); if (!e) return null;"
                                          " const r = e.getBoundingClientRect();"
                                          " return [r.left + r.width / 2, r.top + r.height / 2]; })()");
    const QVariantList xy = runJs(page, centre.arg(element)).toList();
    return xy.size() == 2 ? QPoint(xy[0].toInt(), xy[1].toInt()) : QPoint(-1, -1);
}

AgentResult findHandle(BrowserElement *browser, const QString &tag, const QString &identity)
{
    const AgentResult r = browser->callAgent(QStringLiteral("findElement"), {tag, identity});
    if (!r.ok())
        return r;
    return AgentResult(r.value()[QLatin1String("handle")].toInt());
}
