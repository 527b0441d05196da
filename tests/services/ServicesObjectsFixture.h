#pragma once
// The fixture of the service objects' tests against the fake client library:
// a fresh fake for each case, and a started backup whose output the fake
// scripts.

#include "FakeClientControl.h"
#include "ibclient/BackupRestoreServices.h"
#include "ibclient/GdsLibrary.h"
#include "ibclient/Services.h"

#include <gtest/gtest.h>

#include <memory>

inline const char* const WrongLogin
    = "Your user name and password are not defined. Ask your database administrator to set up a Firebird login.";

class ServicesObjects : public ::testing::Test {
protected:
    void SetUp() override
    {
        ClientLibrary().CheckIBLoaded();
        fake::Reset();
    }

    static void Prepare(TIBCustomService& service)
    {
        service.SetLoginPrompt(false);
        service.SetServerName(QStringLiteral("srv"));
        service.SetParams({QStringLiteral("user_name=SYSDBA"), QStringLiteral("password=pw")});
    }

    // An attached backup object whose request has been started, reading its
    // output in bulk or one line per query.
    static std::unique_ptr<TIBBackupService> StartedBackup(bool bulk = true)
    {
        auto backup = std::make_unique<TIBBackupService>();
        backup->SetBulkOutput(bulk);
        Prepare(*backup);
        backup->SetDatabaseName(QStringLiteral("/db/x.fdb"));
        backup->Attach();
        backup->ServiceStart();
        return backup;
    }
};
