#include "Sessions/OnlineSessionInfoZor.h"

#include "Sockets/SocketSubsystem.h"

void FOnlineSessionInfoZor::Init(int32 Port)
{
    HostAddr = MakeShared<FInternetAddr>(FSocketSubsystem::GetLocalHostAddr());
    HostAddr->SetPort(Port);
}

FString FOnlineSessionInfoZor::ToDebugString() const
{
    return FString::Printf("HostIP: %s SessionId: %s", HostAddr ? *HostAddr->ToString(true) : "INVALID",
                           *SessionId.ToDebugString());
}
