#pragma once

#include "CoreMinimal.h"

/** An IPv4 address with a port. Unset until an address is given; port 0 means none. */
class FInternetAddr
{
public:
    FInternetAddr() = default;
    FInternetAddr(uint32 InIp, int32 InPort) { SetIp(InIp), SetPort(InPort); }

    void SetIp(uint32 InIp)
    {
        Ip = InIp;
        bHasIp = true;
    }
    /** Reads dotted IPv4 text ("a.b.c.d", optionally ":port"); an invalid text leaves the address as it was.
     */
    void SetIp(const FString& Text, bool& bIsValid);
    uint32 GetIp() const { return Ip; }
    void SetPort(int32 InPort) { Port = (InPort >= 0 && InPort <= 65535) ? InPort : 0; }
    int32 GetPort() const { return Port; }

    /** True once an address other than 0.0.0.0 is set. */
    bool IsValid() const { return bHasIp && Ip != 0; }
    /** "a.b.c.d", with ":port" appended when asked. */
    FString ToString(bool bAppendPort) const;

    bool operator==(const FInternetAddr& Other) const { return Ip == Other.Ip && Port == Other.Port; }

private:
    uint32 Ip = 0;
    int32 Port = 0;
    bool bHasIp = false;
};
