#include "cli/CommandLine.h"

#include "cli/Console.h"

#include "core/AppPaths.h"
#include "core/SiteConfig.h"
#include "core/StartValues.h"
#include "ibclient/Errors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcessEnvironment>

namespace {

// The database file the resolver's folder holds by default.
const QString DefaultDatabaseFile = QStringLiteral("DADOS.FDB");

const QString ConfigSection = QStringLiteral("ZUR");

// The switch's name without its "--" (or "/"), empty when the argument is no switch.
QString SwitchName(const QString& argument)
{
    if (argument.startsWith(QLatin1String("--")) && argument.size() > 2)
        return argument.mid(2);
    if (SlashSwitches() && argument.startsWith(u'/') && argument.size() > 1)
        return argument.mid(1);
    return QString();
}

QString WithSeparator(const QString& folder)
{
    QString path = QDir::toNativeSeparators(folder);
    if (!path.isEmpty() && !IsPathDelimiter(path.back()))
        path += PathSeparator();
    return path;
}

// The first line of a password file, without its line end.
bool ReadPasswordFile(const QString& path, QString& password)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QByteArray line = file.readLine(4096);
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    password = QString::fromUtf8(line);
    return true;
}

} // namespace

bool IsCommandLineRun(const QStringList& arguments)
{
    for (int i = 1; i < arguments.size(); ++i) {
        if (!SwitchName(arguments[i]).isEmpty())
            return true;
    }
    return false;
}

QString ParseCommandLine(const QStringList& arguments, const QString& programDirectory, TCommandLine& command)
{
    command = TCommandLine();
    bool backup = false;
    bool restore = false;
    bool help = false;
    QString passwordFile;
    QString keep;
    QString server;
    QString database;
    QString user;
    QString destination;
    bool keepGiven = false;
    const QStringList withValue
        = {QStringLiteral("restore"), QStringLiteral("server"), QStringLiteral("database"), QStringLiteral("user"),
            QStringLiteral("password-file"), QStringLiteral("dest"), QStringLiteral("keep"), QStringLiteral("log")};
    for (int i = 1; i < arguments.size(); ++i) {
        QString name = SwitchName(arguments[i]);
        if (name.isEmpty())
            return QStringLiteral("Argumento inesperado: %1").arg(arguments[i]);
        QString value;
        bool hasValue = false;
        const auto equals = name.indexOf(u'=');
        if (equals > 0) {
            value = name.mid(equals + 1);
            name = name.left(equals);
            hasValue = true;
        }
        name = name.toLower();
        if (withValue.contains(name)) {
            if (!hasValue) {
                if (i + 1 >= arguments.size())
                    return QStringLiteral("Falta o valor de %1.").arg(arguments[i]);
                value = arguments[++i];
            }
        } else if (hasValue) {
            return QStringLiteral("A opção %1 não leva valor.").arg(arguments[i]);
        }
        if (name == QLatin1String("backup"))
            backup = true;
        else if (name == QLatin1String("restore")) {
            restore = true;
            command.backupFile = value;
        } else if (name == QLatin1String("help") || name == QLatin1String("?"))
            help = true;
        else if (name == QLatin1String("quiet"))
            command.quiet = true;
        else if (name == QLatin1String("zip"))
            command.zip = true;
        else if (name == QLatin1String("server"))
            server = value;
        else if (name == QLatin1String("database"))
            database = value;
        else if (name == QLatin1String("user"))
            user = value;
        else if (name == QLatin1String("password-file"))
            passwordFile = value;
        else if (name == QLatin1String("dest"))
            destination = value;
        else if (name == QLatin1String("keep")) {
            keep = value;
            keepGiven = true;
        } else if (name == QLatin1String("log"))
            command.logFile = value;
        else
            return QStringLiteral("Opção desconhecida: %1").arg(arguments[i]);
    }
    if (help) {
        command.action = TCommandLine::Help;
        return QString();
    }
    if (backup == restore)
        return QStringLiteral("Indique --backup ou --restore BACKUP (um dos dois).");
    command.action = backup ? TCommandLine::Backup : TCommandLine::Restore;
    if (keepGiven) {
        bool number = false;
        command.keep = keep.toInt(&number);
        if (!number || command.keep < 1)
            return QStringLiteral("--keep pede um número inteiro de 1 em diante, não \"%1\".").arg(keep);
        if (restore)
            return QStringLiteral("--keep vale só para --backup.");
    }
    if (restore && command.zip)
        return QStringLiteral("--zip vale só para --backup.");
    if (restore && !destination.isEmpty())
        return QStringLiteral("--dest vale só para --backup.");
    if (restore && !QFileInfo(command.backupFile).isFile())
        return QStringLiteral("O backup %1 não foi encontrado.").arg(command.backupFile);

    // What is left out, as the window starts: the server field, the user,
    // and the database path that the site configuration gives.
    command.server = server.isEmpty() ? startvalues::Server() : server;
    command.user = user.isEmpty() ? startvalues::User() : user;
    command.database = database;
    if (command.database.isEmpty()) {
        const QString config = SiteConfigFile(programDirectory);
        const QString configured
            = ReadProfileString(config, ConfigSection, QStringLiteral("Caminho_Base_Dados"), QString());
        if (configured.isEmpty()) {
            command.database = startvalues::Database();
        } else {
            try {
                command.database = Busca_Diretorio(QStringLiteral("BK"), programDirectory) + DefaultDatabaseFile;
            } catch (const Exception& failure) {
                return QStringLiteral("A configuração %1 não pôde ser usada: %2").arg(config, failure.Message());
            }
        }
    }
    command.destination = destination.isEmpty() ? programDirectory : WithSeparator(destination);
    if (!passwordFile.isEmpty()) {
        if (!ReadPasswordFile(passwordFile, command.password))
            return QStringLiteral("O arquivo de senha %1 não pôde ser lido.").arg(passwordFile);
    } else {
        const QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        command.password = environment.contains(QStringLiteral("ZUR_PASSWORD"))
            ? environment.value(QStringLiteral("ZUR_PASSWORD"))
            : startvalues::Password();
    }
    return QString();
}

QString CommandLineHelp()
{
    return QStringLiteral(
        "Z.U.R. - Assistente de Backup, pela linha de comando (sem janela):\n"
        "\n"
        "  zur --backup  [opções] [--dest PASTA] [--keep N] [--zip]\n"
        "  zur --restore BACKUP [opções]\n"
        "\n"
        "  --backup             faz o backup da base de dados, verifica-o restaurando-o numa base\n"
        "                       de teste e só então lhe dá o nome BASEaaaammdd.BKP\n"
        "  --restore BACKUP     restaura o arquivo BACKUP sobre a base de dados, com todas as\n"
        "                       verificações da janela (uma base em uso é recusada)\n"
        "  --server TEXTO       o servidor como no primeiro campo da janela (padrão localhost/3055:)\n"
        "  --database CAMINHO   a base de dados como o servidor a vê (padrão: a da configuração\n"
        "                       VELTRANO_KOLM_SERVER.ini, ou C:\\QRT\\DADOS\\DADOS.FDB)\n"
        "  --user NOME          o usuário (padrão SYSDBA)\n"
        "  --password-file ARQ  a senha, na primeira linha do arquivo; sem ela, a variável\n"
        "                       ZUR_PASSWORD; sem esta, a senha padrão da janela. A senha nunca\n"
        "                       vai na linha de comando.\n"
        "  --dest PASTA         onde o backup é gravado (padrão: a pasta do programa)\n"
        "  --keep N             depois de um backup verificado, apaga os backups mais antigos desta\n"
        "                       base nesta pasta além dos N mais novos (N de 1 em diante); um\n"
        "                       backup e o seu arquivo compactado contam como um\n"
        "  --zip                depois de um backup verificado, grava também ZURBASEaaaammdd.ZIP\n"
        "                       com ele, ao lado do backup\n"
        "  --log ARQUIVO        o registro desta execução (padrão: logs/ZUR-BASE-aaaammdd-hhmmss.log\n"
        "                       ao lado dos backups)\n"
        "  --quiet              só o progresso a cada 5%, a última linha e os erros (sem ela: as\n"
        "                       linhas do servidor e o progresso no máximo uma vez por segundo)\n"
        "  --help               este texto\n"
        "\n"
        "No Windows as opções também podem ser escritas com /: /backup, /keep 7.\n"
        "\n"
        "Códigos de saída:\n"
        "  0  o backup verificado (ou a base restaurada) está no lugar\n"
        "  1  falhou; nada foi alterado além dos arquivos parciais da própria execução\n"
        "  2  a linha de comando ou a configuração não pôde ser usada; nada foi tentado\n"
        "  3  o backup está verificado e no lugar, mas algo depois dele falhou\n"
        "     (um backup antigo não pôde ser apagado, ou o arquivo compactado não pôde ser gravado)\n");
}
