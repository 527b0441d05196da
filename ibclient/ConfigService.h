#pragma once
// The service object that changes a database's state on the server: taking
// it out of use (a shutdown) and bringing it back online, as the server's
// properties action does for gfix.

#include "ibclient/Services.h"

#include <QString>

// The shutdown states the properties action knows.
enum class TShutdownMode { Normal = 0, Multi = 1, Single = 2, Full = 3 };

class TIBConfigService : public TIBControlAndQueryService {
public:
    TIBConfigService() = default;

    // Path of the database, as the server sees it.
    QString DatabaseName() const { return FDatabaseName; }
    void SetDatabaseName(const QString& value) { FDatabaseName = value; }

    // The next ServiceStart asks for a shutdown into mode that waits up to
    // waitSeconds for the other attachments to end and fails when some are
    // still there: nobody's work is cut off. 0 looks once.
    void PrepareShutdown(TShutdownMode mode, int waitSeconds);
    // The next ServiceStart brings the database online (normal state).
    void PrepareOnline();

    // Runs the prepared request on the attached service and reads its output
    // to the end: a failure of the action comes back through the queries.
    void RunToEnd();

protected:
    void BuildStartRequest() override;

private:
    enum class TRequest { None, Shutdown, Online };
    QString FDatabaseName;
    TRequest FRequest = TRequest::None;
    TShutdownMode FMode = TShutdownMode::Full;
    int FWaitSeconds = 0;
};

// The start block of a shutdown: 8; 106 database; 44 mode; 42 the wait for
// attachments to end.
QByteArray BuildShutdownStartBlock(const QString& databaseName, TShutdownMode mode, int waitSeconds);
// The start block of bringing online: 8; 106 database; 45 normal.
QByteArray BuildOnlineStartBlock(const QString& databaseName);
