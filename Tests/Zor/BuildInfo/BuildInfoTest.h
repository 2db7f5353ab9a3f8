#pragma once

#include "BuildInfo/OnlineBuildInfoServiceZor.h"
#include "BuildInfo/OnlineBuildInfoServiceZorV2.h"
#include "ZorSubsystemTest.h"

/** One completion of either build-information service, as its event gave it. */
struct FBuildEvent
{
    FString Kind;
    FString UserId;
    bool bWasSuccessful = false;
    FString Error;
};

/** Both build-information services with local user "acct1" signed in and every event recorded. */
class FBuildInfoTest : public FZorSubsystemTest
{
protected:
    void SetUp() override { Start(ZorTestIni); }

    /** A fresh subsystem from Ini, the user installed and the events bound. */
    void Start(const FString& Ini)
    {
        if (Subsystem)
        {
            Subsystem->Shutdown();
        }
        SetIni(Ini);
        CreateSubsystem();
        InstallUser("acct1");
        V1 = Subsystem->GetZorBuildInfoService();
        V2 = Subsystem->GetZorBuildInfoServiceV2();
        ASSERT_TRUE(V1 && V2);
        Events.Empty();
        V1->AddOnQueryEntitledBuildsCompleteDelegate(FOnQueryEntitledBuildsCompleteDelegate::CreateLambda(
            [this](const FUniqueNetId& UserId, bool bOk, const FString& Error) {
                Events.Add({"entitled", UserId.ToString(), bOk, Error});
            }));
        V1->AddOnQuerySelfPatchBuildCompleteDelegate(FOnQuerySelfPatchBuildCompleteDelegate::CreateLambda(
            [this](bool bOk, const FString& Error) {
                Events.Add({"selfpatch", "", bOk, Error});
            }));
        V2->AddOnQueryEntitledBuildsCompleteDelegate(FOnQueryEntitledBuildsCompleteDelegate::CreateLambda(
            [this](const FUniqueNetId& UserId, bool bOk, const FString& Error) {
                Events.Add({"entitled2", UserId.ToString(), bOk, Error});
            }));
        V2->AddOnQuerySignedDownloadCompleteDelegate(FOnQuerySignedDownloadCompleteDelegate::CreateLambda(
            [this](const FUniqueNetId& UserId, const FOnlineBuildInfoV2& Build, bool bOk,
                   const FString& Error) {
                Events.Add({"download2:" + Build.AppName, UserId.ToString(), bOk, Error});
            }));
        V2->AddOnQuerySelfPatchBuildCompleteDelegate(FOnQuerySelfPatchBuildCompleteDelegate::CreateLambda(
            [this](bool bOk, const FString& Error) {
                Events.Add({"selfpatch2", "", bOk, Error});
            }));
    }

    /** A second signed-in user, as local user 1, beside "acct1"; call it before any request is in flight. */
    void InstallSecondUser(const FString& AccountId)
    {
        ASSERT_TRUE(InstallReadyUser(1, AccountId, "access-" + AccountId));
        Http().Reset();
    }

    /** Gives the application client its token, so requests on the client road go out. */
    void SignInClient()
    {
        Answer("/api/oauth/token", 200, TokenReply("", 3600, "client-token"));
        Tick();
    }

    /** Lets the roads send, then answers the waiting request whose URL contains Part; the last event. */
    FBuildEvent SendAndAnswer(const FString& Part, int32 Code, const FString& Body)
    {
        Tick();
        Events.Empty();
        Answer(Part, Code, Body);
        EXPECT_EQ(Events.Num(), 1);
        return Events.IsEmpty() ? FBuildEvent() : Events.Last();
    }

    /** Lets the roads send, then ends the waiting request whose URL contains Part without a response. */
    FBuildEvent SendAndFail(const FString& Part)
    {
        Tick();
        Events.Empty();
        const FHttpRequestPtr Request = FindPending(Part);
        EXPECT_TRUE(Request && Http().Fail(Request));
        Tick();
        EXPECT_EQ(Events.Num(), 1);
        return Events.IsEmpty() ? FBuildEvent() : Events.Last();
    }

    /** The URL of the waiting request whose URL contains Part, after letting the roads send. */
    FString SentUrl(const FString& Part)
    {
        Tick();
        const FHttpRequestPtr Request = FindPending(Part);
        return Request ? Record(Request).URL : FString("<none>");
    }

    TSharedPtr<FOnlineBuildInfoServiceZor> V1;
    TSharedPtr<FOnlineBuildInfoServiceZorV2> V2;
    TArray<FBuildEvent> Events;
};
