#include "Friends/OnlineFriendsZor.h"
#include "Identity/OnlineIdentityZor.h"
#include "Messages/OnlineMessageZor.h"
#include "Subsystem/OnlineSubsystemZor.h"

void FOnlineSubsystemZor::CreateServices()
{
    // One line per service, in creation order, which is also the order of initialisation, tick and (reversed)
    // shutdown. A service that only its getter reaches is created with CreateService instead.
    AddService<FGameServiceZor>(FString());
    AddService<FOnlineIdentityZor>();
    AddService<FOnlineFriendsZor>();
    AddService<FOnlineMessageZor>();
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

TSharedPtr<FOnlineFriendsZor> FOnlineSubsystemZor::GetZorFriendsService() const
{
    return FindService<FOnlineFriendsZor>();
}

IOnlineFriendsPtr FOnlineSubsystemZor::GetFriendsInterface() const
{
    return GetZorFriendsService();
}

TSharedPtr<FOnlineMessageZor> FOnlineSubsystemZor::GetZorMessageService() const
{
    return FindService<FOnlineMessageZor>();
}

IOnlineMessagePtr FOnlineSubsystemZor::GetMessageInterface() const
{
    return GetZorMessageService();
}
