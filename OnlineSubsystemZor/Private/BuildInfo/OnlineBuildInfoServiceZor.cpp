#include "BuildInfo/OnlineBuildInfoServiceZor.h"

#include "BuildInfo/ZorBuildList.h"
#include "Common/ZorCallSet.h"
#include "Core/Config.h"
#include "Subsystem/OnlineSubsystemZor.h"

namespace
{
const char* const SectionName = "OnlineSubsystemZor.OnlineBuildInfoZor";
const char* const EntitledOperation = "QueryEntitledBuilds";
const char* const SelfPatchOperation = "QuerySelfPatchBuild";

FString PendingKey(const FUniqueNetId& UserId)
{
    return FString(EntitledOperation) + ":" + UserId.ToString();
}
} // namespace

FOnlineBuildInfoServiceZor::FOnlineBuildInfoServiceZor(FOnlineSubsystemZor* InSubsystem)
    : FGameServiceZor(InSubsystem, SectionName)
{
    GConfig->GetString(SectionName, "QueryEntitledBuildsUrl", QueryEntitledBuildsUrl, GEngineIni);
    GConfig->GetString(SectionName, "QuerySelfPatchBuildUrl", QuerySelfPatchBuildUrl, GEngineIni);
}

bool FOnlineBuildInfoServiceZor::QueryEntitledBuilds(const FUniqueNetId& UserId, const FString& Label,
                                                     const FString& Platform)
{
    FZorError Error;
    if (!UserId.IsValid())
    {
        Error = FZorError::Make(EZorErrorKind::Refused, "Invalid userid");
    }
    else if (GetCalls().IsPending(PendingKey(UserId), ESearchCase::CaseSensitive))
    {
        Error = FZorError::Make(EZorErrorKind::Refused,
                                FString::Printf("Already pending for user=%s", *UserId.ToDebugString()));
    }
    else
    {
        FZorCall Call;
        Call.Operation = EntitledOperation;
        Call.Url = GetBaseUrl() + QueryEntitledBuildsUrl;
        Call.Values = {{"`label", Label}, {"`platform", Platform}};
        Call.PendingKey = PendingKey(UserId);
        const FUniqueNetIdString User(UserId);
        if (GetCalls().SendAsUser(
                Call, UserId,
                [this, User](FZorReply& Reply) { QueryEntitledBuilds_HttpRequestComplete(Reply, User); },
                Error))
        {
            return true;
        }
        if (!Error)
        {
            return false;
        }
    }
    UE_LOG_ONLINE(Warning, "%s request failed. %s", EntitledOperation, *Error.Text);
    TriggerOnQueryEntitledBuildsCompleteDelegates(UserId, false, Error.Text);
    return false;
}

void FOnlineBuildInfoServiceZor::QueryEntitledBuilds_HttpRequestComplete(FZorReply& Reply,
                                                                         const FUniqueNetIdString& UserId)
{
    TSharedPtr<FJsonObject> Answer;
    if (Reply.Check() && Reply.ReadObject(Answer, ZorBuildList::AnswerKey))
    {
        TArray<TSharedRef<FOnlineBuildInfo>>& Builds = EntitledBuilds.FindOrAdd(UserId.ToString());
        const TArray<TSharedPtr<FJsonValue>>* Elements = nullptr;
        // Anything but a list leaves the builds of the last list answer in place.
        if (Answer->TryGetArrayField(ZorBuildList::AnswerKey, Elements))
        {
            Builds = ZorBuildList::Read<FOnlineBuildInfo>(*Elements);
        }
    }
    Reply.Finish();
    TriggerOnQueryEntitledBuildsCompleteDelegates(UserId, Reply.Succeeded(), Reply.GetErrorText());
}

bool FOnlineBuildInfoServiceZor::GetEntitledBuilds(const FUniqueNetId& UserId,
                                                   TArray<TSharedRef<FOnlineBuildInfo>>& OutBuilds)
{
    OutBuilds.Empty();
    const TArray<TSharedRef<FOnlineBuildInfo>>* Builds = EntitledBuilds.Find(UserId.ToString());
    if (!Builds)
    {
        return false;
    }
    OutBuilds.Append(*Builds);
    return true;
}

bool FOnlineBuildInfoServiceZor::QuerySelfPatchBuild(const FString& Label, const FString& Platform)
{
    FZorCall Call;
    Call.Operation = SelfPatchOperation;
    Call.Url = GetBaseUrl() + QuerySelfPatchBuildUrl;
    Call.Values = {{"`label", Label}, {"`platform", Platform}};
    FZorError Error;
    if (GetCalls().SendAsClient(
            Call, GetSubsystemAppId(),
            [this](FZorReply& Reply) { QuerySelfPatchBuild_HttpRequestComplete(Reply); }, Error))
    {
        return true;
    }
    if (Error)
    {
        UE_LOG_ONLINE(Warning, "%s request failed. %s", SelfPatchOperation, *Error.Text);
        TriggerOnQuerySelfPatchBuildCompleteDelegates(false, Error.Text);
    }
    return false;
}

void FOnlineBuildInfoServiceZor::QuerySelfPatchBuild_HttpRequestComplete(FZorReply& Reply)
{
    if (Reply.Check())
    {
        // A fresh record each time: lists never pile up across answers and no field outlives its answer.
        FOnlineBuildInfo Build;
        TSharedPtr<FJsonObject> Answer;
        if (Reply.GetBody().IsEmpty() || (Reply.ReadObject(Answer) && Build.FromJson(Answer)))
        {
            SelfPatchBuild = Build;
        }
    }
    Reply.Finish();
    TriggerOnQuerySelfPatchBuildCompleteDelegates(Reply.Succeeded(), Reply.GetErrorText());
}
