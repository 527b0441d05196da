#include "WindowRuns.h"

#include "BackupRestore.h"
#include "BackupRestoreServices.h"
#include "BenchSupport.h"
#include "Database.h"

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QTextDocument>
#include <QWindow>

#include <memory>

namespace {

void WaitExposed(QWidget& window)
{
    const double deadline = Now() + 5;
    while (!(window.windowHandle() && window.windowHandle()->isExposed()) && Now() < deadline)
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    QApplication::processEvents();
}

long CountServerBlocks(const QPlainTextEdit& log)
{
    long lines = 0;
    for (QTextBlock block = log.document()->begin(); block.isValid(); block = block.next()) {
        if (block.text().startsWith(QLatin1String("gbak:")))
            ++lines;
    }
    return lines;
}

QString BoxTexts(const TRecordingDialogs& dialogs)
{
    QStringList texts;
    for (const TRecordingDialogs::TBox& box : dialogs.boxes)
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

    const auto viewportArea = [](const QPlainTextEdit& log) {
        return static_cast<double>(log.viewport()->width()) * log.viewport()->height();
    };
    TPaintCounter backupPaints;
    window->mmBackup->viewport()->installEventFilter(&backupPaints);
    double start = Now();
    double processor = ProcessorTime();
    window->btnBackupClick();
    runs.backup.seconds = Now() - start;
    runs.backup.processorSeconds = ProcessorTime() - processor;
    if (dialogs.LastText() != QLatin1String("Backup realizado com sucesso !!!"))
        Fail(QStringLiteral("the backup run did not succeed: %1").arg(BoxTexts(dialogs)));
    window->mmBackup->viewport()->removeEventFilter(&backupPaints);
    runs.backup.lines = CountServerBlocks(*window->mmBackup);
    runs.backup.paints = backupPaints.events;
    runs.backup.paintedViewports = backupPaints.area / viewportArea(*window->mmBackup);
    runs.backupFile = window->SelectedBackupPath();

    if (!restoreTo.isEmpty()) {
        // The operator's path field is locked after a backup; the benchmark
        // types the scratch destination in all the same.
        window->edCaminho->setText(restoreTo);
        QApplication::processEvents();
        TPaintCounter restorePaints;
        window->mmRestore->viewport()->installEventFilter(&restorePaints);
        start = Now();
        processor = ProcessorTime();
        window->btnRestoreClick();
        runs.restore.seconds = Now() - start;
        runs.restore.processorSeconds = ProcessorTime() - processor;
        if (dialogs.LastText() != QLatin1String("Backup Restaurado com Sucesso !!!"))
            Fail(QStringLiteral("the restore run did not succeed: %1").arg(BoxTexts(dialogs)));
        window->mmRestore->viewport()->removeEventFilter(&restorePaints);
        runs.restore.lines = CountServerBlocks(*window->mmRestore);
        runs.restore.paints = restorePaints.events;
        runs.restore.paintedViewports = restorePaints.area / viewportArea(*window->mmRestore);
    }

    window.reset();
    QApplication::processEvents();
    if (!runs.backupFile.isEmpty())
        QFile::remove(runs.backupFile);
    return runs;
}
