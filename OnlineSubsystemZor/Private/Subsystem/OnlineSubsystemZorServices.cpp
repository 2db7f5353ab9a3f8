#include "AccountCreation/OnlineAccountCreationZor.h"
#include "AccountMapping/OnlineAccountMappingZor.h"
#include "BuildInfo/OnlineBuildInfoServiceZor.h"
#include "BuildInfo/OnlineBuildInfoServiceZorV2.h"
#include "Catalog/OnlineCatalogServiceZor.h"
#include "Entitlements/OnlineEntitlementsZor.h"
#include "Friends/OnlineFriendsZor.h"
#include "Identity/OnlineIdentityZor.h"
#include "Messages/OnlineMessageZor.h"
#include "Orders/OnlineOrderServiceZor.h"
#include "Payment/OnlinePaymentServiceZor.h"
#include "Sessions/OnlineSessionZor.h"
#include "Subsystem/OnlineSubsystemZor.h"
#include "Time/OnlineTimeZor.h"
#include "TitleFile/OnlineTitleFileZor.h"
#include "UserCloud/OnlineUserCloudZor.h"
#include "Users/OnlineUsersZor.h"

void FOnlineSubsystemZor::CreateServices()
{
    // One line per service, in creation order, which is also the order of initialisation, tick and (reversed)
    // shutdown. A service that only its getter reaches is created with CreateService instead.
    // The time service is listed too, so it takes its layered configuration and follows UpdateServiceConfig.
    AddService<FOnlineTimeZor>();
    AddService<FGameServiceZor>(FString());
    AddService<FOnlineIdentityZor>();
    AddService<FOnlineUserCloudZor>();
    AddService<FOnlineSessionZor>();
    AddService<FOnlineEntitlementsZor>();
    AddService<FOnlineBuildInfoServiceZor>();
    AddService<FOnlineBuildInfoServiceZorV2>();
    AddService<FOnlineCatalogServiceZor>();
    AddService<FOnlineOrderServiceZor>();
    AddService<FOnlinePaymentServiceZor>();
    AddService<FOnlineAccountCreationZor>();
    AddService<FOnlineAccountMappingZor>();
    AddService<FOnlineTitleFileZor>();
    AddService<FOnlineFriendsZor>();
    AddService<FOnlineUsersZor>();
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

TSharedPtr<FOnlineTimeZor> FOnlineSubsystemZor::GetZorTimeService() const
{
    return FindService<FOnlineTimeZor>();
}

IOnlineTimePtr FOnlineSubsystemZor::GetTimeInterface() const
{
    return GetZorTimeService();
}

TSharedPtr<FOnlineUserCloudZor> FOnlineSubsystemZor::GetZorUserCloudService() const
{
    return FindService<FOnlineUserCloudZor>();
}

IOnlineUserCloudPtr FOnlineSubsystemZor::GetUserCloudInterface() const
{
    return GetZorUserCloudService();
}

TSharedPtr<FOnlineTitleFileZor> FOnlineSubsystemZor::GetZorTitleFileService() const
{
    return FindService<FOnlineTitleFileZor>();
}

IOnlineTitleFilePtr FOnlineSubsystemZor::GetTitleFileInterface() const
{
    return GetZorTitleFileService();
}

TSharedPtr<FOnlineSessionZor> FOnlineSubsystemZor::GetZorSessionService() const
{
    return FindService<FOnlineSessionZor>();
}

IOnlineSessionPtr FOnlineSubsystemZor::GetSessionInterface() const
{
    return GetZorSessionService();
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

TSharedPtr<FOnlineCatalogServiceZor> FOnlineSubsystemZor::GetZorCatalogService() const
{
    return FindService<FOnlineCatalogServiceZor>();
}

TSharedPtr<FOnlineOrderServiceZor> FOnlineSubsystemZor::GetZorOrderService() const
{
    return FindService<FOnlineOrderServiceZor>();
}

TSharedPtr<FOnlinePaymentServiceZor> FOnlineSubsystemZor::GetZorPaymentService() const
{
    return FindService<FOnlinePaymentServiceZor>();
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
