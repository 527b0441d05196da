// The attach block and the start blocks, byte for byte, built by the plain
// builder functions (no client library involved).

#include "ibclient/ConfigService.h"
#include "EightBitText.h"
#include "ServiceTestSupport.h"
#include "ibclient/BackupRestoreServices.h"
#include "ibclient/Errors.h"
#include "ibclient/Services.h"

#include <gtest/gtest.h>

using servicetest::Bytes;
using servicetest::ClientErrorOf;
using servicetest::Hex;

namespace {

struct TBlockCase {
    const char* title;
    QStringList lines;
    QByteArray block;
};

struct TErrorCase {
    const char* title;
    QStringList lines;
    int code;
};

} // namespace

TEST(ServicesAttachBlock, BuildsItemsFromParameterLines)
{
    const QString longest(255, u'v');
    const TBlockCase cases[] = {
        {"empty list", {}, Bytes(2, 2)},
        {"the application's credentials", {"user_name=SYSDBA", "password=plumtrove"},
            Bytes(2, 2, 28, 6, "SYSDBA", 29, 9, "plumtrove")},
        {"upper-case name and isc_spb_ prefix", {"USER_NAME=ana", "isc_spb_password=x"},
            Bytes(2, 2, 28, 3, "ana", 29, 1, "x")},
        {"prefix in upper case", {"ISC_SPB_User_Name=a"}, Bytes(2, 2, 28, 1, "a")},
        {"value keeps later '=' and its blanks", {"password= a=b "}, Bytes(2, 2, 29, 5, " a=b ")},
        {"empty value is sent with length 0", {"user_name="}, Bytes(2, 2, 28, 0)},
        {"lines without a name are skipped", {"no equals sign", "", "=value", "   =value", "\t=value", "user_name=u"},
            Bytes(2, 2, 28, 1, "u")},
        {"repeated names are all sent in order", {"user_name=a", "user_name=b"}, Bytes(2, 2, 28, 1, "a", 28, 1, "b")},
        {"instance name is sent", {"instance_name=fb"}, Bytes(2, 2, 75, 2, "fb")},
        {"value length counts 8-bit bytes", {QStringLiteral("password=s\u00e9")},
            Bytes(2, 2, 29, int(testtext::EightBit(QStringLiteral(u"sé")).size()),
                testtext::EightBit(QStringLiteral(u"sé")))},
        {"a 255-byte value fits", {"password=" + longest}, Bytes(2, 2, 29, 255, longest.toLatin1())},
    };
    for (const TBlockCase& c : cases) {
        SCOPED_TRACE(c.title);
        EXPECT_EQ(Hex(BuildAttachBlock(c.lines)), Hex(c.block));
    }
}

TEST(ServicesAttachBlock, RefusesNamesAndSizesItCannotSend)
{
    QStringList manyLines;
    for (int i = 0; i < 128; ++i)
        manyLines << "password=" + QString(255, u'p');
    const TErrorCase cases[] = {
        {"blank before the name", {" user_name=ana"}, ibxeSPBConstantUnknown},
        {"blank after the name", {"user_name =ana"}, ibxeSPBConstantUnknown},
        {"unknown name", {"user=ana"}, ibxeSPBConstantUnknown},
        {"connection prefix is not stripped", {"isc_dpb_user_name=ana"}, ibxeSPBConstantUnknown},
        {"db_name is known but not sent", {"user_name=a", "db_name=/x.fdb"}, ibxeSPBConstantNotSupported},
        {"verbose is known but not sent", {"isc_spb_verbose="}, ibxeSPBConstantNotSupported},
        {"sql_role_name is known but not sent", {"SQL_ROLE_NAME=r"}, ibxeSPBConstantNotSupported},
        {"value over 255 bytes", {"user_name=" + QString(256, u'u')}, ibxeParamValueTooLong},
        {"block over 32767 bytes", manyLines, ibxeParamBlockTooLong},
    };
    for (const TErrorCase& c : cases) {
        SCOPED_TRACE(c.title);
        EXPECT_EQ(ClientErrorOf([&] { BuildAttachBlock(c.lines); }), c.code);
    }
}

TEST(ServicesAttachBlock, RefusalMessagesAreTheTableTexts)
{
    try {
        BuildAttachBlock({" user_name=ana"});
        FAIL() << "no error";
    } catch (const EIBClientError& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("SPB Constant Unknown"));
        EXPECT_EQ(e.IBErrorCode(), 0);
    }
    try {
        BuildAttachBlock({"db_name=x"});
        FAIL() << "no error";
    } catch (const EIBClientError& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("SPB Constant Not supported"));
    }
}

TEST(ServicesServiceName, FollowsTheProtocol)
{
    EXPECT_EQ(BuildServiceName(TCP, "localhost/3050"), QStringLiteral("localhost/3050:service_mgr"));
    EXPECT_EQ(BuildServiceName(SPX, "srv"), QStringLiteral("srv@service_mgr"));
    EXPECT_EQ(BuildServiceName(NamedPipe, "srv"), QStringLiteral("\\\\srv\\service_mgr"));
    EXPECT_EQ(BuildServiceName(Local, "ignored"), QStringLiteral("service_mgr"));
}

TEST(ServicesStartBlock, BackupBlocks)
{
    const QString db = QStringLiteral("/srv/db/DADOS.FDB");
    const QString file = QStringLiteral("/exe/DADOS20240131.BKP");
    struct TCase {
        const char* title;
        TBackupOptions options;
        bool verbose;
        int factor;
        QStringList files;
        QByteArray block;
    };
    const TCase cases[] = {
        {"the application's backup", {}, true, 0, {file},
            Bytes(1, 106, 17, 0, "/srv/db/DADOS.FDB", 108, 0, 0, 0, 0, 107, 5, 22, 0, "/exe/DADOS20240131.BKP")},
        {"no verbose, no files", {}, false, 0, {}, Bytes(1, 106, 17, 0, "/srv/db/DADOS.FDB", 108, 0, 0, 0, 0)},
        {"every option",
            {TBackupOption::IgnoreChecksums, TBackupOption::IgnoreLimbo, TBackupOption::MetadataOnly,
                TBackupOption::NoGarbageCollection, TBackupOption::OldMetadataDesc, TBackupOption::NonTransportable,
                TBackupOption::ConvertExtTables},
            false, 0, {}, Bytes(1, 106, 17, 0, "/srv/db/DADOS.FDB", 108, 0x7F, 0, 0, 0)},
        {"one option sets its bit", {TBackupOption::NoGarbageCollection}, false, 0, {},
            Bytes(1, 106, 17, 0, "/srv/db/DADOS.FDB", 108, 0x08, 0, 0, 0)},
        {"blocking factor 20", {}, false, 20, {},
            Bytes(1, 106, 17, 0, "/srv/db/DADOS.FDB", 108, 0, 0, 0, 0, 6, 20, 0, 0, 0)},
        {"blocking factor below 1 is not sent", {}, false, -5, {},
            Bytes(1, 106, 17, 0, "/srv/db/DADOS.FDB", 108, 0, 0, 0, 0)},
        {"size after '='", {}, false, 0, {"/b/f.BKP=2048"},
            Bytes(1, 106, 17, 0, "/srv/db/DADOS.FDB", 108, 0, 0, 0, 0, 5, 8, 0, "/b/f.BKP", 7, 0x00, 0x08, 0x00, 0x00)},
        {"a line of '=' and a size sends the size alone", {}, false, 0, {"=2048"},
            Bytes(1, 106, 17, 0, "/srv/db/DADOS.FDB", 108, 0, 0, 0, 0, 7, 0x00, 0x08, 0x00, 0x00)},
        {"blank lines are skipped, trailing blanks of a name are sent", {}, false, 0, {"", "   ", "\t", "/b/f "},
            Bytes(1, 106, 17, 0, "/srv/db/DADOS.FDB", 108, 0, 0, 0, 0, 5, 5, 0, "/b/f ")},
        {"hexadecimal and signed sizes", {}, false, 0, {"a=$10", "b= 0x100", "c=-1"},
            Bytes(1, 106, 17, 0, "/srv/db/DADOS.FDB", 108, 0, 0, 0, 0, 5, 1, 0, "a", 7, 16, 0, 0, 0, 5, 1, 0, "b", 7, 0,
                1, 0, 0, 5, 1, 0, "c", 7, 0xFF, 0xFF, 0xFF, 0xFF)},
        {"several files in order", {}, true, 0, {"/b/1.BKP", "/b/2.BKP"},
            Bytes(1, 106, 17, 0, "/srv/db/DADOS.FDB", 108, 0, 0, 0, 0, 107, 5, 8, 0, "/b/1.BKP", 5, 8, 0, "/b/2.BKP")},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.title);
        EXPECT_EQ(Hex(BuildBackupStartBlock(db, c.options, c.verbose, c.factor, c.files)), Hex(c.block));
    }
}

TEST(ServicesStartBlock, StringLengthIsTwoBytesOf8BitText)
{
    const QString longName = "/" + QString(299, u'd');
    const QByteArray block = BuildBackupStartBlock(longName, {}, false, 0, {QStringLiteral("/b/\u00e7.BKP")});
    EXPECT_EQ(Hex(block.left(4)), Hex(Bytes(1, 106, 0x2C, 0x01)));
    const QByteArray file = testtext::EightBit(QStringLiteral(u"/b/ç.BKP"));
    EXPECT_EQ(Hex(block.mid(4 + 300 + 5)), Hex(Bytes(5, int(file.size()), 0, file)));
}

TEST(ServicesStartBlock, RestoreBlocks)
{
    struct TCase {
        const char* title;
        TRestoreOptions options;
        bool verbose;
        int pageSize;
        int pageBuffers;
        QStringList backupFiles;
        QStringList databaseFiles;
        QByteArray block;
    };
    const TCase cases[] = {
        {"the application's restore",
            {TRestoreOption::Replace, TRestoreOption::CreateNewDB, TRestoreOption::UseAllSpace}, true, 4096, 0,
            {"/exe/A.BKP", "/exe/B.BKP"}, {"/srv/db/DADOS.FDB"},
            Bytes(2, 108, 0x00, 0x70, 0x00, 0x00, 107, 10, 0x00, 0x10, 0x00, 0x00, 5, 10, 0, "/exe/A.BKP", 5, 10, 0,
                "/exe/B.BKP", 106, 17, 0, "/srv/db/DADOS.FDB")},
        {"a new object's defaults", {TRestoreOption::CreateNewDB}, false, 4096, 0, {}, {},
            Bytes(2, 108, 0x00, 0x20, 0x00, 0x00, 10, 0x00, 0x10, 0x00, 0x00)},
        {"no page size, page buffers 75, every option",
            {TRestoreOption::DeactivateIndexes, TRestoreOption::NoShadow, TRestoreOption::NoValidityCheck,
                TRestoreOption::OneRelationAtATime, TRestoreOption::Replace, TRestoreOption::CreateNewDB,
                TRestoreOption::UseAllSpace, TRestoreOption::ValidationCheck},
            false, 0, 75, {}, {}, Bytes(2, 108, 0x00, 0xFF, 0x00, 0x00, 9, 75, 0, 0, 0)},
        {"database files with sizes, blank lines skipped", {}, false, 0, 0, {"/b/x.BKP=100"},
            {"/d/1.fdb=1000", "  ", "/d/2.fdb"},
            Bytes(2, 108, 0, 0, 0, 0, 5, 8, 0, "/b/x.BKP", 7, 100, 0, 0, 0, 106, 8, 0, "/d/1.fdb", 11, 0xE8, 0x03, 0, 0,
                106, 8, 0, "/d/2.fdb")},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.title);
        EXPECT_EQ(Hex(BuildRestoreStartBlock(
                      c.options, c.verbose, c.pageSize, c.pageBuffers, c.backupFiles, c.databaseFiles)),
            Hex(c.block));
    }
}

TEST(ServicesStartBlock, PropertiesBlocksTakeADatabaseOutOfUseAndBackOnline)
{
    // A full shutdown that waits for no attachment and cuts none off (42, not
    // the forcing 41), and the return to the normal state.
    EXPECT_EQ(Hex(BuildShutdownStartBlock(QStringLiteral("/d/DADOS.FDB"), TShutdownMode::Full, 0)),
        Hex(Bytes(8, 106, 12, 0, "/d/DADOS.FDB", 44, 3, 42, 0, 0, 0, 0)));
    EXPECT_EQ(Hex(BuildShutdownStartBlock(QStringLiteral("/d/X"), TShutdownMode::Single, 300)),
        Hex(Bytes(8, 106, 4, 0, "/d/X", 44, 2, 42, 0x2C, 0x01, 0, 0)));
    EXPECT_EQ(
        Hex(BuildOnlineStartBlock(QStringLiteral("/d/DADOS.FDB"))), Hex(Bytes(8, 106, 12, 0, "/d/DADOS.FDB", 45, 0)));
    EXPECT_EQ(ClientErrorOf([] { BuildOnlineStartBlock({}); }), ibxeStartParamsError);
    EXPECT_EQ(ClientErrorOf([] { BuildShutdownStartBlock({}, TShutdownMode::Full, 0); }), ibxeStartParamsError);
}

TEST(ServicesStartBlock, Refusals)
{
    EXPECT_EQ(ClientErrorOf([] { BuildBackupStartBlock({}, {}, true, 0, {"/b/x.BKP"}); }), ibxeStartParamsError);
    // A string value needs a two-byte length.
    EXPECT_EQ(ClientErrorOf([] { BuildBackupStartBlock("/" + QString(65535, u'd'), {}, false, 0, {}); }),
        ibxeParamValueTooLong);
    EXPECT_EQ(ClientErrorOf([] { BuildBackupStartBlock(QString(65535, u'd'), {}, false, 0, {}); }), -1);
}

TEST(ServicesStartBlock, SizeThatIsNoIntegerIsTheConversionError)
{
    struct TCase {
        QString line;
        QString message;
    };
    const TCase cases[] = {
        {"/b/x.BKP=12x", "''12x'' is not a valid integer value"},
        {"/b/x.BKP=", "'''' is not a valid integer value"},
        {"/b/x.BKP=2048 ", "''2048 '' is not a valid integer value"},
        // A path holding "=" is split at its first "=".
        {"/b/a=b.BKP", "''b.BKP'' is not a valid integer value"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.line.toStdString());
        try {
            BuildRestoreStartBlock({}, false, 0, 0, {c.line}, {});
            ADD_FAILURE() << "no error";
        } catch (const EConvertError& e) {
            EXPECT_EQ(e.Message(), c.message);
        }
    }
}
