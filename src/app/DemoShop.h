#pragma once

#include "core/Result.h"
#include "platform/LoopbackServer.h"

#include <QTemporaryDir>

// The demo: the shop of examples/site served from the program's resources on
// a free loopback port, and examples/demo.csv pointed at it.
class DemoShop
{
public:
    DemoShop();
    // The demo script, its addresses on this shop's port; written to a
    // folder of its own that goes with this object.
    Result<QString> script();
    // The address the stored demo script names, replaced when it is loaded.
    static QString placeholder() { return QStringLiteral("http://127.0.0.1:8000/"); }

private:
    LoopbackServer m_server;
    QTemporaryDir m_folder;
};
