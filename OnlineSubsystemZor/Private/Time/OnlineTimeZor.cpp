#include "Time/OnlineTimeZor.h"

#include "Common/ZorRedact.h"
#include "Core/Config.h"
#include "Subsystem/OnlineSubsystemZor.h"

const FString FOnlineTimeZor::SectionName("OnlineSubsystemZor.OnlineTimeZor");
const FString FOnlineTimeZor::DefaultTimeStampUrl("/api/3/timestamp");

FOnlineTimeZor::FOnlineTimeZor(FOnlineSubsystemZor* InSubsystem)
    : FGameServiceZor(InSubsystem, SectionName), TimeStampUrl(DefaultTimeStampUrl)
{
    GConfig->GetString(*SectionName, "TimeStampUrl", TimeStampUrl, GEngineIni);
}

bool FOnlineTimeZor::QueryServerUtcTime()
{
    if (IsShutDown())
    {
        Finish(false, FString(), "No response");
        return false;
    }
    if (TimeRequest && TimeRequest->GetStatus() == EHttpRequestStatus::Processing)
    {
        UE_LOG_ONLINE(Warning, "Still processing previous server time request.");
        return false;
    }
    // No header at all: the time is public, and the URL follows the configuration as it is now.
    const FHttpRequestRef Request = FHttpModule::Get().CreateRequest();
    Request->OnProcessRequestComplete().BindThreadSafeSP(
        this, &FOnlineTimeZor::QueryServerUtcTime_HttpRequestComplete);
    Request->SetURL(GetBaseUrl() + TimeStampUrl);
    Request->SetVerb("GET");
    TimeRequest = Request.ToSharedPtr();
    return Request->ProcessRequest();
}

void FOnlineTimeZor::Shutdown()
{
    FGameServiceZor::Shutdown();
    const FHttpRequestPtr InFlight = TimeRequest;
    TimeRequest.Reset();
    if (InFlight && InFlight->GetStatus() == EHttpRequestStatus::Processing)
    {
        InFlight->CancelRequest();
        Finish(false, FString(), "No response");
    }
}

void FOnlineTimeZor::QueryServerUtcTime_HttpRequestComplete(FHttpRequestPtr Request,
                                                            FHttpResponsePtr Response, bool bSucceeded)
{
    if (Request != TimeRequest)
    {
        return;
    }
    const FOnlineSubsystemZor::FEventScope Scope(Subsystem);
    TimeRequest.Reset();
    if (!bSucceeded || !Response)
    {
        Finish(false, FString(), "No response");
        return;
    }
    const FString Body = Response->GetContentAsString();
    if (Response->GetResponseCode() != 200)
    {
        Finish(false, Body, FString::Printf("Invalid response code=%d", Response->GetResponseCode()));
        return;
    }
    if (!Body.Contains(":"))
    {
        Finish(false, Body, FString::Printf("Invalid response payload=%s", *Body));
        return;
    }
    LastServerTime = Body;
    Finish(true, Body, FString());
}

void FOnlineTimeZor::Finish(bool bWasSuccessful, const FString& Body, const FString& Error)
{
    if (!Error.IsEmpty())
    {
        UE_LOG_ONLINE(Warning, "Server time request failed. %s", *ZorRedact::Body(Error));
    }
    TriggerOnQueryServerUtcTimeCompleteDelegates(bWasSuccessful, Body, Error);
}
