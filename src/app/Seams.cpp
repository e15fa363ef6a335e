// Procedures of subsystems that have not landed yet; each moves to its
// subsystem when that lands.
#include "app/Kestrel.h"

void Kestrel::DoPlay() {}

void Kestrel::Timer1_Timer()
{
    // Nothing plays yet: the first tick only switches the timer off.
    if (g.gMode != QLatin1String("play"))
        Timer1.stop();
}

int Kestrel::HookProc(int, int, int, qintptr, bool &)
{
    return 0;
}
