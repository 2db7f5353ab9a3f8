#pragma once

#include "CoreMinimal.h"
#include "Sockets/InternetAddr.h"

/**
 * A non-blocking UDP socket bound to a port with address reuse and broadcast on, so several processes on one
 * host share the port and each receives what is broadcast to it.
 */
class FUdpSocket
{
public:
    FUdpSocket() = default;
    ~FUdpSocket();
    FUdpSocket(const FUdpSocket&) = delete;
    FUdpSocket& operator=(const FUdpSocket&) = delete;

    /** Opens and binds to Port on every interface; false (and closed) when that fails. */
    bool Open(int32 Port);
    void Close();
    bool IsOpen() const { return Handle >= 0; }

    /** Sends one datagram; false when it did not go out. */
    bool SendTo(const uint8* Data, int32 Size, const FInternetAddr& To);
    /** Reads one waiting datagram into Out; false when none waits. Never blocks. */
    bool RecvFrom(TArray<uint8>& Out, FInternetAddr& From);

private:
    int Handle = -1;
};
