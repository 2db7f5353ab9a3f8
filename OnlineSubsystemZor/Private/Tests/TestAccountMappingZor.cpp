#include "Tests/TestAccountMappingZor.h"

#include "Identity/OnlineIdentityZor.h"
#include "Subsystem/OnlineSubsystemZor.h"
#include "Subsystem/ZorLogText.h"
#include "Tests/ZorTestDriverLog.h"

using ZorTestDriverLog::ToResult;

FTestAccountMappingZor::FTestAccountMappingZor(FOnlineSubsystemZor& InSubsystem)
    : Subsystem(InSubsystem),
      OnQueryExternalAccountsCompleteDelegate(FOnQueryExternalAccountsCompleteDelegate::CreateRaw(
          this, &FTestAccountMappingZor::OnQueryExternalAccountsComplete)),
      OnQueryUserIdFromDisplayNameCompleteDelegate(FOnQueryUserIdFromDisplayNameCompleteDelegate::CreateRaw(
          this, &FTestAccountMappingZor::OnQueryUserIdFromDisplayNameComplete))
{
}

void FTestAccountMappingZor::Test(const FString& InDisplayName)
{
    AccountMapping = Subsystem.GetZorAccountMappingService();
    DisplayName = InDisplayName;
    const TSharedPtr<FOnlineIdentityZor> Identity = Subsystem.GetZorIdentityService();
    UserId = Identity ? Identity->GetUniquePlayerId(0) : nullptr;
    if (!UserId || !UserId->IsValid())
    {
        UE_LOG_ONLINE(Warning, "Failed test of activation. No valid logged in user.");
        FinishTest();
        return;
    }
    if (!AccountMapping)
    {
        UE_LOG_ONLINE(Warning, "Failed to get account mapping service Zor ");
        FinishTest();
        return;
    }
    OnQueryExternalAccountsCompleteHandle =
        AccountMapping->AddOnQueryExternalAccountsCompleteDelegate(OnQueryExternalAccountsCompleteDelegate);
    OnQueryUserIdFromDisplayNameCompleteHandle =
        AccountMapping->AddOnQueryUserIdFromDisplayNameCompleteDelegate(
            OnQueryUserIdFromDisplayNameCompleteDelegate);
    Steps.SetOwner(FZorWorkOwner(Subsystem.GetZorIdentityService(), *UserId));
    StartNextTest();
}

void FTestAccountMappingZor::StartNextTest()
{
    if (!Steps.Run([this] { return StartStep(); }))
    {
        FinishTest();
    }
}

bool FTestAccountMappingZor::StartStep()
{
    if (bQueryExternalAccounts)
    {
        AccountMapping->QueryExternalAccounts(*UserId, FString());
    }
    else if (bQueryUserIdFromDisplayName && !DisplayName.IsEmpty())
    {
        AccountMapping->QueryUserIdFromDisplayName(*UserId, DisplayName);
    }
    else
    {
        return false;
    }
    return true;
}

void FTestAccountMappingZor::FinishTest()
{
    if (AccountMapping)
    {
        AccountMapping->ClearOnQueryExternalAccountsCompleteDelegate(OnQueryExternalAccountsCompleteHandle);
        AccountMapping->ClearOnQueryUserIdFromDisplayNameCompleteDelegate(
            OnQueryUserIdFromDisplayNameCompleteHandle);
    }
    delete this;
}

void FTestAccountMappingZor::OnQueryExternalAccountsComplete(bool bWasSuccessful,
                                                             const FUniqueNetId& /*InUserId*/,
                                                             const FString& Error)
{
    UE_LOG_ONLINE(Log, "query account mappings. Result=%s Error=[%s]", ToResult(bWasSuccessful),
                  *ZorLogText::Error(Error));
    TArray<FExternalOnlineAccount> Accounts;
    AccountMapping->GetExternalAccounts(*UserId, Accounts);
    for (const FExternalOnlineAccount& Account : Accounts)
    {
        UE_LOG(LogOnline, Log, "External account Id=%s Type=%s", *Account.Id, *Account.Type);
    }
    bQueryExternalAccounts = false;
    StartNextTest();
}

void FTestAccountMappingZor::OnQueryUserIdFromDisplayNameComplete(bool bWasSuccessful,
                                                                  const FUniqueNetId& RequestingUserId,
                                                                  const FString& InDisplayName,
                                                                  const FUniqueNetId& FoundUserId,
                                                                  const FString& Error)
{
    UE_LOG_ONLINE(
        Log, "query account by display name [%s]. Result=%s RequestingUserId=%s, FoundUserId=%s Error=[%s]",
        *InDisplayName, ToResult(bWasSuccessful), *RequestingUserId.ToDebugString(),
        *FoundUserId.ToDebugString(), *ZorLogText::Error(Error));
    bQueryUserIdFromDisplayName = false;
    StartNextTest();
}
