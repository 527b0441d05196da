#pragma once
// A service object attached to the private server's service manager, as the
// tests reach it.

#include "TestServer.h"

#include "ibclient/Services.h"

inline void AttachToServer(TIBCustomService& service)
{
    QString server = testserver::ServerText();
    server.remove(server.indexOf(QLatin1Char(':')), 1);
    service.SetServerName(server);
    service.SetProtocol(TCP);
    service.SetLoginPrompt(false);
    service.SetParams(
        {QStringLiteral("user_name=") + testserver::User(), QStringLiteral("password=") + testserver::Password()});
    service.Attach();
}
