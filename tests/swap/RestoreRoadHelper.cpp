// A separate process that runs the restore road the way the window does, so
// that a test can kill it (or the server) at a phase of the road. It prints
// the road's lines and stops itself (SIGSTOP) at the phase it is given; the
// test sees the stop in the process state, not in the lines.
//
//   restore_road_helper SERVER USER PASSWORD BACKUP DESTINATION [PHASE]
//
// PHASE: checked, out-of-use, set-aside or swapped. Exit codes: 0 restored, 1 not.

#include "core/BackupFile.h"
#include "core/BackupNaming.h"
#include "ibclient/BackupRestoreServices.h"
#include "ibclient/Errors.h"
#include "runs/RestoreRoad.h"

#include <QCoreApplication>
#include <QThread>

#include <csignal>
#include <cstdio>

namespace {

class TPrintingSink : public TRestoreSink {
public:
    void Line(const QString& line) override { Print(line); }
    void ReadOutput(TIBControlAndQueryService& service, const std::function<void(const QStringList&)>& seen) override
    {
        while (!service.Eof()) {
            const QString line = service.GetNextLine();
            seen({line});
            Print(line);
        }
    }
    void Wait(int milliseconds) override { QThread::msleep(static_cast<unsigned long>(milliseconds)); }

private:
    static void Print(const QString& line)
    {
        std::printf("%s\n", qUtf8Printable(line));
        std::fflush(stdout);
    }
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = application.arguments();
    if (arguments.size() < 6) {
        std::fprintf(stderr, "usage: restore_road_helper SERVER USER PASSWORD BACKUP DESTINATION [PHASE]\n");
        return 2;
    }
    const QString stopAt = arguments.value(6);
    TRestoreRequest request;
    request.login = {RestoreServiceTarget(arguments[1]), arguments[2], arguments[3]};
    request.backupFile = arguments[4];
    request.destination = arguments[5];
    request.pageSize = RestorePageSize(BackupPageSize(request.backupFile));
    request.reached = [&stopAt](TRestorePhase phase) {
        static const char* const names[] = {"checked", "out-of-use", "set-aside", "swapped"};
        if (stopAt == QLatin1String(names[static_cast<int>(phase)]))
            std::raise(SIGSTOP);
    };
    TPrintingSink sink;
    try {
        return RunRestoreRoad(request, sink).restored ? 0 : 1;
    } catch (const Exception& failure) {
        std::printf("%s\n", failure.what());
        return 1;
    }
}
