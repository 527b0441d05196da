#include "ibclient/ConfigService.h"

#include "ibclient/Errors.h"

#include <ibase.h>

namespace {

void AppendByteItem(QByteArray& block, int value, unsigned char code)
{
    block.append(static_cast<char>(code));
    block.append(static_cast<char>(value));
}

} // namespace

QByteArray BuildShutdownStartBlock(const QString& databaseName, TShutdownMode mode, int waitSeconds)
{
    if (databaseName.isEmpty())
        RaiseClientError(ibxeStartParamsError);
    QByteArray block(1, static_cast<char>(isc_action_svc_properties));
    AppendStringItem(block, databaseName, isc_spb_dbname);
    AppendByteItem(block, static_cast<int>(mode), isc_spb_prp_shutdown_mode);
    // The wait for attachments, unlike isc_spb_prp_force_shutdown, ends no
    // one's attachment: the shutdown fails while they last.
    AppendIntegerItem(block, waitSeconds, isc_spb_prp_attachments_shutdown);
    return block;
}

QByteArray BuildOnlineStartBlock(const QString& databaseName)
{
    if (databaseName.isEmpty())
        RaiseClientError(ibxeStartParamsError);
    QByteArray block(1, static_cast<char>(isc_action_svc_properties));
    AppendStringItem(block, databaseName, isc_spb_dbname);
    AppendByteItem(block, isc_spb_prp_sm_normal, isc_spb_prp_online_mode);
    return block;
}

void TIBConfigService::PrepareShutdown(TShutdownMode mode, int waitSeconds)
{
    FRequest = TRequest::Shutdown;
    FMode = mode;
    FWaitSeconds = waitSeconds;
}

void TIBConfigService::PrepareOnline()
{
    FRequest = TRequest::Online;
}

void TIBConfigService::RunToEnd()
{
    ServiceStart();
    while (!Eof())
        GetNextLine();
}

void TIBConfigService::BuildStartRequest()
{
    BeginAction(isc_action_svc_properties);
    switch (FRequest) {
    case TRequest::Shutdown:
        StartParams() = BuildShutdownStartBlock(FDatabaseName, FMode, FWaitSeconds);
        break;
    case TRequest::Online:
        StartParams() = BuildOnlineStartBlock(FDatabaseName);
        break;
    case TRequest::None:
        RaiseClientError(ibxeStartParamsError);
    }
}
