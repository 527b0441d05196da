#include "window/Dialogs.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QMessageBox>
#include <QStringList>
#include <QWidget>

namespace {

IDialogs* CurrentDialogs = nullptr;

IDialogs& QtDialogs()
{
    static TQtDialogs dialogs;
    return dialogs;
}

QMessageBox::Icon IconOf(TMessageKind kind)
{
    switch (kind) {
    case TMessageKind::Information:
        return QMessageBox::Information;
    case TMessageKind::Warning:
        return QMessageBox::Warning;
    case TMessageKind::Error:
        return QMessageBox::Critical;
    }
    return QMessageBox::NoIcon;
}

// The program's texts break lines with carriage returns alone (character 13)
// or with CR LF; a Qt label breaks them at line feeds.
QString DisplayText(QString text)
{
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text;
}

QString FilterText(const TFileFilter& filter)
{
    return filter.label + QLatin1String(" (") + filter.pattern + QLatin1Char(')');
}

} // namespace

IDialogs& Dialogs()
{
    return CurrentDialogs ? *CurrentDialogs : QtDialogs();
}

void ShowMessageBox(const QString& text, const QString& caption, TMessageKind kind)
{
    Dialogs().ShowMessage(QApplication::activeWindow(), text, caption, kind);
}

TDialogsOverride::TDialogsOverride(IDialogs& dialogs)
    : FPrevious(CurrentDialogs)
{
    CurrentDialogs = &dialogs;
}

TDialogsOverride::~TDialogsOverride()
{
    CurrentDialogs = FPrevious;
}

void TQtDialogs::ShowMessage(QWidget* owner, const QString& text, const QString& caption, TMessageKind kind)
{
    QMessageBox box(IconOf(kind), caption, DisplayText(text), QMessageBox::Ok, owner);
    box.setTextFormat(Qt::PlainText);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

QString TQtDialogs::OpenFileName(QWidget* owner, const TOpenFileRequest& request)
{
    QFileDialog dialog(owner);
    dialog.setWindowModality(Qt::ApplicationModal);
    // Qt's own dialog: it takes every setting below on every platform.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::AnyFile);
    QStringList filters;
    for (const TFileFilter& filter : request.filters)
        filters << FilterText(filter);
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        if (request.filterIndex >= 0 && request.filterIndex < filters.size())
            dialog.selectNameFilter(filters.at(request.filterIndex));
    }
    if (!request.initialDirectory.isEmpty())
        dialog.setDirectory(QDir::fromNativeSeparators(request.initialDirectory));
    dialog.setDefaultSuffix(request.defaultExtension);
    if (dialog.exec() != QDialog::Accepted)
        return QString();
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty())
        return QString();
    return QDir::toNativeSeparators(chosen.first());
}

TOpenDialog::TOpenDialog(QObject* parent)
    : QObject(parent)
{
}

bool TOpenDialog::Execute()
{
    QWidget* owner = qobject_cast<QWidget*>(parent());
    const QString chosen = Dialogs().OpenFileName(owner, FRequest);
    if (chosen.isEmpty())
        return false;
    FFileName = chosen;
    return true;
}
