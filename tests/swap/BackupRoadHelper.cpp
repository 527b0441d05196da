// A separate process that makes one backup through the window, headless, as
// an operator would: the fields typed in, the connection test, the backup
// button. Two of them at once are two copies of the program sharing one
// program folder. It prints the boxes the run showed.
//
//   backup_road_helper SERVER USER PASSWORD DATABASE PROGRAM_FOLDER
//
// Exit codes: 0 the success box, 1 any other.

#include "window/BackupRestore.h"
#include "window/Dialogs.h"

#include <QApplication>
#include <QLineEdit>

#include <cstdio>

namespace {

class TPrintingDialogs : public IDialogs {
public:
    QStringList texts;
    void ShowMessage(QWidget*, const QString& text, const QString&, TMessageKind) override
    {
        texts << text;
        std::printf("%s\n", qUtf8Printable(text));
        std::fflush(stdout);
    }
    QString OpenFileName(QWidget*, const TOpenFileRequest&) override { return QString(); }
};

} // namespace

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    const QStringList arguments = application.arguments();
    if (arguments.size() < 6) {
        std::fprintf(stderr, "usage: backup_road_helper SERVER USER PASSWORD DATABASE PROGRAM_FOLDER\n");
        return 2;
    }
    TPrintingDialogs dialogs;
    TDialogsOverride shown(dialogs);
    TfrmPrincipal window;
    window.SetProgramDirectory(arguments[5]);
    window.edServidor->setText(arguments[1]);
    window.edUsuario->setText(arguments[2]);
    window.edSenha->setText(arguments[3]);
    window.edCaminho->setText(arguments[4]);
    window.show();
    window.SpeedButton1Click();
    window.btnBackupClick();
    return dialogs.texts == QStringList{QStringLiteral("Backup realizado com sucesso !!!")} ? 0 : 1;
}
