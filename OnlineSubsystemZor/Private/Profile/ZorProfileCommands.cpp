#include <cctype>

#include "Common/ZorRedact.h"
#include "Common/ZorUrl.h"
#include "Core/Config.h"
#include "Profile/ZorProfile.h"
#include "Profile/ZorProfileNumbers.h"
#include "Subsystem/OnlineSubsystemZor.h"

#define LOCTEXT_NAMESPACE "ZorProfile"

namespace
{
const FString BuildHeader("X-TavoGames-ZorVersion");
const FString JsonContentType("application/json");

FString TrimEnd(const FString& Text)
{
    int32 Length = Text.Len();
    while (Length > 0 && std::isspace(static_cast<unsigned char>(Text[Length - 1])))
    {
        --Length;
    }
    return Text.Left(Length);
}

/** Queues the request on the client road under the named permissions; the error text when it cannot. */
FString StartOnClientRoad(FOnlineSubsystemZor& Zor, FGameServiceZor& Service, const FString& PermissionsName,
                          const char* MissingPermissionsError, const FHttpRequestRef& Request)
{
    const FServicePermissionsZor* Permissions =
        Service.GetZorConfiguration().GetServicePermissionsByName(PermissionsName);
    if (!Permissions)
    {
        return MissingPermissionsError;
    }
    FString Error;
    Zor.ProcessClientRequest(Service, Permissions->Id, Request, Error);
    return Error;
}

void FailResult(FZorQueryResult& Result, const char* ErrorCode, const FText& ErrorText)
{
    Result.ErrorCode = ErrorCode;
    Result.ErrorText = ErrorText;
}
} // namespace

FString UZorProfile::GetBaseUrl() const
{
    const TSharedPtr<FOnlineSubsystemZor> Zor = Subsystem.Pin();
    const TSharedPtr<FGameServiceZor> GameService = Zor ? Zor->GetZorGameService() : nullptr;
    return GameService ? GameService->GetBaseUrl() : FString();
}

FString UZorProfile::ResolveUrlTemplate(const FString& Template, const FString& FunctionName) const
{
    // Matched exactly, in one pass, and encoded: an id can neither be read as a placeholder nor change the
    // path.
    return ZorUrl::Substitute(
        Template, {{"`fname", FunctionName}, {"`accountId", GetAccountIdText()}, {"`profileId", ProfileId}},
        ESearchCase::CaseSensitive);
}

FText UZorProfile::PrepareCommand(const FBaseUrlContext& Context, const FOnlineJsonSerializable& Params,
                                  FString& OutPathTemplate, FString& OutBody) const
{
    if (!GetZor())
    {
        return LOCTEXT("NoZor", "Request failed due to no Zor");
    }
    if (!GConfig->GetString(ConfigSection, *Context.UrlConfig, OutPathTemplate, GEngineIni))
    {
        return FText::Format(LOCTEXT("FailConfig", "Unable to resolve UrlConfig at section '{0}' '{1}'"),
                             ConfigSection, Context.UrlConfig);
    }
    OutBody = Params.ToJson(false);
    if (OutBody.IsEmpty())
    {
        return LOCTEXT("FailSerialize", "Request failed to serialize");
    }
    return FText();
}

bool UZorProfile::CallRemoteFunction(const FString& FunctionName, const FBaseUrlContext& Context,
                                     const FOnlineJsonSerializable& Params)
{
    FString PathTemplate;
    FString Body;
    const FText Error = PrepareCommand(Context, Params, PathTemplate, Body);
    if (!Error.IsEmpty())
    {
        UE_LOG(LogOnlineGame, Warning, "ZOR-Profile: Error dispatching %s %s", *FunctionName,
               *Error.ToString());
        FZorQueryResult Result;
        FailResult(Result, "InternalError", Error);
        Context.Callback.ExecuteIfBound(Result);
        return false;
    }

    const FString Path = ResolveUrlTemplate(PathTemplate, FunctionName);
    const FString BaseUrl = GetBaseUrl();
    const FHttpRequestRef Request = FHttpModule::Get().CreateRequest();
    Request->SetURL(BaseUrl.IsEmpty() ? Path : BaseUrl + Path);
    Request->SetContentAsString(Body);
    Request->SetVerb("POST");
    Request->SetHeader("Accept", "*/*");
    Request->SetHeader("Content-Type", JsonContentType);
    Request->OnProcessRequestComplete().BindUObject(this, &UZorProfile::GenericResponse_HttpRequestComplete,
                                                    FunctionName, Context.Callback);
    QueueRequest(Request, Context.Credentials);
    return true;
}

void UZorProfile::QueueRequest(const FHttpRequestRef& Request,
                               FBaseUrlContext::EContextCredentials Credentials)
{
    if (!PendingRequests.IsEmpty() && HasLoginEnded(PendingRequests[0]))
    {
        // The command in flight is an ended login's: the next login's commands do not wait for its answer.
        Abandoned.Add(PendingRequests[0].Request);
        PendingRequests.RemoveAt(0);
    }
    const TSharedPtr<FOnlineSubsystemZor> Zor = GetZor();
    const bool bUserCommand = Credentials == FBaseUrlContext::EContextCredentials::Client;
    PendingRequests.Emplace(Request, Credentials,
                            Zor && bUserCommand && GameAccountId ? Zor->StampLogin(*GameAccountId)
                                                                 : FZorLoginStamp());
    UE_LOG(LogOnlineGame, VeryVerbose, "Queued request, pending total now *%i*", PendingRequests.Num());
    if (PendingRequests.Num() == 1)
    {
        UE_LOG(LogOnlineGame, VeryVerbose, "Processing only request on queue *%i*", PendingRequests.Num());
        SendRequestNow(PendingRequests[0]);
    }
}

void UZorProfile::ProcessNextRequest()
{
    if (PendingRequests.IsEmpty())
    {
        UE_LOG(LogOnlineGame, VeryVerbose, "No more requests to process. *%i*", PendingRequests.Num());
        return;
    }
    UE_LOG(LogOnlineGame, VeryVerbose, "Finished processing request, removing first of *%i*",
           PendingRequests.Num());
    PendingRequests.RemoveAt(0);
    if (!PendingRequests.IsEmpty())
    {
        UE_LOG(LogOnlineGame, VeryVerbose, "Processing next request on queue of *%i*", PendingRequests.Num());
        SendRequestNow(PendingRequests[0]);
    }
}

FString UZorProfile::StartOnRoad(const FProfilePendingHttpRequest& Pending)
{
    const TSharedPtr<FOnlineSubsystemZor> Zor = GetZor();
    if (!Zor)
    {
        return "The Zor subsystem is gone or shut down.";
    }
    const TSharedPtr<FGameServiceZor> Service = Zor->GetZorGameService();
    const FHttpRequestRef Request = Pending.Request.ToSharedRef();
    FString Error;
    switch (Pending.Credentials)
    {
    case FBaseUrlContext::EContextCredentials::Client:
        if (!GameAccountId)
        {
            return "Invalid client GameAccountId.";
        }
        Zor->ProcessUserRequest(*Service, *GameAccountId, Request, Error);
        return Error;
    case FBaseUrlContext::EContextCredentials::DedicatedServer:
        return StartOnClientRoad(*Zor, *Service, FServicePermissionsZor::DefaultServer,
                                 "Unable to find service permissions for server.", Request);
    case FBaseUrlContext::EContextCredentials::DevCheat:
        return StartOnClientRoad(*Zor, *Service, "Cheater", "Unable to find service permissions for cheater.",
                                 Request);
    default:
        return "Invalid request context.";
    }
}

void UZorProfile::SendRequestNow(const FProfilePendingHttpRequest& PendingRequest)
{
    // A copy: the queue element may go while this runs.
    const FProfilePendingHttpRequest Pending = PendingRequest;
    const FString Url = Pending.Request->GetURL();
    Pending.Request->SetURL(FString::Printf(Url.Contains("?") ? "%s&rvn=%lld" : "%s?rvn=%lld", *Url,
                                            static_cast<long long>(ProfileRevision)));
    UE_LOG(LogOnlineGame, Log, "ZOR-Profile: Dispatching request to %s", *Pending.Request->GetURL());

    const FString Error =
        HasLoginEnded(Pending) ? "The login it was queued under has ended." : StartOnRoad(Pending);
    if (!Error.IsEmpty())
    {
        UE_LOG(LogOnlineGame, Warning, "Failed to start profile request. Error: %s", *Error);
        // Its completion comes on a later tick as a connection failure and moves the queue on.
        Pending.Request->CancelRequest();
    }
}

void UZorProfile::GenericResponse_HttpRequestComplete(FHttpRequestPtr Request, FHttpResponsePtr Response,
                                                      bool bSucceeded, FString FunctionName,
                                                      FOnZorQueryComplete Callback)
{
    const FOnlineSubsystemZor::FEventScope Scope(Subsystem.Pin().Get());
    FZorQueryResult Result;
    const bool bAbandoned = Abandoned.Remove(Request) > 0;
    const bool bInFlight = !PendingRequests.IsEmpty() && PendingRequests[0].Request == Request;
    const bool bAnswered = bSucceeded && Response;
    if (bAnswered && (bAbandoned || (bInFlight && HasLoginEnded(PendingRequests[0]))))
    {
        UE_LOG(LogOnlineGame, Warning, "ZOR-Profile: Dropping the %s response: its user logged out.",
               *FunctionName);
        FailResult(Result, "InternalError",
                   LOCTEXT("LoggedOut", "The user logged out before the response arrived."));
    }
    else if (bAnswered)
    {
        ReadResponse(*Response, ZorRedact::Credentials(Request->GetHeader("Authorization")), FunctionName,
                     Result);
    }
    else
    {
        UE_LOG(LogOnlineGame, Warning, "ZOR-Profile: %s request was unable to send, connection failure.",
               *FunctionName);
        FailResult(Result, "ConnectionFailure",
                   LOCTEXT("ConnectionFailure", "Connection to the server failed."));
    }
    Callback.ExecuteIfBound(Result);
    if (!bAbandoned)
    {
        ProcessNextRequest();
    }
}

bool UZorProfile::HasLoginEnded(const FProfilePendingHttpRequest& Pending) const
{
    const TSharedPtr<FOnlineSubsystemZor> Zor = GetZor();
    return Pending.Login.IsSet() && Zor && !Zor->IsLoginCurrent(Pending.Login);
}

void UZorProfile::ReadResponse(const IHttpResponse& Response, const TArray<FString>& Secrets,
                               const FString& FunctionName, FZorQueryResult& Result)
{
    const FString BuildText = Response.GetHeader(BuildHeader);
    ZorRevision = ZorProfileNumbers::ParseLeadingInt64(BuildText);
    const int32 Code = Response.GetResponseCode();
    UE_LOG(LogOnlineGame, Log, "ZOR-Profile (CL=%s): Received HTTP %d response to %s request.", *BuildText,
           Code, *FunctionName);
    Result.HttpResponseCode = Code;

    const FString Body = Response.GetContentAsString();
    const FString ContentType = Response.GetContentType();
    TSharedPtr<FJsonObject> Json;
    if (!ContentType.Equals(JsonContentType, ESearchCase::CaseSensitive))
    {
        const FString Trimmed = ZorRedact::Text(TrimEnd(Body), Secrets);
        FailResult(Result, "NonJsonResponse",
                   Trimmed.IsEmpty()
                       ? FText::Format(LOCTEXT("HttpResponse", "HTTP {0} response from function {1}"), Code,
                                       FunctionName)
                       : FText::FromString(Trimmed));
        UE_LOG(LogOnlineGame, Warning,
               "ZOR-Profile (CL=%lld): HTTP %d response from %s request [content-type=%s] content: %s",
               static_cast<long long>(ZorRevision), Code, *FunctionName, *ContentType,
               *ZorRedact::Body(Trimmed));
        return;
    }
    if (!FJsonSerializer::Deserialize(TJsonReaderFactory<>::Create(Body), Json))
    {
        FailResult(Result, "InvalidJson", LOCTEXT("InvalidJson", "Unable to parse server response."));
        UE_LOG(LogOnlineGame, Warning,
               "ZOR-Profile (CL=%lld): Unable to deserialize JSON even though Content-Type said it was JSON. "
               "Text "
               "follows: %s",
               static_cast<long long>(ZorRevision), *ZorRedact::Body(ZorRedact::Text(Body, Secrets)));
        return;
    }
    if (Code != 200)
    {
        Result.ErrorCode = Json->HasTypedField<EJson::String>("errorCode") ? Json->GetStringField("errorCode")
                                                                           : FString("JsonErrorUnknownCode");
        Result.ErrorText =
            Json->HasTypedField<EJson::String>("errorMessage")
                ? FText::FromString(ZorRedact::Text(Json->GetStringField("errorMessage"), Secrets))
                : FText::Format(LOCTEXT("JsonError", "Server error of type {0}"), Result.ErrorCode);
        UE_LOG(LogOnlineGame, Warning,
               "ZOR-Profile (CL=%lld): Unexpected response from %s request! [%d] [%s]",
               static_cast<long long>(ZorRevision), *FunctionName, Code, *Result.ErrorText.ToString());
        return;
    }
    Result.bSucceeded = true;
    HandleZorResponse(Json, Result);
}

#undef LOCTEXT_NAMESPACE
