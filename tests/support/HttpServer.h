#pragma once

#include "platform/LoopbackServer.h"

// The program's loopback server over the test pages, with the third-party
// libraries the framework pages load (kept outside tests/) under their old
// path.
class HttpServer : public LoopbackServer
{
public:
    explicit HttpServer(const QString &root = QStringLiteral(KESTREL_TEST_PAGES),
                        QObject *parent = nullptr)
        : LoopbackServer(root, parent)
    {
        addFolder(QStringLiteral("/frameworks/vendor/"), QStringLiteral(KESTREL_THIRD_PARTY_WEB));
    }
};
