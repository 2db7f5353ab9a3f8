#include "Sockets/UdpSocket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

FUdpSocket::~FUdpSocket()
{
    Close();
}

bool FUdpSocket::Open(int32 Port)
{
    Close();
    Handle = socket(AF_INET, SOCK_DGRAM, 0);
    if (Handle < 0)
    {
        return false;
    }
    const int On = 1;
    sockaddr_in Local{};
    Local.sin_family = AF_INET;
    Local.sin_port = htons(static_cast<uint16_t>(Port));
    Local.sin_addr.s_addr = htonl(INADDR_ANY);
    const bool bReady = setsockopt(Handle, SOL_SOCKET, SO_REUSEADDR, &On, sizeof(On)) == 0 &&
                        setsockopt(Handle, SOL_SOCKET, SO_REUSEPORT, &On, sizeof(On)) == 0 &&
                        setsockopt(Handle, SOL_SOCKET, SO_BROADCAST, &On, sizeof(On)) == 0 &&
                        fcntl(Handle, F_SETFL, fcntl(Handle, F_GETFL, 0) | O_NONBLOCK) == 0 &&
                        bind(Handle, reinterpret_cast<const sockaddr*>(&Local), sizeof(Local)) == 0;
    if (!bReady)
    {
        Close();
    }
    return bReady;
}

void FUdpSocket::Close()
{
    if (Handle >= 0)
    {
        close(Handle);
        Handle = -1;
    }
}

bool FUdpSocket::SendTo(const uint8* Data, int32 Size, const FInternetAddr& To)
{
    if (Handle < 0)
    {
        return false;
    }
    sockaddr_in Remote{};
    Remote.sin_family = AF_INET;
    Remote.sin_port = htons(static_cast<uint16_t>(To.GetPort()));
    Remote.sin_addr.s_addr = htonl(To.GetIp());
    return sendto(Handle, Data, Size, 0, reinterpret_cast<const sockaddr*>(&Remote), sizeof(Remote)) == Size;
}

bool FUdpSocket::RecvFrom(TArray<uint8>& Out, FInternetAddr& From)
{
    if (Handle < 0)
    {
        return false;
    }
    uint8 Buffer[2048];
    sockaddr_in Remote{};
    socklen_t RemoteSize = sizeof(Remote);
    const ssize_t Read =
        recvfrom(Handle, Buffer, sizeof(Buffer), 0, reinterpret_cast<sockaddr*>(&Remote), &RemoteSize);
    if (Read < 0)
    {
        return false;
    }
    Out = TArray<uint8>(Buffer, static_cast<int32>(Read));
    From = FInternetAddr(ntohl(Remote.sin_addr.s_addr), ntohs(Remote.sin_port));
    return true;
}
