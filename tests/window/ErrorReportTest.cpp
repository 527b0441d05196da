// The top-level error report: a failure that leaves a handler is shown in an
// error box with the application title, and the program goes on.

#include "WindowTestSupport.h"

#include <QComboBox>
#include <QLineEdit>
#include <QToolButton>

#include <stdexcept>

namespace {

class ErrorReportTest : public WindowTest { };

} // namespace

TEST(FullStopRule, AddsAFullStopOnlyAfterACharacterThatSortsAfterIt)
{
    const std::vector<std::pair<QString, QString>> cases = {
        {QStringLiteral("Server Name Missing"), QStringLiteral("Server Name Missing.")},
        {QStringLiteral("unavailable database"), QStringLiteral("unavailable database.")},
        {QStringLiteral("Falhou."), QStringLiteral("Falhou.")},
        {QStringLiteral("Falhou!"), QStringLiteral("Falhou!")},
        {QStringLiteral("arquivo (C:)"), QStringLiteral("arquivo (C:)")},
        {QStringLiteral("linha -"), QStringLiteral("linha -")},
        {QStringLiteral("C:\\DADOS\\"), QStringLiteral("C:\\DADOS\\.")},
        {QStringLiteral("/dados/"), QStringLiteral("/dados/.")},
        {QStringLiteral("versão 2"), QStringLiteral("versão 2.")},
        {QStringLiteral("não"), QStringLiteral("não.")},
        {QString(), QString()},
    };
    for (const auto& [message, shown] : cases)
        EXPECT_EQ(WithFullStop(message), shown) << message.toStdString();
}

TEST_F(ErrorReportTest, AFailureLeavingAHandlerIsShownAndTheProgramGoesOn)
{
    auto window = MakeWindow();
    window->show();
    auto* browse = Find<QToolButton>(*window, "sbAbrir");

    dialogs.FailWith(EIBClientError(92, QStringLiteral("Server Name Missing")));
    QTest::mouseClick(browse, Qt::LeftButton);
    dialogs.FailWith(Exception(QStringLiteral("Operação cancelada!")));
    QTest::mouseClick(browse, Qt::LeftButton);
    dialogs.FailWith(std::runtime_error("out of memory"));
    QTest::mouseClick(browse, Qt::LeftButton);

    ASSERT_EQ(dialogs.boxes.size(), 3u);
    EXPECT_EQ(dialogs.boxes[0].text, QStringLiteral("Server Name Missing."));
    EXPECT_EQ(dialogs.boxes[1].text, QStringLiteral("Operação cancelada!"));
    EXPECT_EQ(dialogs.boxes[2].text, QStringLiteral("out of memory."));
    for (const TRecordedBox& box : dialogs.boxes) {
        EXPECT_EQ(box.caption, QStringLiteral("Z.U.R. - Assistente de Backup"));
        EXPECT_EQ(box.kind, TMessageKind::Error);
    }

    // The window still answers.
    dialogs.Confirm(QStringLiteral("/dados/DADOS.FDB"));
    QTest::mouseClick(browse, Qt::LeftButton);
    EXPECT_EQ(Find<QLineEdit>(*window, "edCaminho")->text(), QStringLiteral("/dados/DADOS.FDB"));
    EXPECT_EQ(dialogs.boxes.size(), 3u);
}

TEST_F(ErrorReportTest, AFailureOfTheCatalogueBrowseIsShownAndLeavesTheList)
{
    auto window = MakeWindow();
    window->show();
    auto* catalogue = Find<QComboBox>(*window, "cmbBackups");
    dialogs.FailWith(EOSError(13, QStringLiteral("Permission denied")));
    QTest::keyClick(catalogue, Qt::Key_Down);
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].text, QStringLiteral("Permission denied."));
    EXPECT_EQ(catalogue->count(), 1);
    EXPECT_EQ(catalogue->currentText(), QStringLiteral("Outro..."));
}

TEST_F(ErrorReportTest, StartupFailureTextNamesTheClassAndCarriesTheMessage)
{
    const QString text = StartupFailureText(QStringLiteral("EIBClientError"), ClientErrorMessage(1));
    EXPECT_TRUE(text.startsWith(QStringLiteral("Exception EIBClientError in module "))) << text.toStdString();
    EXPECT_TRUE(text.endsWith(QStringLiteral("\nInterBase library gds32.dll not found in the path. Please install "
                                             "InterBase to use this functionality.")))
        << text.toStdString();

    // Shown as a box when no test asks for the standard error output.
    qunsetenv("ZUR_REPORT_TO_STDERR");
    ReportStartupFailure(QStringLiteral("EIBClientError"), ClientErrorMessage(1));
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].caption, QStringLiteral("Application Error"));
    EXPECT_EQ(dialogs.boxes[0].text, text);
    EXPECT_EQ(dialogs.boxes[0].kind, TMessageKind::Error);
}
