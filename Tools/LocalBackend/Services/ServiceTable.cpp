#include "ServiceTable.h"

#include "AccountCreationService.h"
#include "AccountMappingService.h"
#include "AccountService.h"
#include "BuildInfoService.h"
#include "CatalogService.h"
#include "EntitlementsService.h"
#include "FriendsService.h"
#include "MatchmakingService.h"
#include "MessagesService.h"
#include "OrdersService.h"
#include "PaymentService.h"
#include "ProfileService.h"
#include "TimeService.h"
#include "TitleFileService.h"
#include "UserCloudService.h"
#include "UsersService.h"

#include <httplib.h>

#include <memory>

namespace ZorBackend
{
namespace
{
using FServiceFactory = std::unique_ptr<FBackendService> (*)(FBackendState&);

template <typename ServiceType> std::unique_ptr<FBackendService> Make(FBackendState& State)
{
    return std::make_unique<ServiceType>(State);
}

// Every service the backend serves: a new service is one file pair and one line here.
constexpr FServiceFactory ServiceTable[] = {
    // clang-format off
    Make<FAccountService>,
    Make<FProfileService>,
    Make<FUserCloudService>,
    Make<FTitleFileService>,
    Make<FTimeService>,
    Make<FAccountCreationService>,
    Make<FAccountMappingService>,
    Make<FUsersService>,
    Make<FMatchmakingService>,
    Make<FFriendsService>,
    Make<FMessagesService>,
    Make<FCatalogService>,
    Make<FOrdersService>,
    Make<FPaymentService>,
    Make<FEntitlementsService>,
    Make<FBuildInfoService>,
    // clang-format on
};
} // namespace

void AddServices(FBackendState& State, httplib::Server& Server)
{
    for (const FServiceFactory Factory : ServiceTable)
    {
        State.Services.push_back(Factory(State));
        State.Services.back()->Register(Server);
    }
}
} // namespace ZorBackend
