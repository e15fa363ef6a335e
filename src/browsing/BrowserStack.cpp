#include "browsing/BrowserStack.h"

#include "browsing/HelpPage.h"
#include "core/Dialogs.h"
#include "core/Session.h"
#include "platform/BrowserElement.h"
#include "platform/MainView.h"
#include "platform/Wait.h"
#include "script/ScriptDocument.h"

#include <QPointer>

BrowserStack::BrowserStack(Session &session, Dialogs &dialogs, ScriptDocument &script,
                           QObject *parent)
    : QObject(parent), m_session(session), m_dialogs(dialogs), m_script(script)
{
    installHelpPage(BrowserElement::profile());
    // Page dialogs reach the user through Dialogs, so tests answer them.
    BrowserElement::setPageDialogHandler([this](BrowserElement *, BrowserElement::PageDialog kind,
                                                const QString &message, const QString &defaultText,
                                                QString *text) {
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

BrowserStack::~BrowserStack()
{
    BrowserElement::setPageDialogHandler({});
}

QString BrowserStack::helpPageUrl()
{
    return QStringLiteral("kestrel://help/testing/kestrel-help.php");
}

BrowserElement *BrowserStack::browser() const
{
    return wbMyBrowser.value(m_session.ix);
}

bool BrowserStack::silentTicked() const
{
    return m_view && m_view->silentChecked();
}

void BrowserStack::applySilent()
{
    if (BrowserElement *b = browser())
        b->setSilent(silentTicked());
}

void BrowserStack::writeUrlLine(const QString &fallback)
{
    m_urlLinePending = false;
    m_script.AppendScriptLine(QStringLiteral("Special"), QStringLiteral("URL"), QString(),
                              QString(), m_view ? m_view->urlText() : fallback, QString());
}

// The page is shown, and can be acted on, as soon as its document exists,
// while its scripts may go on loading for long; the line that opens it must
// come before anything recorded on it, so it is written when the document is
// reported (with the address the box shows then), or at the latest when the
// wait ends.
void BrowserStack::goAndRecord(const QString &address)
{
    m_urlLinePending = true;
    GoToPage(address);
    if (m_urlLinePending)
        writeUrlLine(address);
}

void BrowserStack::connectBrowser(BrowserElement *b)
{
    connect(b, &BrowserElement::ProgressChange, this, &BrowserStack::wbMyBrowser_ProgressChange);
    connect(b, &BrowserElement::BeforeNavigate2, this, &BrowserStack::wbMyBrowser_BeforeNavigate2);
    connect(b, &BrowserElement::NavigateComplete2, this,
            &BrowserStack::wbMyBrowser_NavigateComplete2);
    connect(b, &BrowserElement::LocationChanged, this, &BrowserStack::wbMyBrowser_LocationChanged);
    // Only the main browser's new-window requests are ours; the others open
    // in their own element.
    if (b->index() == 0)
        connect(
            b, &BrowserElement::NewWindow, this,
            [this](int, const QString &url, bool &processed) { Web_V1_NewWindow(url, processed); });
}

void BrowserStack::GoToPage(const QString &url)
{
    BrowserElement *b = browser();
    if (!b)
        return;
    applySilent();
    b->Navigate2(url);
    // No time limit: Stop, handled in here, ends the wait. ix is read anew,
    // since a pop-up may open or close meanwhile.
    while (browser() && browser()->Busy()) {
        applySilent();
        DoEventsOrWait();
    }
    applySilent();
}

void BrowserStack::CmdGo_Click()
{
    if (!m_view)
        return;
    const QString text = m_view->urlText();
    if (text.isEmpty()) {
        m_dialogs.message(m_view->window(), QStringLiteral("You must enter a valid URL"),
                          Dialogs::appTitle());
        return;
    }
    goAndRecord(text);
}

void BrowserStack::TxtURL_KeyDown(int KeyCode, int)
{
    if (KeyCode != 13 || !m_view)
        return;
    goAndRecord(m_view->urlText());
}

void BrowserStack::CmdBack_Click()
{
    // With no earlier page nothing happens; the line is handed over anyway.
    if (BrowserElement *b = browser())
        b->GoBack();
    m_script.AppendScriptLine(QStringLiteral("Special"), QStringLiteral("Back"), QString(),
                              QString(), QString(), QString());
}

void BrowserStack::CmdBrowserStop_Click()
{
    if (BrowserElement *b = browser())
        b->Stop();
}

void BrowserStack::wbMyBrowser_ProgressChange(int, int Progress, int ProgressMax)
{
    applySilent();
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

void BrowserStack::wbMyBrowser_BeforeNavigate2(int, const QString &)
{
    emit navigationStarting();
    if (m_view)
        m_view->setBusyPointer(true);
}

void BrowserStack::wbMyBrowser_NavigateComplete2(int, const QString &)
{
    emit navigated();
    if (!m_view)
        return;
    m_view->setBusyPointer(false);
    if (BrowserElement *b = browser())
        m_view->setUrlText(b->LocationURL());
    if (m_urlLinePending)
        writeUrlLine(QString());
}

void BrowserStack::wbMyBrowser_LocationChanged(int, const QString &)
{
    // The address box shows where the page in front is now, as a browser's
    // address bar does.
    if (m_view)
        if (BrowserElement *b = browser())
            m_view->setUrlText(b->LocationURL());
}

void BrowserStack::Web_V1_NewWindow(const QString &URL, bool &Processed)
{
    if (!m_view)
        return;
    m_view->setStatusText(QStringLiteral("New window..."));
    m_view->repaintNow();
    Processed = true;
    if (BrowserElement *shown = browser())
        shown->hide();
    m_session.ix += 1;
    auto *b = new BrowserElement(m_session.ix, m_view->browserArea());
    // The stack holds exactly the elements 0 to ix.
    wbMyBrowser.resize(m_session.ix);
    wbMyBrowser.append(b);
    connectBrowser(b);
    m_view->addBrowser(b);
    b->show();
    GoToPage(URL);
    if (!m_view)
        return;
    // Unless the pop-up was closed while it loaded.
    if (m_session.ix > 0)
        m_view->setCloseVisible(true);
    Sleep(1000);
    if (m_session.g.gMode == Mode::Record)
        m_dialogs.message(
            m_view->window(),
            QStringLiteral("This window would normally be in a pop-up. Click on OK to "
                           "continue. To return to the previous window, click on "
                           "'close' above"),
            QStringLiteral("Pop-up"));
}

void BrowserStack::ClosePopup()
{
    if (m_session.ix <= 0 || m_session.ix >= wbMyBrowser.size())
        return;
    if (m_session.g.gMode == Mode::Record)
        m_script.AppendScriptLine(QStringLiteral("Special"), QStringLiteral("Close"), QString(),
                                  QString(), QString(), QString());
    QPointer<BrowserElement> top = wbMyBrowser.at(m_session.ix);
    const int closing = m_session.ix;
    top->Stop();
    while (top && top->Busy())
        DoEventsOrWait();
    // Something run while waiting may have closed it already.
    if (m_session.ix != closing || !top)
        return;
    wbMyBrowser.removeAt(closing);
    delete top;
    m_session.ix -= 1;
    if (BrowserElement *below = browser())
        below->show();
    if (m_session.ix == 0 && m_view)
        m_view->setCloseVisible(false);
}

void BrowserStack::CmdClose_Click()
{
    ClosePopup();
}
