// Page instrumentation: what a newly shown page needs while recording.
#include "app/Kestrel.h"

#include "platform/HookManager.h"

void Kestrel::hookBrowser()
{
    // Mouse recording, whatever the mode: the hook was removed when the
    // navigation started.
    if (m_view && m_view->recordMouseChecked())
        HookManager::instance().HookInstall(this, HookManager::Mouse);
}
