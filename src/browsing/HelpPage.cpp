#include "browsing/HelpPage.h"

#include <QBuffer>
#include <QFile>
#include <QWebEngineProfile>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlSchemeHandler>

namespace {

class HelpSchemeHandler : public QWebEngineUrlSchemeHandler
{
public:
    using QWebEngineUrlSchemeHandler::QWebEngineUrlSchemeHandler;

    void requestStarted(QWebEngineUrlRequestJob *job) override
    {
        const QUrl url = job->requestUrl();
        if (url.host() != QLatin1String("help")
            || url.path() != QLatin1String("/testing/kestrel-help.php")) {
            job->fail(QWebEngineUrlRequestJob::UrlNotFound);
            return;
        }
        QFile f(QStringLiteral(":/kestrel/help/kestrel-help.html"));
        if (!f.open(QIODevice::ReadOnly)) {
            job->fail(QWebEngineUrlRequestJob::RequestFailed);
            return;
        }
        auto *body = new QBuffer(job);
        body->setData(f.readAll());
        job->reply("text/html", body);
    }
};

} // namespace

void installHelpPage(QWebEngineProfile *profile)
{
    if (!profile->urlSchemeHandler("kestrel"))
        profile->installUrlSchemeHandler("kestrel", new HelpSchemeHandler(profile));
}
