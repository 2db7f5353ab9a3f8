#include "Sockets/InternetAddr.h"

#include <arpa/inet.h>

void FInternetAddr::SetIp(const FString& Text, bool& bIsValid)
{
    FString Host = Text;
    FString PortText;
    const bool bHasPort = Text.Split(":", &Host, &PortText, ESearchCase::IgnoreCase, ESearchDir::FromEnd);
    in_addr Parsed{};
    bIsValid = inet_pton(AF_INET, *(bHasPort ? Host : Text), &Parsed) == 1;
    if (!bIsValid)
    {
        return;
    }
    SetIp(ntohl(Parsed.s_addr));
    if (bHasPort && PortText.IsNumeric())
    {
        SetPort(FCString::Atoi(*PortText));
    }
}

FString FInternetAddr::ToString(bool bAppendPort) const
{
    FString Text =
        FString::Printf("%u.%u.%u.%u", (Ip >> 24) & 0xFF, (Ip >> 16) & 0xFF, (Ip >> 8) & 0xFF, Ip & 0xFF);
    if (bAppendPort)
    {
        Text += FString::Printf(":%d", Port);
    }
    return Text;
}
