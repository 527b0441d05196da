#include "core/SiteConfig.h"
#include "core/AppPaths.h"
#include "ibclient/Errors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#ifndef Q_OS_WIN
#include <sys/stat.h>
#endif

#include <functional>
#include <vector>

namespace {

void WriteFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    ASSERT_EQ(file.write(content), content.size());
}

// A directory standing for the executable's one, with a site configuration file.
class Site {
public:
    Site() { EXPECT_TRUE(FTemp.isValid()); }
    // The directory, ending in the separator.
    QString Dir() const { return QDir::toNativeSeparators(FTemp.path()) + PathSeparator(); }
    // A directory under the site (created with its parents), ending in the separator.
    QString MakeDir(const QString& relative) const
    {
        EXPECT_TRUE(QDir().mkpath(FTemp.path() + u'/' + relative));
        return Dir() + QDir::toNativeSeparators(relative) + PathSeparator();
    }
    void WriteIni(const QByteArray& content, const QString& name = SiteConfigFileName) const
    {
        WriteFile(Dir() + name, content);
    }
    QString Resolve(const QString& code) const { return Busca_Diretorio(code, Dir()); }

private:
    QTemporaryDir FTemp;
};

// Runs the test's body with another current directory, then returns to the old one.
class CurrentDirectory {
public:
    explicit CurrentDirectory(const QString& path)
        : FOld(QDir::currentPath())
    {
        EXPECT_TRUE(QDir::setCurrent(path));
    }
    ~CurrentDirectory() { QDir::setCurrent(FOld); }

private:
    QString FOld;
};

bool IsDir(const QString& path)
{
    return QFileInfo(path).isDir();
}

QString ErrorOf(const std::function<void()>& call)
{
    try {
        call();
    } catch (const Exception& e) {
        return e.Message();
    }
    return QStringLiteral("<no error>");
}

const QString sep = PathSeparator();

} // namespace

// ---------------------------------------------------------------------------
// The private-profile reader

TEST(ProfileReader, FollowsThePrivateProfileRules)
{
    const QByteArray longValue(3000, 'x');
    struct Case {
        const char* what;
        QByteArray content;
        QString section;
        QString key;
        QString expected;
    };
    const Case cases[] = {
        {"plain value", "[ZUR]\nServidor=SRV01\n", "ZUR", "Servidor", "SRV01"},
        {"section in other case", "[zur]\nServidor=SRV01\n", "ZUR", "Servidor", "SRV01"},
        {"key in other case", "[ZUR]\nSERVIDOR=SRV01\n", "ZUR", "Servidor", "SRV01"},
        {"CR LF lines", "[ZUR]\r\nServidor=SRV01\r\nSO_Servidor=LINUX\r\n", "ZUR", "Servidor", "SRV01"},
        {"blanks around key and value", "[ZUR]\n  Servidor \t=   SRV 01 \t \n", "ZUR", "Servidor", "SRV 01"},
        {"double quotes removed", "[ZUR]\nServidor=\"  SRV01 \"\n", "ZUR", "Servidor", "  SRV01 "},
        {"single quotes removed", "[ZUR]\nServidor='SRV01'\n", "ZUR", "Servidor", "SRV01"},
        {"quotes after blanks removed", "[ZUR]\nServidor=  \"SRV01\"  \n", "ZUR", "Servidor", "SRV01"},
        {"only one pair removed", "[ZUR]\nServidor=\"\"SRV01\"\"\n", "ZUR", "Servidor", "\"SRV01\""},
        {"quotes that do not match stay", "[ZUR]\nServidor=\"SRV01'\n", "ZUR", "Servidor", "\"SRV01'"},
        {"a lone quote stays", "[ZUR]\nServidor=\"\n", "ZUR", "Servidor", "\""},
        {"inner quotes stay", "[ZUR]\nServidor=a\"b\"\n", "ZUR", "Servidor", "a\"b\""},
        {"quoted empty value", "[ZUR]\nServidor=\"\"\n", "ZUR", "Servidor", ""},
        {"present but empty", "[ZUR]\nServidor=\n", "ZUR", "Servidor", ""},
        {"present, blanks only", "[ZUR]\nServidor=   \n", "ZUR", "Servidor", ""},
        {"value keeps later equals signs", "[ZUR]\nServidor=a=b\n", "ZUR", "Servidor", "a=b"},
        {"first occurrence wins", "[ZUR]\nservidor=A\nServidor=B\n", "ZUR", "Servidor", "A"},
        {"missing key", "[ZUR]\nSO_Servidor=LINUX\n", "ZUR", "Servidor", "<default>"},
        {"missing section", "[OUTRA]\nServidor=SRV01\n", "ZUR", "Servidor", "<default>"},
        {"key of another section", "[ZUR]\nSO_Servidor=LINUX\n[OUTRA]\nServidor=SRV01\n", "ZUR", "Servidor",
            "<default>"},
        {"key before every section", "Servidor=SRV01\n[ZUR]\n", "ZUR", "Servidor", "<default>"},
        {"only the first section of the name counts", "[ZUR]\nA=1\n[OUTRA]\n[ZUR]\nServidor=SRV01\n", "ZUR", "Servidor",
            "<default>"},
        {"section after another", "[OUTRA]\nServidor=X\n[ZUR]\nServidor=SRV01\n", "ZUR", "Servidor", "SRV01"},
        {"UTF-8 text with a byte-order mark", "\xEF\xBB\xBF[ZUR]\nServidor=S\xC3\xA9rgio\n", "ZUR", "Servidor",
            QStringLiteral("Sérgio")},
        {"longer value cut at 2047", "[ZUR]\nServidor=" + longValue + "\n", "ZUR", "Servidor", QString(2047, u'x')},
        {"value of 2047 kept", "[ZUR]\nServidor=" + longValue.left(2047) + "\n", "ZUR", "Servidor",
            QString(2047, u'x')},
    };
    for (const Case& c : cases) {
        QTemporaryDir temp;
        const QString file = temp.path() + QStringLiteral("/site.ini");
        WriteFile(file, c.content);
        EXPECT_EQ(ReadProfileString(file, c.section, c.key, QStringLiteral("<default>")), c.expected) << c.what;
    }
}

TEST(ProfileReader, MissingFileGivesTheDefault)
{
    QTemporaryDir temp;
    const QString file = temp.path() + QStringLiteral("/none.ini");
    EXPECT_EQ(ReadProfileString(file, "ZUR", "SO_Servidor", "WINDOWS"), "WINDOWS");
    EXPECT_EQ(ReadProfileString(file, "ZUR", "Servidor", QString()), QString());
}

TEST(ProfileReader, OnlyAPlainFileOfAConfigurationsSizeIsRead)
{
    // A pipe would hold the start-up forever, a device would fill the memory.
    QTemporaryDir temp;
    const QByteArray valid = "[ZUR]\nServidor=S1\n";
    struct Case {
        const char* what;
        QString file;
        QString expected;
    };
    std::vector<Case> cases;
    const QString large = temp.path() + QStringLiteral("/large.ini");
    WriteFile(large, valid + QByteArray(64 * 1024, ' '));
    cases.push_back({"larger than 64 KiB", large, "<default>"});
    const QString plain = temp.path() + QStringLiteral("/plain.ini");
    WriteFile(plain, valid);
    cases.push_back({"a plain file", plain, "S1"});
    cases.push_back({"a folder", temp.path(), "<default>"});
#ifndef Q_OS_WIN
    const QString pipe = temp.path() + QStringLiteral("/pipe.ini");
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    cases.push_back({"a pipe", pipe, "<default>"});
    const QString device = temp.path() + QStringLiteral("/zero.ini");
    ASSERT_TRUE(QFile::link(QStringLiteral("/dev/zero"), device));
    cases.push_back({"a link to a device", device, "<default>"});
    const QString linked = temp.path() + QStringLiteral("/linked.ini");
    ASSERT_TRUE(QFile::link(plain, linked));
    cases.push_back({"a link to a plain file", linked, "S1"});
#endif
    for (const Case& c : cases)
        EXPECT_EQ(ReadProfileString(c.file, "ZUR", "Servidor", QStringLiteral("<default>")), c.expected) << c.what;
}

TEST(SiteConfigFile, IsFoundInAnyLetterCase)
{
    Site site;
    EXPECT_EQ(SiteConfigFile(site.Dir()), site.Dir() + "VELTRANO_KOLM_SERVER.ini"); // none there
    site.WriteIni("[zur]\nservidor=SRV01\ncaminho_base_dados=/opt/ZUR/\n", "veltrano_kolm_server.INI");
    // The name found opens that file (on a file system that ignores letter
    // case, the name as the program spells it does as well).
    const QString found = SiteConfigFile(site.Dir());
    EXPECT_TRUE(QFileInfo(found).isFile()) << found.toStdString();
    EXPECT_TRUE(QFileInfo(found) == QFileInfo(site.Dir() + "veltrano_kolm_server.INI")) << found.toStdString();
    EXPECT_EQ(site.Resolve("B"), "SRV01:/opt/ZUR/DADOS\\");
}

// ---------------------------------------------------------------------------
// Busca_Diretorio

TEST(BuscaDiretorio, ServerConfiguredWorkedExample)
{
    // The server runs Linux and sees the tree at /opt/ZUR/; this machine sees
    // it at <site>/mapa/ZUR/.
    const auto makeSite = [](Site& site) {
        const QString tree = site.MakeDir("mapa/ZUR");
        site.WriteIni("[ZUR]\nServidor=SRV01\nSO_Servidor=LINUX\nCaminho_Base_Dados=/opt/ZUR/\nDiretorio_Servidor="
            + tree.toUtf8() + "\n");
        return tree;
    };
    const struct {
        const char* code;
        const char* expected; // "~" stands for the local tree
        const char* created;
    } rows[] = {
        {"D", "~DADOS/", ""},
        {"B", "SRV01:/opt/ZUR/DADOS/", ""},
        {"TD", "~TABDEF/", ""},
        {"TB", "SRV01:/opt/ZUR/TABDEF/", ""},
        {"BK", "/opt/ZUR/DADOS/", ""},
        {"BD", "~BCKP/", "~BCKP/"},
        {"BB", "/opt/ZUR/BCKP/", "~BCKP/"},
        {"DE", "~EXPORTA/", "~EXPORTA/"},
        {"DI", "~IMPORTA/", "~IMPORTA/"},
        {"XY", "", ""},
    };
    for (const auto& row : rows) {
        Site site;
        const QString tree = makeSite(site);
        // Local parts end in this machine's separator; server parts in the server's "/".
        const auto local = [&](QString text) {
            if (!text.startsWith(u'~'))
                return text;
            return tree + text.mid(1).replace(u'/', sep);
        };
        EXPECT_EQ(site.Resolve(row.code), local(row.expected)) << row.code;
        const QStringList left = QDir(tree).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
        if (*row.created) {
            EXPECT_TRUE(IsDir(local(row.created))) << row.code;
            EXPECT_EQ(left.size(), 1) << row.code;
        } else {
            EXPECT_TRUE(left.isEmpty()) << row.code << " left " << left.join(' ').toStdString();
        }
    }
}

#ifndef Q_OS_WIN
TEST(BuscaDiretorio, LocalWorkedExampleAsWritten)
{
    // Servidor and SO_Servidor missing, so the server separator is "\"; the
    // fixed tails end in this machine's separator. The paths are relative
    // here, so the created directory lands in the current directory.
    const struct {
        const char* code;
        QString expected;
        bool creates;
    } rows[] = {
        {"BK", "C:\\Apps\\ZUR\\Base\\DADOS" + sep, false},
        {"TB", "C:\\Apps\\ZUR\\TABDEF" + sep, false},
        {"BB", "C:\\Apps\\ZUR\\BCKP" + sep, true},
        {"XY", "C:\\Apps\\ZUR\\BCKP" + sep, true},
    };
    for (const auto& row : rows) {
        Site site;
        site.WriteIni("[ZUR]\nCaminho_Base_Dados=C:\\Apps\\ZUR\\Base\\\n");
        QTemporaryDir work;
        CurrentDirectory current(work.path());
        EXPECT_EQ(site.Resolve(row.code), row.expected) << row.code;
        const QStringList left = QDir(work.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
        EXPECT_EQ(left.size(), row.creates ? 1 : 0) << row.code;
        if (row.creates) {
            EXPECT_TRUE(IsDir(work.path() + u'/' + row.expected)) << row.code;
        }
    }
}
#endif

TEST(BuscaDiretorio, LocalCaseOnThisMachinesTree)
{
    // The local example with a tree that exists here: C:\Apps\ZUR\Base\ becomes <site>/Apps/ZUR/Base/.
    const struct {
        const char* code;
        const char* expected; // under <site>/Apps/, "/" standing for this machine's separator
        bool creates;
    } rows[] = {
        {"B", "ZUR/Base/DADOS/", false},
        {"D", "ZUR/Base/DADOS/", false},
        {"BK", "ZUR/Base/DADOS/", false},
        {"TD", "ZUR/TABDEF/", false},
        {"TB", "ZUR/TABDEF/", false},
        {"DE", "ZUR/EXPORTA/", true},
        {"DI", "ZUR/IMPORTA/", true},
        {"BD", "ZUR/BCKP/", true},
        {"BB", "ZUR/BCKP/", true},
        {"XY", "ZUR/BCKP/", true},
        {"", "ZUR/BCKP/", true},
        {" BK", "ZUR/BCKP/", true}, // a code with blanks is not in the table
        {"bk", "ZUR/Base/DADOS/", false},
        {"de", "ZUR/EXPORTA/", true},
    };
    for (const auto& row : rows) {
        Site site;
        const QString apps = site.MakeDir("Apps");
        site.MakeDir("Apps/ZUR/Base");
#ifdef Q_OS_WIN
        const QByteArray so; // the default WINDOWS gives "\"
#else
        const QByteArray so = "SO_Servidor=LINUX\n";
#endif
        site.WriteIni("[ZUR]\nServidor=\n" + so + "Caminho_Base_Dados=" + apps.toUtf8() + "ZUR" + sep.toUtf8() + "Base"
            + sep.toUtf8() + "\n");
        const QString expected = apps + QString::fromLatin1(row.expected).replace(u'/', sep);
        EXPECT_EQ(site.Resolve(row.code), expected) << '"' << row.code << '"';
        const QStringList left = QDir(apps + "ZUR").entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
        EXPECT_EQ(left.size(), row.creates ? 2 : 1) << row.code << ": " << left.join(' ').toStdString();
        if (row.creates) {
            EXPECT_TRUE(IsDir(expected)) << row.code;
        }
    }
}

TEST(BuscaDiretorio, ServerSeparatorFollowsSO_Servidor)
{
    const struct {
        const char* what;
        QByteArray line;
        QString separator;
    } rows[] = {
        {"missing", "", "\\"},
        {"WINDOWS", "SO_Servidor=WINDOWS\n", "\\"},
        {"blanks around WINDOWS", "SO_Servidor=   WINDOWS  \n", "\\"},
        {"quoted WINDOWS", "SO_Servidor=\"WINDOWS\"\n", "\\"},
        {"empty", "SO_Servidor=\n", "/"},
        {"lower case", "SO_Servidor=windows\n", "/"},
        {"another system", "SO_Servidor=LINUX\n", "/"},
        {"longer name", "SO_Servidor=WINDOWS 2008\n", "/"},
    };
    for (const auto& row : rows) {
        Site site;
        site.WriteIni("[ZUR]\nServidor=SRV01\nCaminho_Base_Dados=/opt/ZUR/\nDiretorio_Servidor=" + site.Dir().toUtf8()
            + "\n" + row.line);
        const QString s = row.separator;
        EXPECT_EQ(site.Resolve("BK"), "/opt/ZUR/DADOS" + s) << row.what;
        EXPECT_EQ(site.Resolve("TB"), "SRV01:/opt/ZUR" + s + "TABDEF" + s) << row.what;
        EXPECT_EQ(site.Resolve("BB"), "/opt/ZUR" + s + "BCKP" + s) << row.what;
    }
}

TEST(BuscaDiretorio, RootsAreCutAfterTheFirstUpperCaseZUR)
{
    // "TB" shows the server root (server separator "/"), "TD" the local root
    // (this machine's separator).
    const struct {
        const char* what;
        const char* value;
        QString root; // "|" stands for the separator appended after "ZUR"
    } rows[] = {
        {"ZUR inside a longer name", "D:\\ZURDATA\\", "D:\\ZUR|"},
        {"ZUR as a directory", "/opt/ZUR/base/", "/opt/ZUR|"},
        {"ZUR twice", "/a/ZUR/b/ZUR/c/", "/a/ZUR|"},
        {"ZUR at the start", "ZURBASE/x/", "ZUR|"},
        {"lower-case zur is no match", "/srv/zur/", "/srv/zur/"},
        {"mixed-case Zur is no match", "/srv/Zur/", "/srv/Zur/"},
        {"empty", "", ""},
    };
    for (const auto& row : rows) {
        Site site;
        site.WriteIni(QByteArray("[ZUR]\nServidor=SRV01\nSO_Servidor=LINUX\nCaminho_Base_Dados=") + row.value
            + "\nDiretorio_Servidor=" + row.value + "\n");
        EXPECT_EQ(site.Resolve("TB"), "SRV01:" + QString(row.root).replace(u'|', u'/') + "TABDEF/") << row.what;
        EXPECT_EQ(site.Resolve("TD"), QString(row.root).replace(u'|', sep) + "TABDEF" + sep) << row.what;
        // The full values, uncut, give "DADOS".
        EXPECT_EQ(site.Resolve("BK"), QString(row.value) + "DADOS/") << row.what;
        EXPECT_EQ(site.Resolve("D"), QString(row.value) + "DADOS" + sep) << row.what;
    }
}

TEST(BuscaDiretorio, BlankServidorSelectsTheLocalCase)
{
    const struct {
        const char* what;
        QByteArray line;
        QString expected;
    } rows[] = {
        {"missing", "", "/opt/ZUR/DADOS" + sep},
        {"empty", "Servidor=\n", "/opt/ZUR/DADOS" + sep},
        {"blanks only", "Servidor=    \n", "/opt/ZUR/DADOS" + sep},
        {"quoted blanks", "Servidor=\" \"\n", " :/opt/ZUR/DADOS/"}, // the quotes keep the blank: a server
        {"a name", "Servidor=SRV01\n", "SRV01:/opt/ZUR/DADOS/"},
    };
    for (const auto& row : rows) {
        Site site;
        site.WriteIni("[ZUR]\nSO_Servidor=LINUX\nCaminho_Base_Dados=/opt/ZUR/\n" + row.line);
        EXPECT_EQ(site.Resolve("B"), row.expected) << row.what;
    }
}

TEST(BuscaDiretorio, CodesIgnoreLetterCaseButNotBlanks)
{
    Site site;
    site.WriteIni("[ZUR]\nServidor=SRV01\nSO_Servidor=LINUX\nCaminho_Base_Dados=/opt/ZUR/\n");
    const struct {
        const char* code;
        const char* expected;
    } rows[] = {
        {"bk", "/opt/ZUR/DADOS/"},
        {"Bk", "/opt/ZUR/DADOS/"},
        {"tb", "SRV01:/opt/ZUR/TABDEF/"},
        {" BK", ""},
        {"BK ", ""},
        {"", ""},
        {"BKP", ""},
    };
    for (const auto& row : rows)
        EXPECT_EQ(site.Resolve(row.code), row.expected) << '"' << row.code << '"';
}

TEST(BuscaDiretorio, ExistingDirectoryIsKept)
{
    Site site;
    const QString tree = site.MakeDir("ZUR");
    site.MakeDir("ZUR/BCKP");
    WriteFile(tree + "BCKP" + sep + "old.bkp", "x");
    site.WriteIni("[ZUR]\nServidor=SRV01\nDiretorio_Servidor=" + tree.toUtf8() + "\n");
    EXPECT_EQ(site.Resolve("BD"), tree + "BCKP" + sep);
    EXPECT_TRUE(QFileInfo::exists(tree + "BCKP" + sep + "old.bkp"));
}

TEST(BuscaDiretorio, FailedCreationNamesTheDirectory)
{
    const QString prefix = QStringLiteral("Não é possível criar o diretório: ");
    {
        // Parent missing: nothing is created on the way.
        Site site;
        const QString tree = site.Dir() + "falta" + sep + "ZUR" + sep;
        site.WriteIni("[ZUR]\nServidor=SRV01\nDiretorio_Servidor=" + tree.toUtf8() + "\n");
        EXPECT_EQ(ErrorOf([&] { site.Resolve("BD"); }), prefix + tree + "BCKP" + sep);
        EXPECT_EQ(ErrorOf([&] { site.Resolve("BB"); }), prefix + tree + "BCKP" + sep);
        EXPECT_FALSE(QFileInfo::exists(site.Dir() + "falta"));
    }
    {
        // A file of that name exists.
        Site site;
        const QString tree = site.MakeDir("ZUR");
        WriteFile(tree + "EXPORTA", "not a directory");
        site.WriteIni("[ZUR]\nServidor=SRV01\nDiretorio_Servidor=" + tree.toUtf8() + "\n");
        EXPECT_EQ(ErrorOf([&] { site.Resolve("DE"); }), prefix + tree + "EXPORTA" + sep);
        EXPECT_TRUE(QFileInfo(tree + "EXPORTA").isFile());
    }
    {
        // The local case names the directory under the server root.
        Site site;
        const QString root = site.Dir() + "falta" + sep + "ZUR" + sep;
#ifdef Q_OS_WIN
        const QByteArray so;
#else
        const QByteArray so = "SO_Servidor=LINUX\n";
#endif
        site.WriteIni("[ZUR]\n" + so + "Caminho_Base_Dados=" + root.toUtf8() + "Base" + sep.toUtf8() + "\n");
        EXPECT_EQ(ErrorOf([&] { site.Resolve("DI"); }), prefix + root + "IMPORTA" + sep);
        EXPECT_EQ(ErrorOf([&] { site.Resolve("XY"); }), prefix + root + "BCKP" + sep);
    }
}

TEST(BuscaDiretorio, NoSiteConfigurationFile)
{
    Site site; // holds no file
    QTemporaryDir work;
    CurrentDirectory current(work.path());
    EXPECT_EQ(site.Resolve("BK"), "DADOS" + sep);
    EXPECT_EQ(site.Resolve("TB"), "TABDEF" + sep);
    EXPECT_TRUE(QDir(work.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty());
    // A code that ensures a directory creates it in the current directory.
    EXPECT_EQ(site.Resolve("DE"), "EXPORTA" + sep);
    EXPECT_TRUE(IsDir(work.path() + "/EXPORTA"));
}

TEST(BuscaDiretorio, ReadsTheFileBesideTheExecutable)
{
    // Nothing lies beside the test program, so "BK" gives the relative "DADOS" directory.
    ASSERT_FALSE(QFileInfo::exists(SiteConfigFile(ExecutableDirectory())));
    EXPECT_EQ(Busca_Diretorio("BK"), "DADOS" + sep);
}
