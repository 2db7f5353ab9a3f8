#include "AccountCreation/OnlineAccountCreationZor.h"
#include "AccountMapping/OnlineAccountMappingZor.h"
#include "Identity/OnlineIdentityZor.h"
#include "Subsystem/OnlineSubsystemZor.h"
#include "Users/OnlineUsersZor.h"

void FOnlineSubsystemZor::CreateServices()
{
    // One line per service, in creation order, which is also the order of initialisation, tick and (reversed)
    // shutdown. A service that only its getter reaches is created with CreateService instead.
    AddService<FGameServiceZor>(FString());
    AddService<FOnlineIdentityZor>();
    AddService<FOnlineAccountCreationZor>();
    AddService<FOnlineAccountMappingZor>();
    AddService<FOnlineUsersZor>();
}

// The getters of the services in the table.

TSharedPtr<FGameServiceZor> FOnlineSubsystemZor::GetZorGameService() const
{
    return FindService<FGameServiceZor>();
}

TSharedPtr<FOnlineIdentityZor> FOnlineSubsystemZor::GetZorIdentityService() const
{
    return FindService<FOnlineIdentityZor>();
}

IOnlineIdentityPtr FOnlineSubsystemZor::GetIdentityInterface() const
{
    return GetZorIdentityService();
}

TSharedPtr<FOnlineAccountCreationZor> FOnlineSubsystemZor::GetZorAccountCreationService() const
{
    return FindService<FOnlineAccountCreationZor>();
}

TSharedPtr<FOnlineAccountMappingZor> FOnlineSubsystemZor::GetZorAccountMappingService() const
{
    return FindService<FOnlineAccountMappingZor>();
}

IOnlineUserPtr FOnlineSubsystemZor::GetUserInterface() const
{
    return FindService<FOnlineUsersZor>();
}
