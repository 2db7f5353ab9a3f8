#pragma once

#include "BackendService.h"
#include "BackendState.h"

namespace ZorBackend
{
// External accounts linked to service accounts, under the account service:
//   POST   /account/api/public/account/<id>/externalAuths          link (the account's own user token)
//   DELETE /account/api/public/account/<id>/externalAuths/<type>   unlink every account of the type
//   GET    /account/api/public/account/<id>/externalAuths[/<type>] list, as [{"tavoId","externalAccounts"}]
//   GET    /account/api/public/account/displayName/<name>          the account of a display name, or 404
// The stand-in has no other platform to ask, so a link token is "EXTERNALID:PROOF": the id it names is the
// one linked, and the whole token later logs in with that type (for "internal", the proof is its secret).
class FAccountMappingService final : public FBackendService
{
public:
    explicit FAccountMappingService(FBackendState& InState) : State(InState) {}
    void Register(httplib::Server& Server) override;

    FBackendState& State;
};
} // namespace ZorBackend
