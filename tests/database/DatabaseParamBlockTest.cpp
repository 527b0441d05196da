// The database parameter block built from name=value lines: exact bytes and refusals.

#include "ibclient/DatabaseParamBlock.h"
#include "EightBitText.h"
#include "ibclient/Errors.h"

#include <ibase.h>

#include <gtest/gtest.h>

#include <set>
#include <vector>

namespace {

QByteArray Bytes(std::initializer_list<int> bytes)
{
    QByteArray result;
    for (int b : bytes)
        result.append(static_cast<char>(b));
    return result;
}

QString Hex(const QByteArray& bytes)
{
    return QString::fromLatin1(bytes.toHex(' '));
}

struct BlockCase {
    const char* what;
    QStringList lines;
    QByteArray block;
};

void PrintTo(const BlockCase& c, std::ostream* os)
{
    *os << c.what;
}

class IBDpbBlockBytes : public testing::TestWithParam<BlockCase> { };

TEST_P(IBDpbBlockBytes, Exact)
{
    const BlockCase& c = GetParam();
    const TDatabaseParamBlock built = BuildDatabaseParamBlock(c.lines);
    EXPECT_EQ(Hex(built.Block), Hex(c.block));
    EXPECT_EQ(built.Length, c.block.size());
}

INSTANTIATE_TEST_SUITE_P(Cases, IBDpbBlockBytes,
    testing::Values(BlockCase{"empty list", {}, Bytes({1})},
        BlockCase{"user name and password", {"User_Name=SYSDBA", "Password=plumtrove"},
            Bytes({1, 28, 6}) + "SYSDBA" + Bytes({29, 9}) + "plumtrove"},
        BlockCase{"names in any case", {"USER_NAME=ab", "pAsSwOrD=c"}, Bytes({1, 28, 2, 'a', 'b', 29, 1, 'c'})},
        BlockCase{"isc_dpb_ prefix in any case", {"isc_dpb_user_name=u", "ISC_DPB_PASSWORD=p"},
            Bytes({1, 28, 1, 'u', 29, 1, 'p'})},
        BlockCase{"lines without a name are skipped", {"no equals sign", "=x", "   =x", "\t=x", "", "user_name=u"},
            Bytes({1, 28, 1, 'u'})},
        BlockCase{"empty value", {"password="}, Bytes({1, 29, 0})},
        BlockCase{
            "value kept as written, blanks and later = included", {"password= a=b "}, Bytes({1, 29, 5}) + " a=b "},
        BlockCase{"value length counts bytes of 8-bit text", {QString::fromUtf8("user_name=José")},
            Bytes({1, 28, static_cast<int>(testtext::EightBit(QStringLiteral(u"José")).size())})
                + testtext::EightBit(QStringLiteral(u"José"))},
        BlockCase{"sql_dialect travels as the digit's value", {"sql_dialect=3"}, Bytes({1, 63, 1, 3})},
        BlockCase{"sql_dialect only its first character changes", {"sql_dialect=13"}, Bytes({1, 63, 2, 1, '3'})},
        BlockCase{"byte number: low byte", {"num_buffers=300"}, Bytes({1, 5, 1, 44})},
        BlockCase{"byte number: negative", {"force_write=-1"}, Bytes({1, 24, 1, 255})},
        BlockCase{"32-bit number, least significant first", {"sweep_interval=20000"}, Bytes({1, 22, 4, 32, 78, 0, 0})},
        BlockCase{"32-bit number, negative", {"sweep_interval=-2"}, Bytes({1, 22, 4, 0xFE, 0xFF, 0xFF, 0xFF})},
        BlockCase{"fixed item ignores its value", {"sweep=anything"}, Bytes({1, 10, 1, 2})},
        BlockCase{"flag ignores its value", {"activate_shadow=", "quit_log=9"}, Bytes({1, 21, 1, 0, 26, 1, 0})},
        BlockCase{"255-byte value is the longest accepted", {"password=" + QString(255, u'x')},
            Bytes({1, 29, 255}) + QByteArray(255, 'x')},
        BlockCase{"items follow the lines' order", {"password=p", "sql_dialect=1", "user_name=u"},
            Bytes({1, 29, 1, 'p', 63, 1, 1, 28, 1, 'u'})}),
    [](const testing::TestParamInfo<BlockCase>& info) { return "Case" + std::to_string(info.index); });

struct RefusalCase {
    const char* what;
    QStringList lines;
    int clientError; // 0: the number parser's conversion error
    QString message; // for a conversion error: the text given to the parser
};

QString ParserMessage(const QString& text)
{
    try {
        StrToInt(text);
    } catch (const EConvertError& e) {
        return e.Message();
    }
    return QStringLiteral("(parser accepted %1)").arg(text);
}

void PrintTo(const RefusalCase& c, std::ostream* os)
{
    *os << c.what;
}

class IBDpbBlockRefusals : public testing::TestWithParam<RefusalCase> { };

TEST_P(IBDpbBlockRefusals, Raises)
{
    const RefusalCase& c = GetParam();
    if (c.clientError == 0) {
        try {
            BuildDatabaseParamBlock(c.lines);
            FAIL() << c.what << ": nothing raised";
        } catch (const EConvertError& e) {
            EXPECT_EQ(e.Message(), ParserMessage(c.message)) << c.what;
        }
        return;
    }
    try {
        BuildDatabaseParamBlock(c.lines);
        FAIL() << c.what << ": nothing raised";
    } catch (const EIBClientError& e) {
        EXPECT_EQ(e.SQLCode(), c.clientError) << c.what;
        EXPECT_EQ(e.IBErrorCode(), 0);
        EXPECT_EQ(e.Message(), c.message) << c.what;
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, IBDpbBlockRefusals,
    testing::Values(
        RefusalCase{"blank before =", {"user_name=u", "Password =p"}, 114, "DPB Constant (Password ) is unknown"},
        RefusalCase{"leading blank", {" user_name=u"}, 114, "DPB Constant ( user_name) is unknown"},
        RefusalCase{"unknown name as written", {"Foo_Bar=1"}, 114, "DPB Constant (Foo_Bar) is unknown"},
        RefusalCase{"prefix removed once only", {"isc_dpb_isc_dpb_user_name=u"}, 114,
            "DPB Constant (isc_dpb_isc_dpb_user_name) is unknown"},
        RefusalCase{
            "known name without a kind", {"page_size=4096"}, 11, "DPB Constant (isc_dpb_page_size) is unsupported"},
        RefusalCase{"table's name, not the written one", {"ISC_DPB_Set_DB_SQL_Dialect=3"}, 11,
            "DPB Constant (isc_dpb_set_db_sql_dialect) is unsupported"},
        RefusalCase{
            "first code without a kind", {"cdd_pathname=x"}, 11, "DPB Constant (isc_dpb_cdd_pathname) is unsupported"},
        RefusalCase{"number that is no integer", {"num_buffers=abc"}, 0, "abc"},
        RefusalCase{"empty number", {"sweep_interval="}, 0, ""},
        RefusalCase{"empty sql_dialect", {"sql_dialect="}, 0, ""},
        RefusalCase{"256-byte value", {"user_name=u", "password=" + QString(256, u'x')}, 122,
            "Parameter value too long: password (256 bytes, at most 255)"},
        RefusalCase{"256 bytes of 8-bit text (fewer characters where a letter takes two)",
            {QStringLiteral("user_name=")
                + QString(256 / testtext::EightBit(QString(QChar(0xE9))).size(), QChar(0xE9))},
            122, "Parameter value too long: user_name (256 bytes, at most 255)"}),
    [](const testing::TestParamInfo<RefusalCase>& info) { return "Case" + std::to_string(info.index); });

TEST(IBDpbNameTable, EveryNameHasItsPositionAndOnlyTheListedCodesEncode)
{
    const std::set<int> text = {18, 19, 20, 28, 29, 30, 36, 47, 48, 60, 63, 75, 85};
    const std::set<int> byteNumber = {5, 9, 13, 17, 24, 27, 33, 34, 54};
    const std::set<int> threeBytes = {10, 21, 23, 25, 26}; // fixed and flag items
    std::set<QString> seen;
    for (int code = 1; code <= DPBNameCount; ++code) {
        const QString name = DPBConstantName(code);
        ASSERT_FALSE(name.isEmpty()) << code;
        EXPECT_TRUE(seen.insert(name).second) << "duplicate " << name.toStdString();
        EXPECT_EQ(DPBConstantCode(name), code);
        const QStringList lines = {name + QStringLiteral("=1")};
        if (text.count(code) || byteNumber.count(code) || threeBytes.count(code) || code == 22) {
            const QByteArray block = BuildDatabaseParamBlock(lines).Block;
            ASSERT_GE(block.size(), 3) << name.toStdString();
            EXPECT_EQ(static_cast<unsigned char>(block.at(1)), code) << name.toStdString();
            const int expectedSize = text.count(code) ? 1 + 2 + 1 : code == 22 ? 1 + 6 : 1 + 3;
            EXPECT_EQ(block.size(), expectedSize) << name.toStdString();
        } else {
            try {
                BuildDatabaseParamBlock(lines);
                ADD_FAILURE() << name.toStdString() << " was encoded";
            } catch (const EIBClientError& e) {
                EXPECT_EQ(e.SQLCode(), 11) << name.toStdString();
                EXPECT_EQ(e.Message(), QStringLiteral("DPB Constant (isc_dpb_%1) is unsupported").arg(name));
            }
        }
    }
    EXPECT_EQ(DPBConstantName(0), QString());
    EXPECT_EQ(DPBConstantName(86), QString());
    EXPECT_EQ(DPBConstantName(1), QStringLiteral("cdd_pathname"));
    EXPECT_EQ(DPBConstantName(85), QStringLiteral("sys_encrypt_password"));
}

// The codes the server reads must be the client library's own.
TEST(IBDpbNameTable, AgreesWithTheClientLibraryHeader)
{
    const std::vector<std::pair<const char*, int>> published = {
        {"num_buffers", isc_dpb_num_buffers},
        {"verify", isc_dpb_verify},
        {"sweep", isc_dpb_sweep},
        {"dbkey_scope", isc_dpb_dbkey_scope},
        {"damaged", isc_dpb_damaged},
        {"license", isc_dpb_license},
        {"sys_user_name", isc_dpb_sys_user_name},
        {"encrypt_key", isc_dpb_encrypt_key},
        {"activate_shadow", isc_dpb_activate_shadow},
        {"sweep_interval", isc_dpb_sweep_interval},
        {"delete_shadow", isc_dpb_delete_shadow},
        {"force_write", isc_dpb_force_write},
        {"begin_log", isc_dpb_begin_log},
        {"quit_log", isc_dpb_quit_log},
        {"no_reserve", isc_dpb_no_reserve},
        {"user_name", isc_dpb_user_name},
        {"password", isc_dpb_password},
        {"password_enc", isc_dpb_password_enc},
        {"online_dump", isc_dpb_online_dump},
        {"old_file_size", isc_dpb_old_file_size},
        {"lc_messages", isc_dpb_lc_messages},
        {"lc_ctype", isc_dpb_lc_ctype},
        {"overwrite", isc_dpb_overwrite},
        {"sql_role_name", isc_dpb_sql_role_name},
        {"sql_dialect", isc_dpb_sql_dialect},
    };
    for (const auto& [name, code] : published)
        EXPECT_EQ(DPBConstantCode(QString::fromLatin1(name)), code) << name;
}

TEST(IBDpbCharacterSet, LcCtypeLineNamesTheCharacterSet)
{
    const TDatabaseParamBlock built = BuildDatabaseParamBlock({"user_name=u", "lc_ctype=WIN1252"});
    EXPECT_EQ(Hex(built.Block), Hex(Bytes({1, 28, 1, 'u', 48, 7}) + "WIN1252"));
    ASSERT_TRUE(built.CharacterSet.has_value());
    EXPECT_EQ(*built.CharacterSet, QStringLiteral("WIN1252"));
    EXPECT_FALSE(BuildDatabaseParamBlock({"user_name=u"}).CharacterSet.has_value());

    EXPECT_EQ(CharacterSetCodePage(QStringLiteral("win1252")), 1252);
    EXPECT_EQ(CharacterSetCodePage(QStringLiteral("UTF8")), 65001);
    EXPECT_EQ(CharacterSetCodePage(QStringLiteral("NONE")), 0);
    EXPECT_EQ(CharacterSetCodePage(QStringLiteral("NO_SUCH_SET")), 0);
}

TEST(IBDpbBlockLength, ABlockBeyondTheSixteenBitLengthIsRefused)
{
    QStringList lines;
    for (int i = 0; i < 127; ++i)
        lines << "password=" + QString(255, u'x'); // 1 + 127 * 257 = 32640 bytes
    EXPECT_EQ(BuildDatabaseParamBlock(lines).Length, 32640);
    lines << "password=" + QString(200, u'x');
    try {
        BuildDatabaseParamBlock(lines);
        FAIL() << "nothing raised";
    } catch (const EIBClientError& e) {
        EXPECT_EQ(e.SQLCode(), 123);
    }
}

} // namespace
