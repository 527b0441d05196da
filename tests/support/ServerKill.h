#pragma once
// Ends the private server at once, as a crash would, the first time a
// condition holds. The condition is asked at every turn of the event loop,
// which the runs keep turning while they read the server's output.

#include "TestServer.h"

#include <QObject>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

class TKillServerWhen {
public:
    explicit TKillServerWhen(std::function<bool()> when)
        : FWhen(std::move(when))
    {
        FTimer.setInterval(0);
        QObject::connect(&FTimer, &QTimer::timeout, [this] {
            if (FKilled || !FWhen())
                return;
            FKilled = true;
            EXPECT_EQ(testserver::ServerScript(QStringLiteral("kill")), 0);
        });
        FTimer.start();
    }
    TKillServerWhen(const TKillServerWhen&) = delete;
    TKillServerWhen& operator=(const TKillServerWhen&) = delete;

    bool Killed() const { return FKilled; }

private:
    std::function<bool()> FWhen;
    QTimer FTimer;
    bool FKilled = false;
};
