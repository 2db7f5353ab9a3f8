#include "Catalog/OnlineCatalogServiceZor.h"
#include "Identity/OnlineIdentityZor.h"
#include "Orders/OnlineOrderServiceZor.h"
#include "Payment/OnlinePaymentServiceZor.h"
#include "Subsystem/OnlineSubsystemZor.h"

void FOnlineSubsystemZor::CreateServices()
{
    // One line per service, in creation order, which is also the order of initialisation, tick and (reversed)
    // shutdown. A service that only its getter reaches is created with CreateService instead.
    AddService<FGameServiceZor>(FString());
    AddService<FOnlineIdentityZor>();
    AddService<FOnlineCatalogServiceZor>();
    AddService<FOnlineOrderServiceZor>();
    AddService<FOnlinePaymentServiceZor>();
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
