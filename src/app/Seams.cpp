// Procedures of subsystems that have not landed yet; each moves to its
// subsystem when that lands.
#include "app/Kestrel.h"

int Kestrel::HookProc(int, int, int, qintptr, bool &)
{
    return 0;
}
