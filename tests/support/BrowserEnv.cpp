#include "TestEnv.h"

#include "platform/ChromiumEnv.h"

void initTestEnvironment()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    prepareChromiumEnvironment();
}
