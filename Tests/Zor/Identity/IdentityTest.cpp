#include "IdentityTest.h"

FString TokenReply(const FString& AccountId, double ExpiresIn, const FString& AccessToken,
                   const FString& ClientId)
{
    return FString::Printf(
        R"({"access_token":"%s","expires_in":%g,"token_type":"bearer","refresh_token":"refresh-1",)"
        R"("refresh_expires":28800,"account_id":"%s","client_id":"%s"})",
        *AccessToken, ExpiresIn, *AccountId, *ClientId);
}

void FIdentityTest::Answer(const FString& Part, int32 Code, const FString& Body, const FString& ContentType)
{
    const FHttpRequestPtr Request = FindPending(Part);
    ASSERT_TRUE(Request) << "no waiting request for " << *Part;
    Http().Respond(Request, Code, Body, {}, ContentType);
    Tick();
}

void FIdentityTest::Deliver(const FString& Part, int32 Code, const FString& Body)
{
    const FHttpRequestPtr Request = FindPending(Part);
    ASSERT_TRUE(Request) << "no waiting request for " << *Part;
    Http().Respond(Request, Code, Body);
    FHttpModule::Get().Tick(0.0f);
}

void FIdentityTest::LoginUser(const FString& AccountId, double ExpiresIn, double PurchaseExpiresIn)
{
    ASSERT_TRUE(Identity().Login(0, FOnlineAccountCredentials("tavo", "user@example.com", "pw")));
    Answer("/api/oauth/token", 200, TokenReply(AccountId, ExpiresIn));
    Answer("/api/public/account/", 200,
           FString::Printf(R"({"id":"%s","displayName":"Player One","name":"Real Name"})", *AccountId));
    if (PurchaseExpiresIn >= 0.0)
    {
        Answer("/api/oauth/token", 200,
               TokenReply(AccountId, PurchaseExpiresIn, "purchase-1", "purchaseclient"));
    }
}
