// Web event recording: page events become highlights and script lines.
#include "app/Kestrel.h"

#include "platform/BrowserElement.h"
#include "recorder/WebSource.h"
#include "script/ScriptWriter.h"


namespace {

bool isRecording(const QString &mode)
{
    return mode == QLatin1String("record") || mode == QLatin1String("check");
}

} // namespace

void Kestrel::ProcessWebEvent(QString sWebObject, QString sWebMethod)
{
    if (!isRecording(g.gMode))
        return;

    WebSource src;
    if (sWebObject.isEmpty() && sWebMethod == QLatin1String("altkey")) {
        sWebMethod = QStringLiteral("onclick");
        src = WebSource::readNow(w.webobj);
    } else {
        // The event the document of the shown element dispatched; another
        // element's document is not this window's.
        const PageEvents::Event *event = pageEvents.currentEvent();
        if (!event)
            return;
        src = WebSource(event->browser, event->snapshot);
    }

    QString value;
    QString value2;
    if (g.gMode == QLatin1String("check"))
        w.webobj = src.object();
    else
        w.webobj = PageObject();

    // From here on a member the element lacks skips only the step reading it.
    QString name = sWebMethod;
    if (const auto n = src.text(QStringLiteral("name")))
        name = *n;
    const std::optional<QString> tag = src.text(QStringLiteral("tagname"));

    auto write = [&](const QString &type, const QString &method) {
        // The line needs the element's tag name; without one nothing is written.
        if (tag)
            AppendScriptLine(*this, type, name, *tag, method, value, value2);
    };

    if (sWebMethod == QLatin1String("onmouseover")) {
        // Read from the page: an earlier highlight of this element may have
        // been undone after the snapshot was taken.
        if (const auto b = src.integerNow(QStringLiteral("border")))
            w.border = *b;
        if (const auto c = src.textNow(QStringLiteral("bgcolor")))
            w.bgcolor = *c;
        src.write(QStringLiteral("border"), 3);
        src.write(QStringLiteral("bgcolor"), QStringLiteral("#c0c0c0"));
        return;
    }
    if (sWebMethod == QLatin1String("onmouseout")) {
        src.write(QStringLiteral("border"), w.border);
        src.write(QStringLiteral("bgcolor"), w.bgcolor);
        return;
    }
    if (sWebMethod == QLatin1String("onkeydown") && g.gMode == QLatin1String("record")) {
        const qint32 key = src.keyCode().value_or(0);
        if (key == 13) {
            if (tag == QLatin1String("INPUT"))
                value = src.text(QStringLiteral("value")).value_or(value);
            write(QStringLiteral("Web"), QStringLiteral("ENTER"));
        } else if (key == 105) {
            AppendScriptLine(*this, QStringLiteral("Special"), QString(), QString(),
                             QStringLiteral("REFRESH"), QString(), QString());
        }
        return;
    }

    if (sWebMethod == QLatin1String("onclick") && tag) {
        if (*tag == QLatin1String("A")) {
            name = src.text(QStringLiteral("innerhtml")).value_or(name);
            const auto onclick = src.member(QStringLiteral("onclick"));
            const auto path = src.text(QStringLiteral("pathname"));
            if (onclick && path) {
                const bool ownHandler = !onclick->isNull() && onclick->toBool(true);
                value = !ownHandler && *path > QString() ? *path : QStringLiteral("(JS)");
            } else if (path) {
                // A handler test that cannot be made counts as a plain link.
                value = *path;
            }
        } else if (*tag == QLatin1String("IMG")) {
            name = src.text(QStringLiteral("nameprop")).value_or(name);
        } else if (*tag == QLatin1String("INPUT")) {
            value = src.text(QStringLiteral("value")).value_or(value);
        } else if (*tag == QLatin1String("SELECT")) {
            value = src.text(QStringLiteral("selectedindex")).value_or(value);
            const auto v = src.optionValue();
            const auto t = src.optionText();
            if (v && t)
                value2 = *v + QLatin1Char(':') + *t;
        } else {
            value = src.text(QStringLiteral("innerhtml")).value_or(value);
        }
    }

    if (sWebMethod == QLatin1String("onfocusout")) {
        if (tag != QLatin1String("INPUT"))
            return;
        value = src.text(QStringLiteral("value")).value_or(value);
    }

    if (g.gMode == QLatin1String("record"))
        write(QStringLiteral("Web"), sWebMethod);

    if (g.gMode == QLatin1String("check")) {
        if (value.isEmpty())
            value = src.text(QStringLiteral("innertext")).value_or(value);
        write(QStringLiteral("Check"), QStringLiteral("check"));
        g.gMode = QStringLiteral("record");
        showPicture(MainView::Button::Record, QStringLiteral("record-on.bmp"));
        showPicture(MainView::Button::Play, QStringLiteral("play-off.bmp"));
    }
}
