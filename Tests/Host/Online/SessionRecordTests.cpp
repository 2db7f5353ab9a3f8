#include <gtest/gtest.h>

#include "Online/OnlineSessionSettings.h"
#include "Sockets/InternetAddr.h"

namespace
{
struct FVariantCase
{
    FVariantData Data;
    EOnlineKeyValuePairDataType Type;
    const char* Text;
};

const FVariantCase VariantCases[] = {
    {FVariantData(int32(-7)), EOnlineKeyValuePairDataType::Int32, "-7"},
    {FVariantData(int64(1) << 40), EOnlineKeyValuePairDataType::Int64, "1099511627776"},
    {FVariantData(0.5f), EOnlineKeyValuePairDataType::Float, "0.5"},
    {FVariantData(2.25), EOnlineKeyValuePairDataType::Double, "2.25"},
    {FVariantData(true), EOnlineKeyValuePairDataType::Bool, "true"},
    {FVariantData("map"), EOnlineKeyValuePairDataType::String, "map"},
    {FVariantData(), EOnlineKeyValuePairDataType::Empty, ""},
};

using FVariantDataValueTest = ::testing::TestWithParam<size_t>;
} // namespace

TEST_P(FVariantDataValueTest, ValuesKeepTheirTypeAndRefuseOthers)
{
    const FVariantCase& Case = VariantCases[GetParam()];
    EXPECT_EQ(Case.Data.GetType(), Case.Type) << Case.Text;
    EXPECT_EQ(Case.Data.ToString(), FString(Case.Text));
    int32 Int = 99;
    bool Bool = false;
    FString Text = "untouched";
    EXPECT_EQ(Case.Data.GetValue(Int), Case.Type == EOnlineKeyValuePairDataType::Int32) << Case.Text;
    EXPECT_EQ(Case.Data.GetValue(Bool), Case.Type == EOnlineKeyValuePairDataType::Bool) << Case.Text;
    EXPECT_EQ(Case.Data.GetValue(Text), Case.Type == EOnlineKeyValuePairDataType::String) << Case.Text;
    if (Case.Type != EOnlineKeyValuePairDataType::Int32)
    {
        EXPECT_EQ(Int, 99) << Case.Text;
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, FVariantDataValueTest, ::testing::Range(size_t{0}, std::size(VariantCases)));

TEST(VariantDataTest, EqualOnlyWithTheSameTypeAndValue)
{
    // Equal only with the same type and value: 1 and true differ.
    EXPECT_EQ(FVariantData(1), FVariantData(1));
    EXPECT_NE(FVariantData(1), FVariantData(true));
    EXPECT_NE(FVariantData("A"), FVariantData("a"));
}

namespace
{
struct FAddressCase
{
    const char* Text;
    bool bValid;
    const char* Expected;
};

const FAddressCase AddressCases[] = {
    {"127.0.0.1", true, "127.0.0.1:0"},
    {"10.1.2.3:7777", true, "10.1.2.3:7777"},
    {"255.255.255.255", true, "255.255.255.255:0"},
    {"256.0.0.1", false, ""},
    {"2130706433", false, ""},
    {"", false, ""},
    {"::1", false, ""},
    {"1.2.3.4:99999", true, "1.2.3.4:0"},
};

using FInternetAddrTextTest = ::testing::TestWithParam<size_t>;
} // namespace

TEST_P(FInternetAddrTextTest, ReadsDottedTextOnly)
{
    const FAddressCase& Case = AddressCases[GetParam()];
    FInternetAddr Addr;
    bool bValid = false;
    Addr.SetIp(Case.Text, bValid);
    EXPECT_EQ(bValid, Case.bValid) << Case.Text;
    EXPECT_EQ(Addr.IsValid() ? Addr.ToString(true) : FString(), FString(Case.Expected)) << Case.Text;
}

INSTANTIATE_TEST_SUITE_P(Rows, FInternetAddrTextTest, ::testing::Range(size_t{0}, std::size(AddressCases)));

TEST(InternetAddrTest, AZeroAddressIsInvalid)
{
    EXPECT_FALSE(FInternetAddr(0, 7777).IsValid());
}

TEST(SessionSettingsTest, TextsNameStatesAndSettings)
{
    EXPECT_STREQ(ToString(EOnlineSessionState::InProgress), "InProgress");
    EXPECT_STREQ(ToString(EOnlineSessionState::Destroying), "Destroying");
    FOnlineSessionSettings Settings;
    Settings.Set("MAXPING", 50, EOnlineDataAdvertisementType::ViaOnlineService);
    EXPECT_EQ(Settings.Settings.Find("maxping")->ToString(), "50 :OnlineService");
    FOnlineSearchSettings Query;
    Query.Set("MODE", FString("ctf"), EOnlineComparisonOp::Near);
    EXPECT_EQ(Query.SearchParams.Find("MODE")->ToString(), "Value=ctf : Near");
    FOnlineSessionSearch Search;
    for (const int32 Ping : {30, 10, 30, 20})
    {
        Search.SearchResults.AddDefaulted_GetRef().PingInMs = Ping;
    }
    Search.SearchResults[0].Session.OwningUserName = "first thirty";
    Search.SortSearchResults();
    EXPECT_EQ(Search.SearchResults[0].PingInMs, 10);
    EXPECT_EQ(Search.SearchResults[2].Session.OwningUserName, "first thirty");
}
