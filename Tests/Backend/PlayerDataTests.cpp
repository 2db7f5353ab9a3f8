#include "BackendTestFixture.h"
#include "ZorRows.h"

namespace ZorBackendTests
{
namespace
{
enum class EOwner
{
    Demo,
    Rival,
};

struct FPlayerRoute
{
    const char* Verb;
    std::string Path;
    std::string Body;
    EOwner Owner;
    int OwnerStatus;
};

const std::string Cloud = "/game/api/cloudstorage/user/" + DemoAccountId;
const std::string Friends = "/game/api/public/list/" + DemoAccountId + "/default";
const std::string Outbox = "/game/api/messaging/" + DemoAccountId + "/outbox";
const std::string Inbox = "/game/api/messaging/" + RivalAccountId + "/inbox";
const std::string Orders = "/commerce/api/shared/accounts/" + DemoAccountId + "/orders";
const std::string Billing = "/commerce/api/public/payment/accounts/" + DemoAccountId + "/billingaccounts";
const std::string Links = "/account/api/public/account/" + DemoAccountId + "/externalAuths";
const std::string Lines = R"({"lineOffers":[{"namespace":"qx","offerId":"qx-offer-sword"}]})";

std::string Note(size_t PayloadBytes)
{
    return R"({"type":"note","toTavoIds":[")" + RivalAccountId + R"("],"body":")" +
           EncodeBase64(std::string(PayloadBytes, 'x')) + R"("})";
}

// In order: each owner's call finds what the owner's calls before it left, and nothing a refused call did.
const std::vector<FPlayerRoute> PlayerRoutes = {
    {"PUT", Cloud + "/save.sav", "mine", EOwner::Demo, 204},
    {"GET", Cloud, "", EOwner::Demo, 200},
    {"GET", Cloud + "/save.sav", "", EOwner::Demo, 200},
    {"DELETE", Cloud + "/save.sav", "", EOwner::Demo, 204},
    {"POST", "/game/api/profile/" + DemoAccountId + "/client/QueryProfile?profileId=common", "{}",
     EOwner::Demo, 200},
    {"GET", Friends, "", EOwner::Demo, 200},
    {"POST", Friends + "/" + RivalAccountId, "", EOwner::Demo, 204},
    {"POST", Friends + "/" + RivalAccountId + "/accept", "", EOwner::Rival, 204},
    {"DELETE", Friends + "/" + RivalAccountId, "", EOwner::Demo, 204},
    {"DELETE", Friends, "", EOwner::Demo, 204},
    // A payload may take 4,096 bytes.
    {"POST", Outbox, Note(4096), EOwner::Demo, 204},
    {"POST", Outbox, Note(4097), EOwner::Demo, 400},
    {"GET", Inbox, "", EOwner::Rival, 200},
    {"GET", Inbox + "/msg-1", "", EOwner::Rival, 200},
    {"DELETE", Inbox + "/msg-1", "", EOwner::Rival, 204},
    {"POST", Orders + "/preview", Lines, EOwner::Demo, 200},
    {"POST", Orders, Lines, EOwner::Demo, 200},
    {"GET", Orders, "", EOwner::Demo, 200},
    {"GET", Orders + "/order-1", "", EOwner::Demo, 200},
    {"POST", Orders + "/order-1/checkout", "{}", EOwner::Demo, 200},
    {"POST", Orders + "/order-1/fulfill", "{}", EOwner::Demo, 200},
    // Two of one offer come to twice its price, which the payment must name.
    {"POST", Orders, R"({"lineOffers":[{"namespace":"qx","offerId":"qx-offer-sword","quantity":2}]})",
     EOwner::Demo, 200},
    {"POST", Orders + "/order-2/checkout",
     R"({"paymentItems":[{"billingAccountId":"ba-demo-card","amount":1998}]})", EOwner::Demo, 200},
    {"GET", Billing, "", EOwner::Demo, 200},
    {"GET", Billing + "/default", "", EOwner::Demo, 200},
    {"GET", "/commerce/api/account/" + DemoAccountId + "/entitlements", "", EOwner::Demo, 200},
    {"POST", Links, R"({"authType":"handheld","externalAuthToken":"handheld-1:proof"})", EOwner::Demo, 200},
    {"GET", Links, "", EOwner::Demo, 200},
    {"GET", Links + "/handheld", "", EOwner::Demo, 200},
    {"DELETE", Links + "/handheld", "", EOwner::Demo, 200},
};

// What the module asks with a client token: public information about any player.
const std::vector<FPlayerRoute> ClientRoutes = {
    {"GET", "/account/api/public/account/" + DemoAccountId, "", EOwner::Demo, 200},
    {"GET", "/account/api/public/account?accountId=" + DemoAccountId, "", EOwner::Demo, 200},
    {"GET", "/account/api/public/account/displayName/demorival", "", EOwner::Demo, 200},
};

class PlayerDataTest : public BackendTest
{
protected:
    httplib::Result Send(const FPlayerRoute& Route, const std::string& AccessToken)
    {
        const httplib::Headers Headers{{"Authorization", "bearer " + AccessToken}};
        const std::string Verb = Route.Verb;
        if (Verb == "POST")
        {
            return Client->Post(Route.Path.c_str(), Headers, Route.Body, "application/json");
        }
        if (Verb == "PUT")
        {
            return Client->Put(Route.Path.c_str(), Headers, Route.Body, "application/octet-stream");
        }
        if (Verb == "DELETE")
        {
            return Client->Delete(Route.Path.c_str(), Headers);
        }
        return Client->Get(Route.Path.c_str(), Headers);
    }

    static int StatusOf(const httplib::Result& Result) { return Result ? Result->status : -1; }
};
} // namespace

TEST_F(PlayerDataTest, OnlyThePlayersOwnTokenReachesThePlayersData)
{
    const std::string Demo = GrantAccessToken(DemoLogin);
    const std::string Rival = GrantAccessToken(RivalLogin);
    const std::string GameApp = GrantAccessToken("grant_type=client_credentials");
    const std::string ServerApp = GrantAccessToken("grant_type=client_credentials", ServerClient);
    for (const FPlayerRoute& Route : PlayerRoutes)
    {
        SCOPED_TRACE(std::string(Route.Verb) + " " + Route.Path);
        const bool bDemo = Route.Owner == EOwner::Demo;
        for (const auto& [Who, Token] :
             {std::pair{"game client", GameApp}, std::pair{"server client", ServerApp},
              std::pair{"other player", bDemo ? Rival : Demo}})
        {
            const httplib::Result Refused = Send(Route, Token);
            EXPECT_EQ(StatusOf(Refused), 403) << Who << ": " << (Refused ? Refused->body : "");
        }
        const httplib::Result Owned = Send(Route, bDemo ? Demo : Rival);
        EXPECT_EQ(StatusOf(Owned), Route.OwnerStatus) << (Owned ? Owned->body : "");
    }
}

namespace
{
using ClientRouteTest = TZorRows<PlayerDataTest>;
} // namespace

TEST_P(ClientRouteTest, AClientTokenReachesPublicPlayerInformation)
{
    const FPlayerRoute& Route = ClientRoutes[GetParam()];
    const httplib::Result Result = Send(Route, GrantAccessToken("grant_type=client_credentials"));
    EXPECT_EQ(StatusOf(Result), Route.OwnerStatus)
        << Route.Verb << " " << Route.Path << ": " << (Result ? Result->body : "");
}

INSTANTIATE_TEST_SUITE_P(Rows, ClientRouteTest, ::testing::Range(size_t{0}, ClientRoutes.size()));
} // namespace ZorBackendTests
