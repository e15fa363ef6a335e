// Finding recorded elements again, and check steps.
#include "player/ObjectLocation.h"

#include "app/Kestrel.h"
#include "platform/BrowserElement.h"
#include "platform/Wait.h"
#include "script/ScriptLine.h"

namespace {
// The text of a member, or nothing when it cannot be read as text.
std::optional<QString> textMember(const PageObject &obj, const QString &member)
{
    const BrowserElement::Result r = obj.browser->getMember(obj.handle, member);
    if (!r.ok || !r.value.isString())
        return std::nullopt;
    return r.value.toString();
}

// One search of the page in front, in document order.
PageObject searchPage(Kestrel &k, const QString &event_object, const QString &event_tagname,
                      const QString &event_value)
{
    BrowserElement *b = k.browser();
    if (!b)
        return {};
    const BrowserElement::Result r = b->findElement(
        event_tagname, identifiedByObject(event_tagname) ? event_object : event_value);
    const int handle = r.ok ? r.value.toInt() : 0;
    if (handle <= 0)
        return {};
    return {b, handle};
}
} // namespace

bool identifiedByObject(const QString &tag)
{
    return QStringLiteral("*IMG*A*SELECT*INPUT*")
        .contains(QLatin1Char('*') + tag + QLatin1Char('*'));
}

bool Kestrel::checkObject(const PageObject &obj, const QString &ev_tag, const QString &ev_obj,
                          const QString &ev_val)
{
    if (obj.isNull())
        return false;
    const std::optional<QString> tag = textMember(obj, QStringLiteral("tagname"));
    if (!tag || *tag != ev_tag)
        return false;
    std::optional<QString> have;
    if (*tag == QLatin1String("IMG"))
        have = textMember(obj, QStringLiteral("nameprop"));
    else if (*tag == QLatin1String("A"))
        have = textMember(obj, QStringLiteral("innerhtml"));
    else if (*tag == QLatin1String("SELECT") || *tag == QLatin1String("INPUT"))
        have = textMember(obj, QStringLiteral("Name"));
    else
        return textMember(obj, QStringLiteral("innerhtml")) == ev_val;
    return have == ev_obj;
}

PageObject findWebObject(Kestrel &k, const QString &event_object, const QString &event_tagname,
                         const QString &event_value, PageWait *wait)
{
    *wait = waitForPage(k, 500, false);
    if (*wait == PageWait::TimedOut)
        return {};
    return searchPage(k, event_object, event_tagname, event_value);
}

PageObject Kestrel::getWebObject(const QString &event_object, const QString &event_tagname,
                                 const QString &event_value, const QString &)
{
    PageWait wait;
    return findWebObject(*this, event_object, event_tagname, event_value, &wait);
}

bool Kestrel::docheck(const QString &event_object, const QString &event_tagname,
                      const QString &event_value, const QString &event_value2)
{
    Q_UNUSED(event_value2);
    const PageObject el = searchPage(*this, event_object, event_tagname, decodeField(event_value));
    if (el.isNull())
        return false;
    BrowserElement *b = el.browser;
    b->invoke(el.handle, QStringLiteral("SetFocus"));

    // Only what could be read is highlighted, so that all of it can be put
    // back as it was.
    const BrowserElement::Result bg = b->getMember(el.handle, QStringLiteral("bgcolor"));
    const BrowserElement::Result bd = b->getMember(el.handle, QStringLiteral("border"));
    const bool haveBg = bg.ok && bg.value.isString();
    const bool haveBorder = bd.ok && bd.value.isDouble();
    const QString savedBg = haveBg ? bg.value.toString() : QString();
    const int savedBorder = haveBorder ? bd.value.toInt() : 0;
    if (haveBg)
        w.bgcolor = savedBg;
    if (haveBorder)
        w.border = savedBorder;
    if (haveBorder)
        b->setMember(el.handle, QStringLiteral("border"), 3);
    if (haveBg)
        b->setMember(el.handle, QStringLiteral("bgcolor"), QStringLiteral("#c0c0c0"));
    DoEvents();
    // The highlight is shown for a second; the window keeps being drawn.
    pauseProcessing(1000);
    if (el.browser && haveBorder)
        el.browser->setMember(el.handle, QStringLiteral("border"), savedBorder);
    if (el.browser && haveBg)
        el.browser->setMember(el.handle, QStringLiteral("bgcolor"), savedBg);
    DoEvents();
    return true;
}
