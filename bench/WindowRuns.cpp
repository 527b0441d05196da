#include "WindowRuns.h"

#include "BenchSupport.h"
#include "core/JobProgress.h"
#include "ibclient/BackupRestoreServices.h"
#include "ibclient/Database.h"
#include "logview/LogView.h"
#include "window/BackupRestore.h"

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QWindow>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>

namespace {

void WaitExposed(QWidget& window)
{
    const double deadline = Now() + 5;
    while (!(window.windowHandle() && window.windowHandle()->isExposed()) && Now() < deadline)
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    QApplication::processEvents();
}

long CountServerBlocks(const TLogView& log)
{
    long lines = 0;
    for (int line = 0; line < log.text().LineCount(); ++line) {
        if (log.text().Line(line).startsWith(QLatin1String("gbak:")))
            ++lines;
    }
    return lines;
}

QString BoxTexts(const TRecordingDialogs& dialogs)
{
    QStringList texts;
    for (const TRecordedBox& box : dialogs.boxes)
        texts << box.caption + QLatin1String(": ") + box.text;
    return texts.join(QLatin1String(" | "));
}

} // namespace

TWindowRuns RunWindow(
    const TServerAccess& access, const QString& database, const QString& folder, const QString& restoreTo)
{
    TRecordingDialogs dialogs;
    TDialogsOverride dialogsOverride(dialogs);
    TWindowRuns runs;

    auto window = std::make_unique<TfrmPrincipal>();
    window->SetProgramDirectory(folder);
    window->show();
    WaitExposed(*window);

    window->edServidor->setText(access.serverText);
    window->edCaminho->setText(database);
    window->edUsuario->setText(access.user);
    window->edSenha->setText(access.password);
    window->SpeedButton1Click();
    if (!window->DB->Connected())
        Fail(QStringLiteral("the connection test did not connect: %1").arg(BoxTexts(dialogs)));
    QApplication::processEvents();

    // Times one press of a run's button, with the paints of its log counted.
    const auto timedRun = [&dialogs, &window](
                              const std::function<void()>& press, TLogView& log, const QString& success) {
        TTimedRun run;
        TPaintCounter paints;
        log.viewport()->installEventFilter(&paints);
        const double start = Now();
        const double processor = ProcessorTime();
        window->progressShown = [&run, start](const TProgressState& state) {
            if (std::getenv("ZUR_BENCH_TRACE"))
                std::fprintf(stderr, "bar %.3f %.4f %d\n", Now() - start, state.fraction, static_cast<int>(state.kind));
            if (state.kind != TProgressState::TKind::Estimated)
                return;
            run.bar.Saw(state.fraction, Now() - start);
        };
        press();
        window->progressShown = nullptr;
        run.seconds = Now() - start;
        run.processorSeconds = ProcessorTime() - processor;
        log.viewport()->removeEventFilter(&paints);
        if (dialogs.LastText() != success)
            Fail(QStringLiteral("the run did not succeed: %1").arg(BoxTexts(dialogs)));
        run.lines = CountServerBlocks(log);
        run.paints = paints.events;
        run.paintedViewports = paints.area / (static_cast<double>(log.viewport()->width()) * log.viewport()->height());
        return run;
    };
    runs.backup = timedRun(
        [&] { window->btnBackupClick(); }, *window->mmBackup, QStringLiteral("Backup realizado com sucesso !!!"));
    runs.backupFile = window->SelectedBackupPath();

    if (!restoreTo.isEmpty()) {
        // The operator's path field is locked after a backup; the benchmark
        // types the scratch destination in all the same.
        window->edCaminho->setText(restoreTo);
        // Where no database is: one restore beside the path, then the rename,
        // the one job of gbak -c.
        QFile::remove(restoreTo);
        QApplication::processEvents();
        runs.restore = timedRun([&] { window->btnRestoreClick(); }, *window->mmRestore,
            QStringLiteral("Backup Restaurado com Sucesso !!!"));
        // Over the database that is there now: still one restore, beside it,
        // and the swap. (The button is disabled after a success; the
        // handler is called all the same.)
        window->mmRestore->clear();
        QApplication::processEvents();
        runs.restoreOver = timedRun([&] { window->btnRestoreClick(); }, *window->mmRestore,
            QStringLiteral("Backup Restaurado com Sucesso !!!"));
    }

    window.reset();
    QApplication::processEvents();
    if (!runs.backupFile.isEmpty())
        QFile::remove(runs.backupFile);
    return runs;
}
