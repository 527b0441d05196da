#include "window/ErrorReport.h"

#include "ibclient/GdsLibrary.h"
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

QString OtherBitnessText(const TOtherBitnessLibrary& library)
{
    const int ownBits = int(sizeof(void*) * 8);
    return QStringLiteral("A biblioteca cliente %1 é de %2 bits e não pode ser carregada por este programa, que é de "
                          "%3 bits. Use a versão de %2 bits do programa (zur-windows-%2bits.zip).")
        .arg(library.path)
        .arg(library.bits)
        .arg(ownBits);
}

void ReportStartupFailure(const QString& className, const QString& message)
{
    QString text = StartupFailureText(className, message);
    // A client library of the other bitness is the usual reason on Windows
    // that none loads: the operator needs the other build, not an install.
    if (const std::optional<TOtherBitnessLibrary> other = ClientLibraryOfOtherBitness())
        text += u'\n' + OtherBitnessText(*other);
    if (qEnvironmentVariable("ZUR_REPORT_TO_STDERR") == QLatin1String("1")) {
        std::fprintf(
            stderr, "%s\n%s\n", StartupFailureCaption.toLocal8Bit().constData(), text.toLocal8Bit().constData());
        std::fflush(stderr);
        return;
    }
    Dialogs().ShowMessage(nullptr, text, StartupFailureCaption, TMessageKind::Error);
}
