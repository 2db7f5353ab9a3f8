#pragma once

#include "CoreMinimal.h"
#include "Sockets/InternetAddr.h"

/** The platform's socket services: names and addresses of this host. */
class FSocketSubsystem
{
public:
    /** A fresh, unset address object. */
    static TSharedRef<FInternetAddr> CreateInternetAddr() { return MakeShared<FInternetAddr>(); }
    /** This host's name; false when the platform cannot tell. */
    static bool GetHostName(FString& OutName);
    /** The address other hosts on the LAN reach this one at; the loopback address when none is known. */
    static FInternetAddr GetLocalHostAddr();
};
