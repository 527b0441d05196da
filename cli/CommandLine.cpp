#include "cli/CommandLine.h"

#include "cli/Console.h"

#include "core/AppPaths.h"
#include "core/SiteConfig.h"
#include "core/StartValues.h"
#include "core/Version.h"
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

// The spellings of a call for help that other programs taught the operators,
// taken on every system: "/?" names no file anyone backs up.
bool AsksForHelp(const QString& argument)
{
    return argument == QLatin1String("-h") || argument == QLatin1String("-?") || argument == QLatin1String("/?");
}

const QStringList SwitchesWithValue
    = {QStringLiteral("restore"), QStringLiteral("server"), QStringLiteral("database"), QStringLiteral("user"),
        QStringLiteral("password-file"), QStringLiteral("dest"), QStringLiteral("keep"), QStringLiteral("log")};
const QStringList SwitchesAlone = {QStringLiteral("backup"), QStringLiteral("quiet"), QStringLiteral("progress"),
    QStringLiteral("zip"), QStringLiteral("create"), QStringLiteral("help"), QStringLiteral("version")};

// "backup" or "-backup" for "--backup": the hint that the refusal adds.
QString Hint(const QString& argument)
{
    QString bare = argument;
    while (bare.startsWith(u'-') || bare.startsWith(u'/'))
        bare.remove(0, 1);
    bare = bare.section(u'=', 0, 0).toLower();
    if (SwitchesWithValue.contains(bare) || SwitchesAlone.contains(bare))
        return QStringLiteral(" (quis dizer --%1?)").arg(bare);
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
    return arguments.size() > 1;
}

QString ParseCommandLine(const QStringList& arguments, const QString& programDirectory, TCommandLine& command)
{
    command = TCommandLine();
    bool backup = false;
    bool restore = false;
    bool help = false;
    bool version = false;
    QString passwordFile;
    QString keep;
    QString server;
    QString database;
    QString user;
    QString destination;
    bool keepGiven = false;
    for (int i = 1; i < arguments.size(); ++i) {
        if (AsksForHelp(arguments[i])) {
            help = true;
            continue;
        }
        QString name = SwitchName(arguments[i]);
        if (name.isEmpty()) {
            if (arguments[i].startsWith(u'-') && arguments[i].size() > 1)
                return QStringLiteral("Opção desconhecida: %1%2").arg(arguments[i], Hint(arguments[i]));
            return QStringLiteral("Argumento inesperado: %1%2").arg(arguments[i], Hint(arguments[i]));
        }
        QString value;
        bool hasValue = false;
        const auto equals = name.indexOf(u'=');
        if (equals > 0) {
            value = name.mid(equals + 1);
            name = name.left(equals);
            hasValue = true;
        }
        name = name.toLower();
        if (name == QLatin1String("?"))
            name = QStringLiteral("help");
        if (SwitchesWithValue.contains(name)) {
            if (!hasValue) {
                if (i + 1 >= arguments.size())
                    return QStringLiteral("Falta o valor de %1.").arg(arguments[i]);
                value = arguments[++i];
            }
        } else if (!SwitchesAlone.contains(name)) {
            return QStringLiteral("Opção desconhecida: %1").arg(arguments[i]);
        } else if (hasValue) {
            return QStringLiteral("A opção %1 não leva valor.").arg(arguments[i]);
        }
        if (name == QLatin1String("backup"))
            backup = true;
        else if (name == QLatin1String("restore")) {
            restore = true;
            command.backupFile = value;
        } else if (name == QLatin1String("help"))
            help = true;
        else if (name == QLatin1String("version"))
            version = true;
        else if (name == QLatin1String("quiet"))
            command.quiet = true;
        else if (name == QLatin1String("progress"))
            command.progress = true;
        else if (name == QLatin1String("zip"))
            command.zip = true;
        else if (name == QLatin1String("create"))
            command.create = true;
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
    }
    if (help || version) {
        command.action = help ? TCommandLine::Help : TCommandLine::Version;
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
    if (backup && command.create)
        return QStringLiteral("--create vale só para --restore.");
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
    // An empty password is never the one meant: a file saved empty, or a
    // variable set from a secret that was not there. Refused here, it costs
    // no failed login on the server (and no lock-out where the server counts them).
    if (!passwordFile.isEmpty()) {
        if (!ReadPasswordFile(passwordFile, command.password))
            return QStringLiteral("O arquivo de senha %1 não pôde ser lido.").arg(passwordFile);
        if (command.password.isEmpty())
            return QStringLiteral("A primeira linha do arquivo de senha %1 está vazia: a senha é essa linha.")
                .arg(passwordFile);
        command.passwordSource = QStringLiteral("do arquivo %1").arg(passwordFile);
    } else {
        const QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        if (environment.contains(QStringLiteral("ZUR_PASSWORD"))) {
            command.password = environment.value(QStringLiteral("ZUR_PASSWORD"));
            if (command.password.isEmpty())
                return QStringLiteral("A variável ZUR_PASSWORD está vazia.");
            command.passwordSource = QStringLiteral("da variável ZUR_PASSWORD");
        } else {
            command.password = startvalues::Password();
            command.passwordSource = QStringLiteral("a senha padrão da janela");
        }
    }
    return QString();
}

QString CommandLineHelp()
{
    return QStringLiteral(
        "Z.U.R. - Assistente de Backup, pela linha de comando (sem janela):\n"
        "\n"
        "  zur --backup  [opções] [--dest PASTA] [--keep N] [--zip]\n"
        "  zur --restore BACKUP [opções] [--create]\n"
        "  zur --help | --version\n"
        "\n"
        "  --backup             faz o backup da base de dados, verifica-o restaurando-o numa base\n"
        "                       de teste e só então lhe dá o nome BASEaaaammdd.BKP\n"
        "  --restore BACKUP     restaura o arquivo BACKUP sobre a base de dados, com todas as\n"
        "                       verificações da janela (uma base em uso é recusada)\n"
        "  --create             com --restore: cria a base de dados quando ela não existe (sem esta\n"
        "                       opção, um caminho sem base é recusado e nada é feito)\n"
        "  --server TEXTO       o servidor como no primeiro campo da janela (padrão localhost/3055:)\n"
        "  --database CAMINHO   a base de dados como o servidor a vê (padrão: a da configuração\n"
        "                       VELTRANO_KOLM_SERVER.ini, ou C:\\QRT\\DADOS\\DADOS.FDB); num servidor\n"
        "                       deste computador, o caminho completo\n"
        "  --user NOME          o usuário (padrão SYSDBA)\n"
        "  --password-file ARQ  a senha, na primeira linha do arquivo; sem ela, a variável\n"
        "                       ZUR_PASSWORD; sem esta, a senha padrão da janela. A senha nunca\n"
        "                       vai na linha de comando nem no registro.\n"
        "  --dest PASTA         onde o backup é gravado (padrão: a pasta do programa); num servidor\n"
        "                       deste computador, uma pasta que existe, em caminho completo\n"
        "  --keep N             depois de um backup verificado, apaga os backups mais antigos desta\n"
        "                       base nesta pasta além dos N mais novos (N de 1 em diante); um\n"
        "                       backup e o seu arquivo compactado contam como um; os registros\n"
        "                       desta base em logs/ mais antigos que o backup mais antigo mantido\n"
        "                       vão com eles\n"
        "  --zip                depois de um backup verificado, grava também ZURBASEaaaammdd.ZIP\n"
        "                       com ele, ao lado do backup\n"
        "  --log ARQUIVO        o registro desta execução, acrescentado ao fim do arquivo (padrão:\n"
        "                       logs/ZUR-BASE-aaaammdd-hhmmss.log ao lado dos backups)\n"
        "  --quiet              nada na saída padrão (salvo o progresso, com --progress); os erros\n"
        "                       continuam na saída de erros\n"
        "  --progress           o progresso (\"Progresso: 43% — cerca de 2 min restantes\") no máximo\n"
        "                       uma vez por segundo, mesmo sem terminal (num terminal ele já vem,\n"
        "                       salvo com --quiet)\n"
        "  --help, -h, -?, /?   este texto\n"
        "  --version            a versão do programa\n"
        "\n"
        "No Windows as opções também podem ser escritas com /: /backup, /keep 7.\n"
        "Sem argumento algum o programa abre a janela; com qualquer argumento, nunca.\n"
        "\n"
        "Uma falha diz o motivo na saída de erros (as palavras do servidor ou do programa, as\n"
        "mesmas do registro), antes da última linha.\n"
        "\n"
        "Códigos de saída:\n"
        "  0  o backup verificado (ou a base restaurada) está no lugar\n"
        "  1  falhou; nada foi alterado além dos arquivos parciais da própria execução\n"
        "  2  a linha de comando, a configuração, a senha ou as pastas não puderam ser usadas;\n"
        "     nada foi tentado\n"
        "  3  o backup está verificado e no lugar, mas algo depois dele falhou\n"
        "     (um arquivo antigo não pôde ser apagado, ou o arquivo compactado não pôde ser gravado)\n");
}

QString CommandLineUsage()
{
    return QStringLiteral("Uso: zur --backup [opções] | zur --restore BACKUP [opções] | zur --version\n"
                          "Veja zur --help.");
}

QString ProgramVersionText()
{
    return QStringLiteral("Z.U.R. - Assistente de Backup %1").arg(Versao_Executavel());
}
