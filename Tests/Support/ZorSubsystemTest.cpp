#include "ZorSubsystemTest.h"

#include "Core/CommandLine.h"
#include "Core/Config.h"
#include "Core/GameThread.h"
#include "Core/Paths.h"

const char* const ZorTestIni = R"ini(
[OnlineSubsystemZor]
bEnabled=true

[OnlineSubsystemZor.BaseServiceZor]
Protocol=http
Domain=127.0.0.1:8080
GameName=TestGame
ServicePermissions=(Name=Client,Id=testclient,Key=testsecret)
ServicePermissions=(Name=PurchaseClient,Id=purchaseclient,Key=purchasesecret)

[OnlineSubsystemZor.AccountServiceZor]
ServiceName=account
)ini";

FZorSubsystemTest::FZorSubsystemTest()
    : PreviousOnlineVerbosity(LogOnline.GetVerbosity()), PreviousNetMode(GetHostNetMode())
{
    LogOnline.SetVerbosity(ELogVerbosity::VeryVerbose);
    FGameThread::SetCurrent(); // the test body runs the loop
    SetIni(ZorTestIni);
    SetCommandLine("");
    FPaths::SetProjectSavedDir(FString((SavedFolder.Path() / "Saved").string()));
}

void FZorSubsystemTest::TearDown()
{
    if (Subsystem)
    {
        Subsystem->Shutdown();
        Subsystem.Reset();
    }
}

FZorSubsystemTest::~FZorSubsystemTest()
{
    LogOnline.SetVerbosity(PreviousOnlineVerbosity);
    FPaths::SetProjectSavedDir(FString());
    SetHostNetMode(PreviousNetMode);
    SetCommandLine("");
    FServiceConfigZor::GetZorConfigurationDelegate().Unbind();
    FServiceConfigZor::GetZorConfigOverrideDelegate().Unbind();
    FOnlineIdentityZor::VerifyTokenInterval = 60.0;
    FOnlineIdentityZor::RefreshTokenTheshold = 100.0;
}

void FZorSubsystemTest::SetIni(const FString& Text)
{
    GConfig->LoadFromString(GEngineIni, Text);
}

void FZorSubsystemTest::SetCommandLine(const FString& Text)
{
    FCommandLine::Set(Text);
}

TSharedPtr<FOnlineSubsystemZor> FZorSubsystemTest::CreateSubsystem(const FName& InstanceName)
{
    Subsystem = MakeShared<FOnlineSubsystemZor>(InstanceName).ToSharedPtr();
    Subsystem->Init();
    return Subsystem;
}

void FZorSubsystemTest::Tick(int32 Count, float DeltaSeconds)
{
    for (int32 Index = 0; Index < Count; ++Index)
    {
        FHttpModule::Get().Tick(DeltaSeconds);
        if (Subsystem)
        {
            Subsystem->Tick(DeltaSeconds);
        }
    }
}

bool FZorSubsystemTest::PumpUntil(const TFunction<bool()>& Done)
{
    const auto Deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!Done())
    {
        if (std::chrono::steady_clock::now() > Deadline)
        {
            ADD_FAILURE() << "timed out waiting";
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        Tick();
    }
    return true;
}

int32 FZorSubsystemTest::NumStarted(const FString& Part)
{
    int32 Count = 0;
    for (const auto& Started : Http().GetStartedRequests())
    {
        Count += Started.URL.Contains(Part, ESearchCase::CaseSensitive) ? 1 : 0;
    }
    return Count;
}

FInMemoryHttpTransport::FStartedRequest FZorSubsystemTest::Oldest()
{
    FInMemoryHttpTransport::FStartedRequest Record;
    const FHttpRequestPtr Request = Http().FindOldestPending();
    EXPECT_TRUE(Request) << "no request waits for an answer";
    if (Request)
    {
        Http().FindStarted(Request, Record);
    }
    return Record;
}

void FZorSubsystemTest::RespondOldest(int32 Code, const FString& Body, const FString& ContentType)
{
    const FHttpRequestPtr Request = Http().FindOldestPending();
    ASSERT_TRUE(Request) << "no request waits for an answer";
    Http().Respond(Request, Code, Body, {}, ContentType);
}

FHttpRequestPtr FZorSubsystemTest::FindPending(const FString& Part)
{
    for (const auto& Started : Http().GetStartedRequests())
    {
        if (Started.State == FInMemoryHttpTransport::EState::Pending &&
            Started.URL.Contains(Part, ESearchCase::CaseSensitive))
        {
            return Started.Request;
        }
    }
    return nullptr;
}

FInMemoryHttpTransport::FStartedRequest FZorSubsystemTest::Record(const FHttpRequestPtr& Request)
{
    FInMemoryHttpTransport::FStartedRequest Found;
    EXPECT_TRUE(Http().FindStarted(Request, Found));
    return Found;
}

FString TokenReply(const FString& AccountId, double ExpiresIn, const FString& AccessToken,
                   const FString& ClientId)
{
    return FString::Printf(
        R"({"access_token":"%s","expires_in":%g,"token_type":"bearer","refresh_token":"refresh-1",)"
        R"("refresh_expires":28800,"account_id":"%s","client_id":"%s"})",
        *AccessToken, ExpiresIn, *AccountId, *ClientId);
}

void FZorSubsystemTest::Answer(const FString& Part, int32 Code, const FString& Body,
                               const FString& ContentType)
{
    const FHttpRequestPtr Request = FindPending(Part);
    ASSERT_TRUE(Request) << "no waiting request for " << *Part;
    Http().Respond(Request, Code, Body, {}, ContentType);
    Tick();
}

void FZorSubsystemTest::Deliver(const FString& Part, int32 Code, const FString& Body)
{
    const FHttpRequestPtr Request = FindPending(Part);
    ASSERT_TRUE(Request) << "no waiting request for " << *Part;
    Http().Respond(Request, Code, Body);
    FHttpModule::Get().Tick(0.0f);
}

void FZorSubsystemTest::LoginUser(const FString& AccountId, double ExpiresIn, double PurchaseExpiresIn)
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

TSharedPtr<FUserOnlineAccountZor> FZorSubsystemTest::InstallReadyUser(int32 LocalUserNum,
                                                                      const FString& AccountId,
                                                                      const FString& AccessToken,
                                                                      const FString& PurchaseToken)
{
    Identity().AddUserAccount(LocalUserNum, AccountId, AccessToken);
    const TSharedPtr<FUserOnlineAccountZor> Account =
        Identity().GetUserAccountZor(FUniqueNetIdString(AccountId));
    if (!Account)
    {
        return nullptr;
    }
    Account->UserToken.TokenState = EAuthTokenState::Valid;
    Account->UserToken.expires_in = 3600.0;
    Account->UserToken.TimeToVerify = 3600.0;
    if (!PurchaseToken.IsEmpty())
    {
        Account->PurchaseToken.access_token = PurchaseToken;
        Account->PurchaseToken.TokenState = EAuthTokenState::Valid;
        Account->PurchaseToken.expires_in = 3600.0;
    }
    return Account;
}

void FZorSubsystemTest::InstallUser(const FString& AccountId)
{
    Identity().AddUserAccount(0, AccountId, "access-" + AccountId);
    // The installed token's first check is answered (its completion comes with the next tick) and forgotten,
    // so tests see only their own requests.
    Http().Respond(FindPending("/api/oauth/verify"), 200,
                   FString::Printf(R"({"account_id":"%s","expires_in":3600})", *AccountId));
    Http().Reset();
    const TSharedPtr<FUserOnlineAccountZor> Account =
        Identity().GetUserAccountZor(FUniqueNetIdString(AccountId));
    ASSERT_TRUE(Account);
    Account->SetAttribute("displayName", "Player One");
    Account->UserToken.TokenState = EAuthTokenState::Valid;
    Account->UserToken.expires_in = 3600.0;
    Account->UserToken.refresh_expires = 7200.0;
    Account->UserToken.TimeToVerify = 3600.0;
}
