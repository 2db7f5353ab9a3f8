#include "ProfileTest.h"

#include "Core/Config.h"

IMPLEMENT_OBJECT_CLASS(UTestProfile, "/Script/ProfileTests", CLASS_None)
IMPLEMENT_OBJECT_CLASS(UTestAwareItem, "/Script/ProfileTests", CLASS_None)
IMPLEMENT_OBJECT_CLASS(UTestPlainItem, "/Script/ProfileTests", CLASS_None)

bool UTestAwareItem::bAcceptPopulate = true;
bool UTestAwareItem::bAcceptAttribute = true;

bool UTestAwareItem::PopulateFromItem(FZorItem& Item)
{
    ++Populated;
    PopulatedTemplate = Item.TemplateId;
    return bAcceptPopulate;
}

bool UTestAwareItem::OnAttributeChanged(const FString& AttributeName, const TSharedPtr<FJsonValue>& NewValue,
                                        int64)
{
    ChangedAttributes.Add(AttributeName);
    ChangedValuePresent.Add(NewValue.IsValid());
    return bAcceptAttribute;
}

bool UTestAwareItem::OnQuantityChanged(int32 NewQuantity)
{
    Quantities.Add(NewQuantity);
    return true;
}

const char* const ProfileTestIni = R"ini(
[OnlineSubsystemZor]
bEnabled=true

[OnlineSubsystemZor.BaseServiceZor]
Protocol=http
Domain=127.0.0.1:8080
GameName=TestGame
ServicePermissions=(Name=Client,Id=testclient,Key=testsecret)
ServicePermissions=(Name=DedicatedServer,Id=serverclient,Key=serversecret)
ServicePermissions=(Name=Cheater,Id=cheatclient,Key=cheatsecret)

[OnlineSubsystemZor.AccountServiceZor]
ServiceName=account

[OnlineSubsystemZor.ZorProfile]
ZorClientCommandUrl=/game/client/`accountId/`profileId/`fname
ZorDedicatedServerCommandUrl=/game/server/`accountId/`profileId/`fname
ZorCheatCommandUrl=/game/cheat/`accountId/`fname?force=true
)ini";

FProfileTest::FProfileTest() : PreviousGameVerbosity(LogOnlineGame.GetVerbosity())
{
    LogOnlineGame.SetVerbosity(ELogVerbosity::VeryVerbose);
    UTestAwareItem::bAcceptPopulate = true;
    UTestAwareItem::bAcceptAttribute = true;
    SetIni(ProfileTestIni);
    CreateSubsystem();
    InstallUser();
    Profile = NewProfile();
}

FProfileTest::~FProfileTest()
{
    if (Profile)
    {
        Profile->RemoveFromRoot();
    }
    CollectGarbage();
    LogOnlineGame.SetVerbosity(PreviousGameVerbosity);
}

void FProfileTest::RestartSubsystem(const FString& Ini)
{
    Subsystem->Shutdown();
    SetIni(Ini);
    CreateSubsystem();
    InstallUser();
    Profile->Initialize(Subsystem.Get(), Profile->GetGameAccountId(), true);
}

UTestProfile* FProfileTest::NewProfile(const FString& AccountId, bool bLocal)
{
    UTestProfile* Created = NewObject<UTestProfile>();
    Created->AddToRoot();
    const FUniqueNetIdPtr Id =
        AccountId.IsEmpty() ? nullptr : MakeShared<FUniqueNetIdString>(AccountId).ToSharedPtr();
    Created->Initialize(Subsystem.Get(), Id, bLocal);
    return Created;
}

void FProfileTest::Answer(int32 Code, const FString& Body, TMap<FString, FString> Headers,
                          const FString& ContentType)
{
    const FHttpRequestPtr Request = FindPending();
    ASSERT_TRUE(Request) << "no command waits for an answer";
    Http().Respond(Request, Code, Body, std::move(Headers), ContentType);
    Tick();
}

void FProfileTest::GrantClientToken(const FString& ClientId)
{
    const FHttpRequestPtr Grant = FindPending("/api/oauth/token");
    ASSERT_TRUE(Grant) << "no client grant waits";
    Http().Respond(
        Grant, 200,
        FString::Printf(R"({"access_token":"client-token","expires_in":3600,"token_type":"bearer",)"
                        R"("client_id":"%s"})",
                        *ClientId));
    Tick(2);
}

FOnZorQueryComplete FProfileTest::Collect()
{
    return FOnZorQueryComplete::CreateLambda([this](const FZorQueryResult& Result) { Results.Add(Result); });
}

TSharedPtr<FJsonObject> FProfileTest::Parse(const FString& Json)
{
    TSharedPtr<FJsonObject> Object;
    EXPECT_TRUE(FJsonSerializer::Deserialize(TJsonReaderFactory<>::Create(Json), Object)) << *Json;
    return Object;
}

FZorQueryResult FProfileTest::Apply(const FString& ResponseJson)
{
    FZorQueryResult Result;
    Result.bSucceeded = true;
    if (const TSharedPtr<FJsonObject> Response = Parse(ResponseJson))
    {
        Profile->HandleZorResponse(Response, Result);
    }
    return Result;
}
