#include "window/ErrorReport.h"

#include "window/Dialogs.h"

#include <QApplication>
#include <QFileInfo>
#include <QGuiApplication>

#include <cstdio>

const QString ApplicationTitle = QStringLiteral("Z.U.R. - Assistente de Backup");
const QString StartupFailureCaption = QStringLiteral("Application Error");

QString WithFullStop(const QString& message)
{
    if (!message.isEmpty() && message.back() > QLatin1Char('.'))
        return message + QLatin1Char('.');
    return message;
}

void ShowException(const QString& message)
{
    Dialogs().ShowMessage(QApplication::activeWindow(), WithFullStop(message),
        QGuiApplication::applicationDisplayName(), TMessageKind::Error);
}

QString StartupFailureText(const QString& className, const QString& message)
{
    const QString module = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    return QStringLiteral("Exception %1 in module %2.\n").arg(className, module) + WithFullStop(message);
}

void ReportStartupFailure(const QString& className, const QString& message)
{
    const QString text = StartupFailureText(className, message);
    if (qEnvironmentVariable("ZUR_REPORT_TO_STDERR") == QLatin1String("1")) {
        std::fprintf(
            stderr, "%s\n%s\n", StartupFailureCaption.toLocal8Bit().constData(), text.toLocal8Bit().constData());
        std::fflush(stderr);
        return;
    }
    Dialogs().ShowMessage(nullptr, text, StartupFailureCaption, TMessageKind::Error);
}
