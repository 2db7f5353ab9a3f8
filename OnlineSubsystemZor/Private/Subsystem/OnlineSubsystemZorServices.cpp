#include "BuildInfo/OnlineBuildInfoServiceZor.h"
#include "BuildInfo/OnlineBuildInfoServiceZorV2.h"
#include "Entitlements/OnlineEntitlementsZor.h"
#include "Identity/OnlineIdentityZor.h"
#include "Subsystem/OnlineSubsystemZor.h"

void FOnlineSubsystemZor::CreateServices()
{
    // One line per service, in creation order, which is also the order of initialisation, tick and (reversed)
    // shutdown. A service that only its getter reaches is created with CreateService instead.
    AddService<FGameServiceZor>(FString());
    AddService<FOnlineIdentityZor>();
    AddService<FOnlineEntitlementsZor>();
    AddService<FOnlineBuildInfoServiceZor>();
    AddService<FOnlineBuildInfoServiceZorV2>();
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

TSharedPtr<FOnlineEntitlementsZor> FOnlineSubsystemZor::GetZorEntitlementsService() const
{
    return FindService<FOnlineEntitlementsZor>();
}

IOnlineEntitlementsPtr FOnlineSubsystemZor::GetEntitlementsInterface() const
{
    return GetZorEntitlementsService();
}

TSharedPtr<FOnlineBuildInfoServiceZor> FOnlineSubsystemZor::GetZorBuildInfoService() const
{
    return FindService<FOnlineBuildInfoServiceZor>();
}

TSharedPtr<FOnlineBuildInfoServiceZorV2> FOnlineSubsystemZor::GetZorBuildInfoServiceV2() const
{
    return FindService<FOnlineBuildInfoServiceZorV2>();
}
