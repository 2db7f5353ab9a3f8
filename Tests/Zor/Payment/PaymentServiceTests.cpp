#include "Payment/OnlinePaymentServiceZor.h"
#include "ZorRows.h"
#include "ZorSubsystemTest.h"

namespace
{
/** Payment for logged-in user acct1, every event recorded. */
class FPaymentTest : public FZorSubsystemTest
{
protected:
    FPaymentTest()
    {
        CreateSubsystem();
        Payment = Subsystem->GetZorPaymentService();
        Payment->AddOnQueryBillingAccountsCompleteDelegate(
            FOnQueryBillingAccountsCompleteDelegate::CreateLambda(
                [this](bool bOk, const FUniqueNetId& UserId, const FString& Error)
                { Events.Add(FString::Printf("all:%d:%s:%s", bOk, *UserId.ToString(), *Error)); }));
        Payment->AddOnQueryDefaultBillingAccountCompleteDelegate(
            FOnQueryDefaultBillingAccountCompleteDelegate::CreateLambda(
                [this](bool bOk, const FUniqueNetId& UserId, const FString& Error)
                { Events.Add(FString::Printf("default:%d:%s:%s", bOk, *UserId.ToString(), *Error)); }));
    }

    /** Queries the default account of acct1 and answers it. */
    void ReadDefault(int32 Code, const FString& Body)
    {
        ASSERT_TRUE(Payment->QueryDefaultBillingAccount(User));
        Tick();
        Answer("/billingaccounts/default", Code, Body);
    }

    TArray<FString> Names() const
    {
        TArray<TSharedPtr<FOnlineBillingAccount>> Accounts;
        Payment->GetBillingAccounts(User, Accounts);
        TArray<FString> Result;
        for (const auto& Account : Accounts)
        {
            Result.Add(Account->billingAccountName.ToString() + (Account->bIsDefault ? "*" : ""));
        }
        return Result;
    }

    const FUniqueNetIdString User{"acct1"};
    TSharedPtr<FOnlinePaymentServiceZor> Payment;
    TArray<FString> Events;
};

TEST_F(FPaymentTest, QueriesGoOnTheirRoadsWithTheirTokens)
{
    LoginUser("acct1", 3600.0, -1.0); // no purchase token
    EXPECT_FALSE(Payment->QueryBillingAccounts(User));
    EXPECT_EQ(Events.Last(),
              FString("all:0:acct1:Invalid user purchase auth for id=acct1. Need to login first"));
    EXPECT_TRUE(
        Log.Contains(ELogVerbosity::Warning, "QueryBillingAccounts request failed. Invalid user purchase"));

    ASSERT_TRUE(Payment->QueryDefaultBillingAccount(User));
    Tick();
    const auto Sent = Record(FindPending("/billingaccounts/default"));
    EXPECT_EXACT_EQ(
        Sent.URL, FString("http://127.0.0.1:8080/api/public/payment/accounts/acct1/billingaccounts/default"));
    EXPECT_EQ(ZorExact::Header(Sent, "Authorization"), FString("bearer access-1"));
    EXPECT_EQ(Sent.Verb, FString("GET"));
}

TEST_F(FPaymentTest, OneRequestPerUserWhateverItsKindAndTheUserIdCaseCounts)
{
    LoginUser();
    ASSERT_TRUE(Payment->QueryBillingAccounts(User));
    EXPECT_FALSE(Payment->QueryDefaultBillingAccount(User));
    EXPECT_EQ(Events.Last(), FString("default:0:acct1:Already pending for user=acct1"));
    EXPECT_FALSE(Payment->QueryBillingAccounts(User));
    EXPECT_EQ(Events.Last(), FString("all:0:acct1:Already pending for user=acct1"));
    EXPECT_TRUE(Payment->QueryDefaultBillingAccount(FUniqueNetIdString("ACCT1")));
    EXPECT_FALSE(Payment->QueryDefaultBillingAccount(FUniqueNetIdString("")));
    EXPECT_EQ(Events.Last(), FString("default:0::Invalid userid"));

    const auto Sent = Record(FindPending("/acct1/billingaccounts"));
    EXPECT_EQ(ZorExact::Header(Sent, "Authorization"), FString("bearer purchase-1"));
    Answer("/acct1/billingaccounts", 200, R"({"billingAccountName":"Card"})");
    EXPECT_EQ(Events.Last(), FString("all:1:acct1:"));
    TArray<TSharedPtr<FOnlineBillingAccount>> Accounts;
    EXPECT_FALSE(Payment->GetBillingAccounts(User, Accounts));
    EXPECT_TRUE(Payment->QueryDefaultBillingAccount(User));
}

TEST_F(FPaymentTest, DefaultRepliesMergeByNameAndOnlyTheLastIsMarked)
{
    LoginUser();
    ReadDefault(200, R"({"billingAccountName":"Visa","country":"DE"})");
    ReadDefault(200, R"({"billingAccountName":"Wallet"})");
    EXPECT_EQ(Names(), TArray<FString>({"Visa", "Wallet*"}));
    ReadDefault(200, R"({"billingAccountName":"VISA","country":"FR"})");
    EXPECT_EQ(Names(), TArray<FString>({"VISA*", "Wallet"}));
    EXPECT_EQ(Payment->GetDefaultBillingAccount(User)->country, FString("FR"));
    EXPECT_EQ(Events.Last(), FString("default:1:acct1:"));
}

namespace
{
struct FAFailedReplyLeavesTheAccountsAsTheyWereRow
{
    int32 Code;
    const char* Body;
    const char* Event;
};
const FAFailedReplyLeavesTheAccountsAsTheyWereRow AFailedReplyLeavesTheAccountsAsTheyWereRows[] = {
    {503, "busy", "default:0:acct1:Invalid response. code=503 error=busy"},
    {200, "[1]", "default:0:acct1:Invalid response payload"},
    {200, "not json", "default:0:acct1:Invalid response payload"},
};

using FPaymentTestAFailedReplyLeavesTheAccountsAsTheyWere = TZorRows<FPaymentTest>;
} // namespace

TEST_P(FPaymentTestAFailedReplyLeavesTheAccountsAsTheyWere, AFailedReplyLeavesTheAccountsAsTheyWere)
{
    LoginUser();
    ReadDefault(200, R"({"billingAccountName":"Visa"})");
    const FAFailedReplyLeavesTheAccountsAsTheyWereRow& Case =
        AFailedReplyLeavesTheAccountsAsTheyWereRows[GetParam()];
    ASSERT_TRUE(Payment->QueryDefaultBillingAccount(User));
    Tick();
    Answer("/billingaccounts/default", Case.Code, Case.Body, "text/plain");
    EXPECT_EQ(Events.Last(), FString(Case.Event)) << Case.Body;
    EXPECT_EQ(Names(), TArray<FString>({"Visa*"})) << Case.Body;
}

INSTANTIATE_TEST_SUITE_P(Rows, FPaymentTestAFailedReplyLeavesTheAccountsAsTheyWere,
                         ::testing::Range(size_t{0}, std::size(AFailedReplyLeavesTheAccountsAsTheyWereRows)));

TEST_F(FPaymentTest, ShutdownReportsThePendingQueryOnceAndIgnoresItsLateReply)
{
    LoginUser();
    ASSERT_TRUE(Payment->QueryBillingAccounts(User));
    const TSharedPtr<FOnlinePaymentServiceZor> Held = Payment;
    const FHttpRequestPtr Pending = FindPending("/billingaccounts");
    Subsystem->Shutdown();
    EXPECT_EQ(FString::Join(Events, ","), FString("all:0:acct1:No response"));
    Http().Respond(Pending, 200, "{}");
    Tick(2);
    EXPECT_EQ(Events.Num(), 1);
    EXPECT_FALSE(Held->QueryDefaultBillingAccount(User));
    EXPECT_EQ(Events.Last(), FString("default:0:acct1:No response"));
    EXPECT_FALSE(Subsystem->GetZorPaymentService());
}
} // namespace
