// Web event recording: page events become highlights and script lines.
#include "recorder/Recorder.h"

#include "script/ScriptDocument.h"

#include "platform/BrowserElement.h"
#include "platform/Screen.h"
#include "recorder/MousePress.h"
#include "recorder/WebSource.h"
#include "script/ScriptWriter.h"

#include <cmath>

namespace {

void recordBackgroundClick(Recorder &k, const WebSource &src)
{
    BrowserElement *b = src.object().browser;
    if (!b)
        return;
    // As a press of the mouse there, which is how the player can click a
    // page's background again.
    const double zoom = b->zoomFactor();
    const QPoint g = b->mapToGlobal(QPoint(qRound(src.point().x() * zoom),
                                           qRound(src.point().y() * zoom)));
    k.script.AppendScriptLine(QStringLiteral("Special"), QStringLiteral("mousedown"), QString(),
                              QString(), signedText(twipsPerPixelX() * g.x()),
                              signedText(std::nearbyint(twipsPerPixelY() * g.y())));
}

} // namespace

void Recorder::ProcessWebEvent(QString sWebObject, QString sWebMethod)
{
    if (!session.recordingOrChecking()) {
        // A highlight never outlives recording (Stop ends it without a word
        // to the recorder): the mouse leaving takes it off. Playback is left
        // alone.
        const bool playing = session.g.gMode == Mode::Play || session.g.gMode == Mode::Manual;
        if (sWebMethod == QLatin1String("onmouseout") && !playing)
            if (const PageEvents::Event *event = pageEvents.currentEvent())
                WebSource(event->browser, event->snapshot).unhighlight();
        return;
    }

    WebSource src;
    if (sWebObject.isEmpty() && sWebMethod == QLatin1String("altkey")) {
        sWebMethod = QStringLiteral("onclick");
        src = WebSource::readNow(webobj);
    } else {
        // The event the document of the shown element dispatched; another
        // element's document is not this window's.
        const PageEvents::Event *event = pageEvents.currentEvent();
        if (!event)
            return;
        src = WebSource(event->browser, event->snapshot);
    }

    const QString kind = src.kind();
    if (kind == QLatin1String("closed")) {
        // Nothing rather than a line for the host, which replays nothing.
        if (m_view && pageEvents.firstClosedReport(src.object().document))
            m_view->appendEvents(QStringLiteral(
                "(Not recorded: this page acts inside a closed shadow root, which it keeps "
                "hidden; actions there cannot be recorded.)\r\n"));
        return;
    }
    if (kind == QLatin1String("background")) {
        // With "Record mouse" ticked the press is recorded already.
        if (session.g.gMode == Mode::Record && !(m_view && m_view->recordMouseChecked()))
            recordBackgroundClick(*this, src);
        return;
    }
    // Pressing the mouse on a list is the check of the list in check mode,
    // and nothing of its own while recording: the choice, if any, follows.
    if (kind == QLatin1String("press") && session.g.gMode != Mode::Check)
        return;

    // A field loses the focus in check mode because the tester pressed Check
    // or clicked the element to check: that is no check of the field (and
    // would take the check from the element meant), while its text is still
    // a step. The check is the click, key or Alt that follows.
    const bool checking =
        session.g.gMode == Mode::Check && sWebMethod != QLatin1String("onfocusout");
    QString value;
    QString value2;
    if (checking)
        webobj = src.object();
    else if (session.g.gMode == Mode::Record)
        webobj = PageObject();

    // From here on a member the element lacks skips only the step reading it.
    QString name = sWebMethod;
    if (const auto n = src.text(QStringLiteral("name")))
        name = *n;
    const std::optional<QString> tag = src.text(QStringLiteral("tagname"));

    auto write = [&](const QString &type, const QString &method) {
        // The line needs the element's tag name; without one nothing is written.
        if (!tag)
            return;
        // Where several elements share what the line names the element by,
        // the field left empty tells which one it was.
        QString second = value2;
        if (second.isEmpty()) {
            static const QStringList byObject{QStringLiteral("IMG"), QStringLiteral("A"),
                                              QStringLiteral("SELECT"), QStringLiteral("INPUT")};
            second = src.hint(byObject.contains(*tag) ? name : value);
        }
        script.AppendScriptLine(type, name, *tag, method, value, second);
    };

    if (sWebMethod == QLatin1String("onmouseover")) {
        // Read from the page: an earlier highlight of this element may have
        // been undone after the snapshot was taken.
        if (const auto b = src.integerNow(QStringLiteral("border")))
            session.border = *b;
        if (const auto c = src.textNow(QStringLiteral("bgcolor")))
            session.bgcolor = *c;
        src.write(QStringLiteral("border"), 3);
        src.write(QStringLiteral("bgcolor"), QStringLiteral("#c0c0c0"));
        return;
    }
    if (sWebMethod == QLatin1String("onmouseout")) {
        // Exactly as the element was, whatever was saved since.
        src.unhighlight();
        return;
    }
    if (sWebMethod == QLatin1String("onkeydown") && session.g.gMode == Mode::Record) {
        const qint32 key = src.keyCode().value_or(0);
        if (key == 13) {
            // Enter on a link or a button makes the browser click it: that
            // click is the step, and it replays.
            if (tag == QLatin1String("A") || tag == QLatin1String("BUTTON"))
                return;
            if (tag == QLatin1String("INPUT"))
                value = src.text(QStringLiteral("value")).value_or(value);
            write(QStringLiteral("Web"), QStringLiteral("ENTER"));
        } else if (key == 105) {
            script.AppendScriptLine(QStringLiteral("Special"), QString(), QString(),
                                    QStringLiteral("REFRESH"), QString(), QString());
        }
        return;
    }

    // A field is checked by what it holds and a list by its choice, whatever
    // event made the check: the player compares that content.
    const bool fieldCheck = checking
        && (tag == QLatin1String("SELECT") || tag == QLatin1String("INPUT"));
    if ((sWebMethod == QLatin1String("onclick") || fieldCheck) && tag) {
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

    if (!checking) {
        write(QStringLiteral("Web"), sWebMethod);
    } else {
        // A choice made in check mode is still a step, before its check: the
        // replay makes the choice, then finds it.
        if (kind == QLatin1String("change"))
            write(QStringLiteral("Web"), sWebMethod);
        if (value.isEmpty())
            value = src.text(QStringLiteral("innertext")).value_or(value);
        write(QStringLiteral("Check"), QStringLiteral("check"));
        session.g.gMode = Mode::Record;
        showPicture(MainView::Button::Record, QStringLiteral("record-on.bmp"));
        showPicture(MainView::Button::Play, QStringLiteral("play-off.bmp"));
    }
}
