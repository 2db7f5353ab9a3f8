#include "BuildInfo/OnlineBuildInfoServiceZorV2.h"

#include "BuildInfo/ZorBuildList.h"
#include "Common/ZorCallSet.h"
#include "Core/Config.h"
#include "Subsystem/OnlineSubsystemZor.h"

namespace
{
const char* const SectionName = "OnlineSubsystemZor.OnlineBuildInfoZorV2";
const char* const EntitledOperation = "QueryEntitledBuilds";
const char* const DownloadStartOperation = "QuerySignedDownload";
// The download's completion has always named itself so; log scanners rely on it.
const char* const DownloadOperation = "QueryDownloadInfo";
const char* const SelfPatchOperation = "QuerySelfPatchBuild";

FOnlineBuildInfoV2 MakeQuery(const FString& Platform, const FString& Label, const FString& SubLabel)
{
    FOnlineBuildInfoV2 Query;
    Query.Platform = Platform;
    Query.Label = Label;
    Query.SubLabel = SubLabel;
    return Query;
}

/** The query's platform, label and sub label on a record read from an answer. */
void TakeQuery(FOnlineBuildInfoV2& Build, const FOnlineBuildInfoV2& Query)
{
    Build.Platform = Query.Platform;
    Build.Label = Query.Label;
    Build.SubLabel = Query.SubLabel;
}

/** Logs a start failure; true when the event must fire (false: the call has already reported). */
bool ReportStartFailure(const char* Operation, const FZorError& Error)
{
    if (!Error)
    {
        return false;
    }
    UE_LOG_ONLINE(Warning, "%s request failed. %s", Operation, *Error.Text);
    return true;
}
} // namespace

FOnlineBuildInfoServiceZorV2::FOnlineBuildInfoServiceZorV2(FOnlineSubsystemZor* InSubsystem)
    : FGameServiceZor(InSubsystem, SectionName)
{
    GConfig->GetString(SectionName, "QueryEntitledBuildsUrl", QueryEntitledBuildsUrl, GEngineIni);
    GConfig->GetString(SectionName, "QuerySignedDownloadInfoUrl", QuerySignedDownloadInfoUrl, GEngineIni);
    GConfig->GetString(SectionName, "QuerySelfPatchBuildUrl", QuerySelfPatchBuildUrl, GEngineIni);
}

FString FOnlineBuildInfoServiceZorV2::MakeUrl(const FString& Template, const FOnlineBuildInfoV2& Query,
                                              bool bWithItem) const
{
    TArray<FZorUrlValue> Values = {{"`label", Query.Label}, {"`platform", Query.Platform}};
    if (bWithItem)
    {
        Values.Add({"`itemid", Query.CatalogItemId});
        Values.Add({"`appid", Query.AppName});
    }
    FString Url = ZorUrl::Substitute(GetBaseUrl() + Template, Values);
    if (!Query.SubLabel.IsEmpty())
    {
        Url += "&subLabel=" + ZorUrl::EncodeQueryValue(Query.SubLabel);
    }
    return Url;
}

bool FOnlineBuildInfoServiceZorV2::QueryEntitledBuilds(const FUniqueNetId& UserId, const FString& Platform,
                                                       const FString& Label, const FString& SubLabel)
{
    FZorError Error = FZorError::Make(EZorErrorKind::Refused, "Invalid userid");
    if (UserId.IsValid())
    {
        const FOnlineBuildInfoV2 Query = MakeQuery(Platform, Label, SubLabel);
        FZorCall Call;
        Call.Operation = EntitledOperation;
        Call.Url = MakeUrl(QueryEntitledBuildsUrl, Query, false);
        const FUniqueNetIdString User(UserId);
        Error = FZorError();
        if (GetCalls().SendAsUser(
                Call, UserId,
                [this, User, Query](FZorReply& Reply)
                { QueryEntitledBuilds_HttpRequestComplete(Reply, User, Query); },
                Error))
        {
            return true;
        }
    }
    if (ReportStartFailure(EntitledOperation, Error))
    {
        TriggerOnQueryEntitledBuildsCompleteDelegates(UserId, false, Error.Text);
    }
    return false;
}

void FOnlineBuildInfoServiceZorV2::QueryEntitledBuilds_HttpRequestComplete(FZorReply& Reply,
                                                                           const FUniqueNetIdString& UserId,
                                                                           const FOnlineBuildInfoV2& Query)
{
    const bool bPassed = Reply.Check();
    if (Reply.GetError().Kind != EZorErrorKind::NoResponse)
    {
        // Every answer that arrives, whatever its code, ends the builds of the one before.
        EntitledBuilds.FindOrAdd(UserId.ToString()).Empty();
    }
    TSharedPtr<FJsonObject> Answer;
    const TArray<TSharedPtr<FJsonValue>>* Elements = nullptr;
    if (bPassed && Reply.ReadObject(Answer, ZorBuildList::AnswerKey) &&
        Answer->TryGetArrayField(ZorBuildList::AnswerKey, Elements))
    {
        TArray<TSharedRef<FOnlineBuildInfoV2>>& Builds = EntitledBuilds.FindOrAdd(UserId.ToString());
        Builds = ZorBuildList::Read<FOnlineBuildInfoV2>(*Elements);
        for (const TSharedRef<FOnlineBuildInfoV2>& Build : Builds)
        {
            TakeQuery(Build.Get(), Query);
        }
    }
    Reply.Finish();
    TriggerOnQueryEntitledBuildsCompleteDelegates(UserId, Reply.Succeeded(), Reply.GetErrorText());
}

bool FOnlineBuildInfoServiceZorV2::GetEntitledBuilds(const FUniqueNetId& UserId,
                                                     TArray<TSharedRef<FOnlineBuildInfoV2>>& OutBuilds)
{
    OutBuilds.Empty();
    const TArray<TSharedRef<FOnlineBuildInfoV2>>* Builds = EntitledBuilds.Find(UserId.ToString());
    if (!Builds)
    {
        return false;
    }
    OutBuilds.Append(*Builds);
    return true;
}

bool FOnlineBuildInfoServiceZorV2::QuerySignedDownload(const FUniqueNetId& UserId,
                                                       const FOnlineBuildInfoV2& Build)
{
    FZorError Error = FZorError::Make(EZorErrorKind::Refused, "Invalid userid");
    if (UserId.IsValid())
    {
        FZorCall Call;
        Call.Operation = DownloadOperation;
        Call.SendingLine = FString::Printf("Starting %s request.", DownloadStartOperation);
        Call.Url = MakeUrl(QuerySignedDownloadInfoUrl, Build, true);
        const FUniqueNetIdString User(UserId);
        Error = FZorError();
        if (GetCalls().SendAsUser(
                Call, UserId,
                [this, User, Build](FZorReply& Reply)
                { QuerySignedDownload_HttpRequestComplete(Reply, User, Build); },
                Error))
        {
            return true;
        }
    }
    if (ReportStartFailure(DownloadStartOperation, Error))
    {
        TriggerOnQuerySignedDownloadCompleteDelegates(UserId, Build, false, Error.Text);
    }
    return false;
}

void FOnlineBuildInfoServiceZorV2::QuerySignedDownload_HttpRequestComplete(FZorReply& Reply,
                                                                           const FUniqueNetIdString& UserId,
                                                                           const FOnlineBuildInfoV2& Build)
{
    TSharedPtr<FJsonObject> Answer;
    if (Reply.Check() && Reply.ReadObject(Answer))
    {
        FOnlineDownloadInfo Download;
        Download.FromJson(Answer);
        const TSharedPtr<FOnlineBuildInfoV2> Target =
            FOnlineBuildInfoV2::FindDownloadTarget(EntitledBuilds.FindOrAdd(UserId.ToString()), Build);
        if (Target)
        {
            Target->DownloadInfo = MakeShared<FOnlineDownloadInfo>(Download);
        }
    }
    Reply.Finish();
    TriggerOnQuerySignedDownloadCompleteDelegates(UserId, Build, Reply.Succeeded(), Reply.GetErrorText());
}

bool FOnlineBuildInfoServiceZorV2::QuerySelfPatchBuild(const FString& Platform, const FString& Label,
                                                       const FString& SubLabel)
{
    const FOnlineBuildInfoV2 Query = MakeQuery(Platform, Label, SubLabel);
    FZorCall Call;
    Call.Operation = SelfPatchOperation;
    Call.Url = MakeUrl(QuerySelfPatchBuildUrl, Query, false);
    FZorError Error;
    if (GetCalls().SendAsClient(
            Call, GetSubsystemAppId(),
            [this, Query](FZorReply& Reply) { QuerySelfPatchBuild_HttpRequestComplete(Reply, Query); },
            Error))
    {
        return true;
    }
    if (ReportStartFailure(SelfPatchOperation, Error))
    {
        TriggerOnQuerySelfPatchBuildCompleteDelegates(false, Error.Text);
    }
    return false;
}

void FOnlineBuildInfoServiceZorV2::QuerySelfPatchBuild_HttpRequestComplete(FZorReply& Reply,
                                                                           const FOnlineBuildInfoV2& Query)
{
    TSharedPtr<FJsonObject> Answer;
    if (Reply.Check() && Reply.GetBody().IsEmpty())
    {
        SelfPatchBuild = FOnlineBuildInfoV2();
    }
    else if (Reply.Succeeded() && Reply.ReadObject(Answer))
    {
        // A fresh record each time: no field or list outlives the answer that gave it.
        FOnlineBuildInfoV2 Build;
        Build.FromJson(Answer);
        TakeQuery(Build, Query);
        Build.DownloadInfo = MakeShared<FOnlineDownloadInfo>();
        Build.DownloadInfo->FromJson(Answer);
        SelfPatchBuild = Build;
    }
    Reply.Finish();
    TriggerOnQuerySelfPatchBuildCompleteDelegates(Reply.Succeeded(), Reply.GetErrorText());
}
