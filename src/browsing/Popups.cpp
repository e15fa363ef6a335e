// Pop-up windows: a stack of browser elements in the main window.
#include "app/Kestrel.h"

#include "platform/BrowserElement.h"
#include "core/Dialogs.h"
#include "platform/Wait.h"
#include "script/ScriptWriter.h"

#include <QPointer>

void Kestrel::Web_V1_NewWindow(const QString &URL, bool &Processed)
{
    if (!m_view)
        return;
    m_view->setStatusText(QStringLiteral("New window..."));
    m_view->repaintNow();
    Processed = true;
    if (BrowserElement *shown = browser())
        shown->hide();
    session.ix += 1;
    auto *b = new BrowserElement(session.ix, m_view->browserArea());
    // The stack holds exactly the elements 0 to ix.
    wbMyBrowser.resize(session.ix);
    wbMyBrowser.append(b);
    connectBrowser(b);
    m_view->addBrowser(b);
    b->show();
    GoToPage(URL);
    if (!m_view)
        return;
    // Unless the pop-up was closed while it loaded.
    if (session.ix > 0)
        m_view->setCloseVisible(true);
    Sleep(1000);
    if (session.g.gMode == Mode::Record)
        m_dialogs.message(m_view->window(),
                          QStringLiteral("This window would normally be in a pop-up. Click on OK to "
                                         "continue. To return to the previous window, click on "
                                         "'close' above"),
                          QStringLiteral("Pop-up"));
}

void Kestrel::ClosePopup()
{
    if (session.ix <= 0 || session.ix >= wbMyBrowser.size())
        return;
    if (session.g.gMode == Mode::Record)
        script.AppendScriptLine(QStringLiteral("Special"), QStringLiteral("Close"), QString(),
                         QString(), QString(), QString());
    QPointer<BrowserElement> top = wbMyBrowser.at(session.ix);
    const int closing = session.ix;
    top->Stop();
    while (top && top->Busy())
        DoEventsOrWait();
    // Something run while waiting may have closed it already.
    if (session.ix != closing || !top)
        return;
    wbMyBrowser.removeAt(closing);
    delete top;
    session.ix -= 1;
    if (BrowserElement *below = browser())
        below->show();
    if (session.ix == 0 && m_view)
        m_view->setCloseVisible(false);
}

void Kestrel::CmdClose_Click()
{
    ClosePopup();
}
