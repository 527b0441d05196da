#include "core/SiteConfig.h"

#include "core/AppPaths.h"
#include "ibclient/Errors.h"
#include "ibclient/StringList.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringConverter>
#include <QStringDecoder>

const QString SiteConfigFileName = QStringLiteral("VELTRANO_KOLM_SERVER.ini");

namespace {

// The longest value the profile reader returns.
constexpr int MaxProfileValue = 2047;

QString LimitValue(const QString& value)
{
    return value.left(MaxProfileValue);
}

QString StripQuotes(const QString& value)
{
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') && value.back() == value.front())
        return value.mid(1, value.size() - 2);
    return value;
}

QString DecodeProfile(const QByteArray& data)
{
    // A byte-order mark names the encoding; otherwise the text is in the
    // system's 8-bit encoding. The decoder drops the mark.
    const auto encoding = QStringConverter::encodingForData(data);
    QStringDecoder decoder(encoding.value_or(QStringConverter::System));
    return decoder.decode(data);
}

const QString ConfigSection = QStringLiteral("ZUR");

// The text before the first "ZUR" (upper case exactly), then "ZUR" and the
// separator; the whole value when "ZUR" does not occur.
QString RootOf(const QString& value, const QString& separator)
{
    const int at = value.indexOf(QLatin1String("ZUR"), 0, Qt::CaseSensitive);
    if (at < 0)
        return value;
    return value.left(at) + QLatin1String("ZUR") + separator;
}

// Creates directory unless it exists; only that one directory, never its parents.
void EnsureDirectory(const QString& directory)
{
    if (QFileInfo(directory).isDir())
        return;
    if (!QDir().mkdir(directory))
        throw Exception(QStringLiteral("Não é possível criar o diretório: ") + directory);
}

// Far more than any site configuration holds.
constexpr qint64 MaxProfileBytes = 64 * 1024;

} // namespace

QString ReadProfileString(
    const QString& fileName, const QString& section, const QString& key, const QString& defaultValue)
{
    // Only a plain file of a configuration's size is read: a pipe would hold
    // the start-up forever, a device would fill the memory.
    const QFileInfo info(fileName);
    QFile file(fileName);
    if (!info.isFile() || info.size() > MaxProfileBytes || !file.open(QIODevice::ReadOnly))
        return LimitValue(defaultValue);
    const QString text = DecodeProfile(file.read(MaxProfileBytes));

    bool inSection = false;
    for (QStringView rawLine : QStringView(text).split(u'\n')) {
        const QStringView line = rawLine.trimmed();
        if (line.startsWith(u'[')) {
            const auto close = line.lastIndexOf(u']');
            if (close < 0)
                continue;
            const bool matches = line.mid(1, close - 1).compare(section, Qt::CaseInsensitive) == 0;
            if (inSection && !matches)
                break; // only the first section of that name counts
            inSection = matches;
            continue;
        }
        if (!inSection || line.isEmpty())
            continue;
        const auto equals = line.indexOf(u'=');
        const QStringView name = (equals < 0 ? line : line.left(equals)).trimmed();
        if (name.compare(key, Qt::CaseInsensitive) != 0)
            continue;
        if (equals < 0)
            return LimitValue(defaultValue); // a key without "=" has no value
        return LimitValue(StripQuotes(line.mid(equals + 1).trimmed().toString()));
    }
    return LimitValue(defaultValue);
}

QString SiteConfigFile(const QString& directory)
{
    const QString exact = directory + SiteConfigFileName;
    if (QFileInfo(exact).isFile())
        return exact;
    const QDir dir(directory.isEmpty() ? QStringLiteral(".") : directory);
    const QStringList names = dir.entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    for (const QString& name : names) {
        if (name.compare(SiteConfigFileName, Qt::CaseInsensitive) == 0)
            return directory + name;
    }
    return exact;
}

QString Busca_Diretorio(const QString& code)
{
    return Busca_Diretorio(code, ExecutableDirectory());
}

QString Busca_Diretorio(const QString& code, const QString& executableDirectory)
{
    const QString configFile = SiteConfigFile(executableDirectory);
    const QString servidor = ReadProfileString(configFile, ConfigSection, QStringLiteral("Servidor"), QString());
    const QString soServidor
        = ReadProfileString(configFile, ConfigSection, QStringLiteral("SO_Servidor"), QStringLiteral("WINDOWS"));
    const QString caminhoBaseDados
        = ReadProfileString(configFile, ConfigSection, QStringLiteral("Caminho_Base_Dados"), QString());
    const QString diretorioServidor
        = ReadProfileString(configFile, ConfigSection, QStringLiteral("Diretorio_Servidor"), QString());

    // Paths the server reads end in the server's separator; paths this machine
    // uses end in its own.
    const QString serverSeparator = soServidor == QLatin1String("WINDOWS") ? QStringLiteral("\\") : QStringLiteral("/");
    const QString localSeparator = PathSeparator();
    const QString serverRoot = RootOf(caminhoBaseDados, serverSeparator);
    const QString localRoot = RootOf(diretorioServidor, localSeparator);
    const QString upperCode = AsciiUpper(code);
    auto local = [&](const QString& root, const char* name) { return root + QLatin1String(name) + localSeparator; };

    if (!servidor.isEmpty()) {
        if (upperCode == QLatin1String("D"))
            return local(diretorioServidor, "DADOS");
        if (upperCode == QLatin1String("B"))
            return servidor + u':' + caminhoBaseDados + QLatin1String("DADOS") + serverSeparator;
        if (upperCode == QLatin1String("TD"))
            return local(localRoot, "TABDEF");
        if (upperCode == QLatin1String("TB"))
            return servidor + u':' + serverRoot + QLatin1String("TABDEF") + serverSeparator;
        if (upperCode == QLatin1String("BK"))
            return caminhoBaseDados + QLatin1String("DADOS") + serverSeparator;
        if (upperCode == QLatin1String("BD")) {
            EnsureDirectory(local(localRoot, "BCKP"));
            return local(localRoot, "BCKP");
        }
        if (upperCode == QLatin1String("BB")) {
            // The same directory, created as this machine sees it.
            EnsureDirectory(local(localRoot, "BCKP"));
            return serverRoot + QLatin1String("BCKP") + serverSeparator;
        }
        if (upperCode == QLatin1String("DE")) {
            EnsureDirectory(local(localRoot, "EXPORTA"));
            return local(localRoot, "EXPORTA");
        }
        if (upperCode == QLatin1String("DI")) {
            EnsureDirectory(local(localRoot, "IMPORTA"));
            return local(localRoot, "IMPORTA");
        }
        return QString();
    }

    // Local case: the server is this machine.
    if (upperCode == QLatin1String("B") || upperCode == QLatin1String("D") || upperCode == QLatin1String("BK"))
        return local(caminhoBaseDados, "DADOS");
    if (upperCode == QLatin1String("TD") || upperCode == QLatin1String("TB"))
        return local(serverRoot, "TABDEF");
    const char* name = "BCKP"; // any other code, the empty one included
    if (upperCode == QLatin1String("DE"))
        name = "EXPORTA";
    else if (upperCode == QLatin1String("DI"))
        name = "IMPORTA";
    const QString directory = local(serverRoot, name);
    EnsureDirectory(directory);
    return directory;
}
