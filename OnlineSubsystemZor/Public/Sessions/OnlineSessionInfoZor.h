#pragma once

#include "CoreMinimal.h"
#include "Online/OnlineSessionSettings.h"
#include "Sockets/InternetAddr.h"

/** Where a session of the game service is reached: its host address and the service's session id. */
class FOnlineSessionInfoZor : public FOnlineSessionInfo
{
public:
    FOnlineSessionInfoZor() = default;
    explicit FOnlineSessionInfoZor(const FString& InSessionId) : SessionId(InSessionId) {}

    /** A hosted LAN session: this host's address with the session's game port. */
    void Init(int32 Port);

    const uint8* GetBytes() const override { return nullptr; }
    int32 GetSize() const override { return sizeof(FOnlineSessionInfoZor); }
    bool IsValid() const override { return SessionId.IsValid() && HostAddr && HostAddr->IsValid(); }
    FString ToString() const override { return SessionId.ToString(); }
    FString ToDebugString() const override;
    const FUniqueNetId& GetSessionId() const override { return SessionId; }

    TSharedPtr<FInternetAddr> HostAddr;
    FString LastUpdated;
    FUniqueNetIdString SessionId;
};
