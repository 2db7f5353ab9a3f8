#include "Identity/OnlineIdentityZor.h"
#include "Subsystem/OnlineSubsystemZor.h"

void FOnlineSubsystemZor::CreateServices()
{
    // One line per service, in creation order, which is also the order of initialisation, tick and (reversed)
    // shutdown. A service that only its getter reaches is created with CreateService instead.
    AddService<FGameServiceZor>(FString());
    AddService<FOnlineIdentityZor>();
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
