// The address bar, GoToPage and the page-load notifications of every browser
// element. Every operation acts on the element shown now, wbMyBrowser(ix),
// whichever element raised the notification.
#include "app/Kestrel.h"

#include "browsing/HelpPage.h"
#include "platform/BrowserElement.h"
#include "core/Dialogs.h"
#include "platform/HookManager.h"
#include "platform/Wait.h"
#include "script/ScriptWriter.h"

namespace {

bool silentTicked(const Kestrel &k)
{
    return k.view() && k.view()->silentChecked();
}

void applySilent(Kestrel &k)
{
    if (BrowserElement *b = k.browser())
        b->setSilent(silentTicked(k));
}

void writeUrlLine(Kestrel &k, const QString &fallback)
{
    k.urlLinePending = false;
    k.script.AppendScriptLine(QStringLiteral("Special"), QStringLiteral("URL"), QString(), QString(),
                     k.view() ? k.view()->urlText() : fallback, QString());
}

// The page is shown, and can be acted on, as soon as its document exists,
// while its scripts may go on loading for long; the line that opens it must
// come before anything recorded on it, so it is written when the document is
// reported (with the address the box shows then), or at the latest when the
// wait ends.
void goAndRecord(Kestrel &k, const QString &address)
{
    k.urlLinePending = true;
    k.GoToPage(address);
    if (k.urlLinePending)
        writeUrlLine(k, address);
}

} // namespace

void Kestrel::initBrowsing()
{
    installHelpPage(BrowserElement::profile());
    // Page dialogs reach the user through Dialogs, so tests answer them.
    BrowserElement::setPageDialogHandler([this](BrowserElement *, BrowserElement::PageDialog kind,
                                                const QString &message,
                                                const QString &defaultText, QString *text) {
        QWidget *parent = m_view ? m_view->window() : nullptr;
        switch (kind) {
        case BrowserElement::PageDialog::Alert:
            m_dialogs.message(parent, message, Dialogs::appTitle());
            return true;
        case BrowserElement::PageDialog::Confirm:
            return m_dialogs.question(parent, message, Dialogs::appTitle());
        case BrowserElement::PageDialog::Prompt:
            *text = m_dialogs.inputBox(parent, message, Dialogs::appTitle(), defaultText);
            // The input box gives an empty text when cancelled.
            return !text->isEmpty();
        }
        return false;
    });
}

void Kestrel::connectBrowser(BrowserElement *b)
{
    connect(b, &BrowserElement::ProgressChange, this, &Kestrel::wbMyBrowser_ProgressChange);
    connect(b, &BrowserElement::BeforeNavigate2, this, &Kestrel::wbMyBrowser_BeforeNavigate2);
    connect(b, &BrowserElement::NavigateComplete2, this, &Kestrel::wbMyBrowser_NavigateComplete2);
    connect(b, &BrowserElement::LocationChanged, this, &Kestrel::wbMyBrowser_LocationChanged);
    // Only the main browser's new-window requests are ours; the others open
    // in their own element.
    if (b->index() == 0)
        connect(b, &BrowserElement::NewWindow, this,
                [this](int, const QString &url, bool &processed) { Web_V1_NewWindow(url, processed); });
}

void Kestrel::GoToPage(const QString &url)
{
    BrowserElement *b = browser();
    if (!b)
        return;
    applySilent(*this);
    b->Navigate2(url);
    // No time limit: Stop, handled in here, ends the wait. ix is read anew,
    // since a pop-up may open or close meanwhile.
    while (browser() && browser()->Busy()) {
        applySilent(*this);
        DoEventsOrWait();
    }
    applySilent(*this);
}

void Kestrel::CmdGo_Click()
{
    if (!m_view)
        return;
    const QString text = m_view->urlText();
    if (text.isEmpty()) {
        m_dialogs.message(m_view->window(), QStringLiteral("You must enter a valid URL"),
                          Dialogs::appTitle());
        return;
    }
    goAndRecord(*this, text);
}

void Kestrel::TxtURL_KeyDown(int KeyCode, int)
{
    if (KeyCode != 13 || !m_view)
        return;
    goAndRecord(*this, m_view->urlText());
}

void Kestrel::CmdBack_Click()
{
    // With no earlier page nothing happens; the line is handed over anyway.
    if (BrowserElement *b = browser())
        b->GoBack();
    script.AppendScriptLine(QStringLiteral("Special"), QStringLiteral("Back"), QString(), QString(),
                     QString(), QString());
}

void Kestrel::CmdBrowserStop_Click()
{
    if (BrowserElement *b = browser())
        b->Stop();
}

void Kestrel::wbMyBrowser_ProgressChange(int, int Progress, int ProgressMax)
{
    applySilent(*this);
    if (!m_view)
        return;
    if (ProgressMax == 0) {
        m_view->setStatusText(QString());
        m_view->setBusyPointer(false);
        return;
    }
    // floor(Progress / ProgressMax * 100), computed exactly: in floating
    // point 29 of 100 would come out as 28.
    const qint64 scaled = qint64(Progress) * 100;
    const qint64 max = ProgressMax;
    qint64 p = scaled / max;
    if ((scaled % max != 0) && ((scaled < 0) != (max < 0)))
        --p;
    if (p < 0 || p > 100)
        p = 100;
    m_view->setBusyPointer(true);
    m_view->setStatusText(QStringLiteral("loading %1%").arg(p));
}

void Kestrel::wbMyBrowser_BeforeNavigate2(int, const QString &)
{
    HookManager::instance().HookRemove(this, HookManager::Mouse);
    if (m_view)
        m_view->setBusyPointer(true);
}

void Kestrel::wbMyBrowser_NavigateComplete2(int, const QString &)
{
    hookBrowser();
    if (!m_view)
        return;
    m_view->setBusyPointer(false);
    if (BrowserElement *b = browser())
        m_view->setUrlText(b->LocationURL());
    if (urlLinePending)
        writeUrlLine(*this, QString());
}

void Kestrel::wbMyBrowser_LocationChanged(int, const QString &)
{
    // The address box shows where the page in front is now, as a browser's
    // address bar does.
    if (m_view)
        if (BrowserElement *b = browser())
            m_view->setUrlText(b->LocationURL());
}
