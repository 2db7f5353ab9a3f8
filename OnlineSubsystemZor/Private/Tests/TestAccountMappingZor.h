#pragma once

#include "AccountMapping/OnlineAccountMappingZor.h"
#include "CoreMinimal.h"
#include "Tests/ZorDriverSteps.h"

class FOnlineSubsystemZor;

/**
 * Console exercise of account mapping for local user 0: its external accounts, then the user of a display
 * name when one was given. Created with new; it deletes itself when the chain ends.
 */
class FTestAccountMappingZor
{
public:
    explicit FTestAccountMappingZor(FOnlineSubsystemZor& InSubsystem);
    FTestAccountMappingZor(const FTestAccountMappingZor&) = delete;
    FTestAccountMappingZor& operator=(const FTestAccountMappingZor&) = delete;

    void Test(const FString& InDisplayName);

private:
    ~FTestAccountMappingZor() = default;

    void StartNextTest();
    /** Starts the first step still to run; false when none is left. */
    bool StartStep();
    void FinishTest();
    void OnQueryExternalAccountsComplete(bool bWasSuccessful, const FUniqueNetId& InUserId,
                                         const FString& Error);
    void OnQueryUserIdFromDisplayNameComplete(bool bWasSuccessful, const FUniqueNetId& RequestingUserId,
                                              const FString& InDisplayName, const FUniqueNetId& FoundUserId,
                                              const FString& Error);

    /** Read by Test only, which runs right after construction. */
    FOnlineSubsystemZor& Subsystem;
    TSharedPtr<FOnlineAccountMappingZor> AccountMapping;
    FOnQueryExternalAccountsCompleteDelegate OnQueryExternalAccountsCompleteDelegate;
    FOnQueryUserIdFromDisplayNameCompleteDelegate OnQueryUserIdFromDisplayNameCompleteDelegate;
    FDelegateHandle OnQueryExternalAccountsCompleteHandle;
    FDelegateHandle OnQueryUserIdFromDisplayNameCompleteHandle;
    bool bQueryExternalAccounts = true;
    bool bQueryUserIdFromDisplayName = true;
    FUniqueNetIdPtr UserId;
    FString DisplayName;
    FZorDriverSteps Steps;
};
