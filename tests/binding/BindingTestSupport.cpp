#include "BindingTestSupport.h"

#include "ibclient/Errors.h"

#include <gtest/gtest.h>

#include <cstring>

namespace bindingtest {

void* ZeroArea()
{
    alignas(16) static unsigned char area[65536];
    std::memset(area, 0, sizeof area);
    return area;
}

const std::vector<TFunction>& Functions()
{
    // clang-format off
    static const std::vector<TFunction> functions = {
#define GDS_ENTRY(group, name) {#name, TGroup::group, [](IGDSLibrary& l) { CallWithZeros(&IGDSLibrary::name, l); }},
#define GDS_REQUIRED(result, name, params, args) GDS_ENTRY(Required, name)
#define GDS_V6(result, name, params, args) GDS_ENTRY(Version6, name)
#define GDS_VERSION(result, name, params, args) GDS_ENTRY(VersionQuery, name)
#define GDS_V7(result, name, params, args) GDS_ENTRY(Version70, name)
#define GDS_V71(result, name, params, args) GDS_ENTRY(Version71, name)
#define GDS_V80(result, name, params, args) GDS_ENTRY(Version80, name)
#define GDS_XML(result, name, params, args) GDS_ENTRY(Xml, name)
#include "ibclient/GdsFunctions.inc"
#undef GDS_ENTRY
    };
    // clang-format on
    return functions;
}

QString SubstituteMessage(TGroup group, const QString& name)
{
    switch (group) {
    case TGroup::Version6:
        return name + " is an InterBase 6 function. Please upgrade to InterBase 6 to use this functonality";
    case TGroup::VersionQuery:
    case TGroup::Version70:
        return name + "  is an InterBase 7.0 function. Please upgrade to InterBase 7.0 to use this functonality";
    case TGroup::Version71:
        return name + "  is an InterBase 7.1 function. Please upgrade to InterBase 7.1 to use this functonality";
    case TGroup::Version80:
        return name + " is an InterBase 2007 function. Please upgrade to InterBase 2007 to use this functonality";
    case TGroup::Xml:
        return name + "  is an InterBase 6.5 function. Please upgrade to InterBase 6.5 to use this functonality";
    case TGroup::Required:
        break;
    }
    return QString();
}

int SubstituteSQLCode(TGroup group)
{
    return group == TGroup::Version6 ? 3 : 0;
}

void ExpectSubstitutes(const std::set<TGroup>& groups)
{
    ASSERT_FALSE(groups.count(TGroup::Required));
    int checked = 0;
    for (const TFunction& function : Functions()) {
        if (!groups.count(function.group))
            continue;
        SCOPED_TRACE(function.name);
        THookRecorder hook;
        const QString expected = SubstituteMessage(function.group, QString::fromLatin1(function.name));
        try {
            function.call(ClientLibrary());
            ADD_FAILURE() << "no exception";
        } catch (const EIBClientError& e) {
            EXPECT_EQ(e.Message(), expected);
            EXPECT_EQ(e.SQLCode(), SubstituteSQLCode(function.group));
            EXPECT_EQ(e.IBErrorCode(), 0);
        }
        // Only the version-6 group goes through the client error table and the hook.
        if (function.group == TGroup::Version6)
            EXPECT_EQ(hook.Errors(), QStringList{expected});
        else
            EXPECT_TRUE(hook.Errors().isEmpty()) << hook.Errors().join(u'|').toStdString();
        ++checked;
    }
    EXPECT_GT(checked, 0);
}

class TRecordingHook final : public IIBSQLMonitorHook {
public:
    void SendError(const QString& msg) override { errors.append(msg); }

    QStringList errors;
};

THookRecorder::THookRecorder()
{
    auto hook = std::make_unique<TRecordingHook>();
    FHook = hook.get();
    FPrevious = ReplaceMonitorHook(std::move(hook));
}

THookRecorder::~THookRecorder()
{
    ReplaceMonitorHook(std::move(FPrevious));
}

const QStringList& THookRecorder::Errors() const
{
    return FHook->errors;
}

void THookRecorder::Clear()
{
    FHook->errors.clear();
}

} // namespace bindingtest
