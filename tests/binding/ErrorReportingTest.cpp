// Failures turned into exceptions: the message built from a failed call's
// status vector (the fake client library scripts the vector), the exception
// classes, the client error table, the search of the vector and text to
// integer conversion.

#include "BindingTestSupport.h"
#include "EightBitText.h"
#include "FakeClientControl.h"
#include "ibclient/Errors.h"
#include "ibclient/GdsLibrary.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

using namespace bindingtest;

namespace {

// Has the fake fail the next attach with the texts, makes the call through
// the binding and returns its status.
gds::Status FailedAttach(long sqlCode, const std::vector<fake::StatusText>& texts)
{
    fake::Fail("isc_attach_database", sqlCode, texts);
    gds::Handle handle = 0;
    const char name[] = "server:/db.fdb";
    return ClientLibrary().isc_attach_database(CurrentStatusVector(), sizeof name - 1, name, &handle, 0, nullptr);
}

struct TMessageCase {
    const char* what;
    std::vector<fake::StatusText> texts;
    QString expected;
};

// Names the case in test listings and failures.
void PrintTo(const TMessageCase& c, std::ostream* out)
{
    *out << c.what;
}

// A server text with accented letters, in the machine's 8-bit code page.
const QByteArray& AccentedText()
{
    static const QByteArray text = testtext::EightBit(QStringLiteral(u"Ação não permitida."));
    return text;
}

class BindingServerErrorMessage : public testing::TestWithParam<TMessageCase> { };

} // namespace

TEST_P(BindingServerErrorMessage, JoinsTheVectorsTexts)
{
    const TMessageCase& c = GetParam();
    THookRecorder hook;
    const gds::Status status = FailedAttach(-902, c.texts);
    ASSERT_EQ(status, c.texts.front().code);
    try {
        CheckStatus(status, true);
        FAIL() << "no exception";
    } catch (const EIBInterBaseError& e) {
        EXPECT_EQ(e.Message(), c.expected);
        EXPECT_EQ(e.SQLCode(), -902);
        EXPECT_EQ(e.IBErrorCode(), c.texts.front().code);
    }
    EXPECT_EQ(hook.Errors(), QStringList{QStringLiteral("-902 %1 ").arg(c.texts.front().code) + c.expected});
}

INSTANTIATE_TEST_SUITE_P(Cases, BindingServerErrorMessage,
    testing::Values(
        TMessageCase{"OneTextFinalStopRemoved", {{335544472, "Your user name and password are not defined."}},
            "Your user name and password are not defined"},
        TMessageCase{"TwoTextsJoinedByCrLf", {{335544344, "first"}, {335544734, "second."}}, "first\r\nsecond"},
        TMessageCase{"ThreeTexts", {{335544344, "a"}, {335544734, "b"}, {335544735, "c."}}, "a\r\nb\r\nc"},
        TMessageCase{"FirstEndsWithLineFeed", {{335544344, "first\n"}, {335544734, "second"}}, "first\nsecond"},
        TMessageCase{"OnlyTheLastStopGoes", {{335544344, "first."}, {335544734, "second."}}, "first.\r\nsecond"},
        TMessageCase{"TwoFinalStopsKeepOne", {{335544344, "ends in two.."}}, "ends in two."},
        TMessageCase{"NoText", {{335544344, ""}}, ""},
        TMessageCase{
            "EightBitTextDecoded", {{335544344, AccentedText().constData()}}, QStringLiteral(u"Ação não permitida")}),
    [](const testing::TestParamInfo<TMessageCase>& info) { return std::string(info.param.what); });

TEST(BindingServerError, RoleErrorIsNotAnInterBaseError)
{
    struct {
        long sqlCode;
        bool role;
    } const cases[] = {{-551, true}, {-552, false}, {-902, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sqlCode);
        bool asInterBase = false;
        bool asRole = false;
        try {
            try {
                CheckStatus(FailedAttach(c.sqlCode, {{335544352, "no permission for read/select access."}}), true);
            } catch (const EIBInterBaseError& e) {
                asInterBase = true;
                EXPECT_EQ(e.SQLCode(), c.sqlCode);
            }
        } catch (const EIBInterBaseRoleError& e) {
            asRole = true;
            EXPECT_EQ(e.SQLCode(), -551);
            EXPECT_EQ(e.IBErrorCode(), 335544352);
            EXPECT_EQ(e.Message(), QStringLiteral("no permission for read/select access"));
            // The application's handlers catch the family's base, and so see it.
            EXPECT_NE(dynamic_cast<const EIBError*>(&e), nullptr);
        }
        EXPECT_EQ(asRole, c.role);
        EXPECT_EQ(asInterBase, !c.role);
    }
}

TEST(BindingServerError, CallRaisesOnlyWhenAskedAndTheStatusIsPositive)
{
    struct {
        gds::Status status;
        bool raiseError;
        bool raises;
    } const cases[] = {{0, true, false}, {335544344, false, false}, {-1, true, false}, {335544344, true, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.status << " " << c.raiseError);
        const gds::Status status = FailedAttach(-902, {{335544344, "I/O error"}});
        ASSERT_EQ(status, 335544344);
        if (c.raises) {
            EXPECT_THROW(CheckStatus(c.status, c.raiseError), EIBInterBaseError);
        } else {
            EXPECT_EQ(CheckStatus(c.status, c.raiseError), c.status);
        }
    }
}

TEST(BindingStatusVector, BelongsToTheCallingThread)
{
    gds::Status* mine = CurrentStatusVector();
    mine[0] = 1;
    mine[1] = 335544344;
    const gds::Status* theirs = nullptr;
    bool theirsClean = false;
    std::thread([&] {
        theirs = CurrentStatusVector();
        theirsClean = std::all_of(theirs, theirs + gds::StatusLength, [](gds::Status w) { return w == 0; });
    }).join();
    EXPECT_NE(theirs, mine);
    EXPECT_TRUE(theirsClean);
    EXPECT_EQ(CurrentStatusVector()[1], 335544344);
}

TEST(BindingStatusVector, StatusHasCodeWalksTheClusters)
{
    static const char text[] = "text";
    const auto address = reinterpret_cast<gds::Status>(text);
    struct {
        const char* what;
        std::vector<gds::Status> vector;
        std::vector<gds::Status> codes;
        bool found;
    } const cases[] = {
        {"error code after a skipped string", {2, address, 1, 335544344, 0}, {335544344}, true},
        {"a string's address is not compared", {2, 335544344, 1, 7, 0}, {335544344}, false},
        {"a number is compared", {1, 335544344, 4, 42, 0}, {42}, true},
        {"one of several codes", {1, 5, 1, 7, 0}, {9, 7}, true},
        {"nothing after type 0", {1, 5, 0, 1, 7, 0}, {7}, false},
        {"a counted string carries two words", {3, 335544344, address, 1, 11, 0}, {11}, true},
        {"a counted string's length is not compared", {3, 335544344, address, 1, 11, 0}, {335544344}, false},
        {"an unknown type carries one word", {19, 335544344, 1, 11, 0}, {335544344}, false},
        {"all zero", {}, {335544344}, false},
        {"no type 0 within the vector", {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}, {335544344},
            false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        gds::Status* vector = CurrentStatusVector();
        std::fill(vector, vector + gds::StatusLength, 0);
        std::copy(c.vector.begin(), c.vector.end(), vector);
        bool found = false;
        if (c.codes.size() == 1)
            found = StatusHasCode({c.codes[0]});
        else
            found = StatusHasCode({c.codes[0], c.codes[1]});
        EXPECT_EQ(found, c.found);
    }
}

TEST(BindingClientError, RaisesTheTablesMessage)
{
    struct {
        int code;
        QStringList arguments;
        QString message;
    } const cases[] = {
        {114, {"User_Name "}, "DPB Constant (User_Name ) is unknown"},
        {1, {},
            "InterBase library gds32.dll not found in the path. Please install InterBase to use this functionality"},
        {3, {"isc_service_attach"},
            "isc_service_attach is an InterBase 6 function. Please upgrade to InterBase 6 to use this functonality"},
        {11, {"sql_role_name"}, "DPB Constant (isc_dpb_sql_role_name) is unsupported"},
        {16, {}, "Cannot perform operation -- DB is currently open"},
        {90, {}, "Cannot perform operation -- service is not attached"},
        {94, {}, "start Parameters missing or incorrect"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        THookRecorder hook;
        try {
            RaiseClientError(c.code, c.arguments);
        } catch (const EIBClientError& e) {
            EXPECT_EQ(e.Message(), c.message);
            EXPECT_EQ(e.SQLCode(), c.code);
            EXPECT_EQ(e.IBErrorCode(), 0);
            EXPECT_STREQ(e.what(), c.message.toUtf8().constData());
        }
        EXPECT_EQ(hook.Errors(), QStringList{c.message});
    }
}

TEST(BindingConversion, StrToInt)
{
    struct {
        QString text;
        int value;
    } const good[] = {{"  12", 12}, {"-5", -5}, {"+7", 7}, {"$1F", 31}, {"0x10", 16}, {"0X1f", 31}, {"-$10", -16},
        {"0", 0}, {"007", 7}, {"2147483647", INT32_MAX}, {"-2147483648", INT32_MIN}, {"$FFFFFFFF", -1}};
    for (const auto& c : good) {
        SCOPED_TRACE(c.text.toStdString());
        EXPECT_EQ(StrToInt(c.text), c.value);
    }
    const QString bad[] = {"abc", "12 ", "", "   ", "-", "$", "0x", "1 2", "12a", "- 5", "2147483648", "-2147483649",
        "$100000000", "99999999999999999999", "\xd9\xa3"};
    for (const QString& text : bad) {
        SCOPED_TRACE(text.toStdString());
        try {
            StrToInt(text);
            ADD_FAILURE() << "converted";
        } catch (const EConvertError& e) {
            EXPECT_EQ(e.Message(), QStringLiteral("''%1'' is not a valid integer value").arg(text));
        }
    }
}
