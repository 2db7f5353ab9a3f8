#include "Online/LANBeacon.h"

#include <list>
#include <mutex>
#include <random>

#include "Core/PlatformTime.h"
#include "Sockets/UdpSocket.h"

namespace
{
constexpr uint8 PacketMagic[4] = {'Z', 'L', 'A', 'N'};
constexpr uint8 PacketVersion = 1;
// Every process on the host hears the loopback network's broadcast address.
constexpr uint32 LoopbackBroadcastIp = 0x7FFFFFFF;

class FUdpLANBeaconTransport final : public ILANBeaconTransport
{
public:
    bool Open(int32 Port) override { return Socket.Open(Port); }
    void Close() override { Socket.Close(); }
    bool Broadcast(const TArray<uint8>& Packet, int32 Port) override
    {
        return Socket.SendTo(Packet.GetData(), Packet.Num(), FInternetAddr(LoopbackBroadcastIp, Port));
    }
    bool Receive(TArray<uint8>& OutPacket) override
    {
        FInternetAddr From;
        return Socket.RecvFrom(OutPacket, From);
    }

private:
    FUdpSocket Socket;
};

class FInMemoryLANBeaconTransport;

struct FInMemoryBus
{
    std::mutex Mutex;
    std::list<FInMemoryLANBeaconTransport*> Members;
};

FInMemoryBus& GetBus()
{
    static FInMemoryBus Bus;
    return Bus;
}

class FInMemoryLANBeaconTransport final : public ILANBeaconTransport
{
public:
    ~FInMemoryLANBeaconTransport() override { Close(); }
    bool Open(int32 InPort) override
    {
        Close();
        std::lock_guard Guard(GetBus().Mutex);
        Port = InPort;
        GetBus().Members.push_back(this);
        return true;
    }
    void Close() override
    {
        std::lock_guard Guard(GetBus().Mutex);
        GetBus().Members.remove(this);
        Inbox.Empty();
    }
    bool Broadcast(const TArray<uint8>& Packet, int32 ToPort) override
    {
        std::lock_guard Guard(GetBus().Mutex);
        for (FInMemoryLANBeaconTransport* Member : GetBus().Members)
        {
            if (Member->Port == ToPort)
            {
                Member->Inbox.Add(Packet);
            }
        }
        return true;
    }
    bool Receive(TArray<uint8>& OutPacket) override
    {
        std::lock_guard Guard(GetBus().Mutex);
        if (Inbox.IsEmpty())
        {
            return false;
        }
        OutPacket = Inbox[0];
        Inbox.RemoveAt(0);
        return true;
    }

private:
    int32 Port = 0;
    TArray<TArray<uint8>> Inbox;
};

uint64 NewNonce()
{
    std::random_device Device;
    return (static_cast<uint64>(Device()) << 32) | Device();
}
} // namespace

TUniquePtr<ILANBeaconTransport> MakeUdpLANBeaconTransport()
{
    return MakeUnique<FUdpLANBeaconTransport>();
}

TUniquePtr<ILANBeaconTransport> MakeInMemoryLANBeaconTransport()
{
    return MakeUnique<FInMemoryLANBeaconTransport>();
}

FLANSession::FLANSession(TUniquePtr<ILANBeaconTransport> InTransport, int32 InPort)
    : LanNonce(NewNonce()), Transport(std::move(InTransport)), Port(InPort),
      Clock([] { return FPlatformTime::Seconds(); })
{
}

FLANSession::~FLANSession()
{
    StopLANSession();
}

bool FLANSession::Open()
{
    if (!bOpen)
    {
        bOpen = Transport && Transport->Open(Port);
    }
    return bOpen;
}

bool FLANSession::Host(FOnValidQueryPacket InOnQuery)
{
    StopLANSession();
    if (!Open())
    {
        return false;
    }
    OnQuery = std::move(InOnQuery);
    State = ELanBeaconState::Hosting;
    return true;
}

bool FLANSession::Search(const TArray<uint8>& QueryPacket, FOnValidResponsePacket InOnResponse,
                         FOnSearchingTimeout InOnTimeout)
{
    StopLANSession();
    if (!Open() || !Transport->Broadcast(QueryPacket, Port))
    {
        StopLANSession();
        return false;
    }
    OnResponse = std::move(InOnResponse);
    OnTimeout = std::move(InOnTimeout);
    SearchStart = Clock();
    State = ELanBeaconState::Searching;
    return true;
}

void FLANSession::StopLANSession()
{
    ++Generation;
    State = ELanBeaconState::NotUsingLanBeacon;
    OnQuery = nullptr;
    OnResponse = nullptr;
    OnTimeout = nullptr;
    if (bOpen)
    {
        Transport->Close();
        bOpen = false;
    }
}

void FLANSession::Tick(float)
{
    if (State == ELanBeaconState::Hosting)
    {
        TickHosting();
    }
    else if (State == ELanBeaconState::Searching)
    {
        TickSearching();
    }
}

void FLANSession::TickHosting()
{
    const uint32 StartGeneration = Generation;
    TArray<uint8> Packet;
    while (Generation == StartGeneration && Transport->Receive(Packet))
    {
        uint64 ClientNonce = 0;
        if (ReadHeader(Packet, EPacketType::Query, ClientNonce))
        {
            // A copy: the callback may stop or restart this beacon.
            const FOnValidQueryPacket Callback = OnQuery;
            Callback(Packet.GetData(), Packet.Num(), ClientNonce);
        }
    }
}

void FLANSession::TickSearching()
{
    const uint32 StartGeneration = Generation;
    TArray<uint8> Packet;
    while (Generation == StartGeneration && Transport->Receive(Packet))
    {
        uint64 Nonce = 0;
        if (ReadHeader(Packet, EPacketType::Response, Nonce) && Nonce == LanNonce)
        {
            const FOnValidResponsePacket Callback = OnResponse;
            Callback(Packet.GetData(), Packet.Num());
        }
    }
    if (Generation == StartGeneration && Clock() - SearchStart >= LanQueryTimeout)
    {
        const FOnSearchingTimeout Callback = OnTimeout;
        // The search is over before its owner hears of it, so the owner may host or search again.
        State = ELanBeaconState::NotUsingLanBeacon;
        OnResponse = nullptr;
        OnTimeout = nullptr;
        Callback();
    }
}

bool FLANSession::WriteHeader(TArray<uint8>& Packet, EPacketType Type, uint64 Nonce) const
{
    uint8 Header[HeaderSize] = {PacketMagic[0], PacketMagic[1], PacketMagic[2],
                                PacketMagic[3], PacketVersion,  static_cast<uint8>(Type)};
    for (int32 Index = 6; Index < HeaderSize; ++Index)
    {
        Header[Index] = static_cast<uint8>(Nonce >> (8 * (HeaderSize - 1 - Index)));
    }
    Packet = TArray<uint8>(Header, HeaderSize);
    return true;
}

bool FLANSession::ReadHeader(const TArray<uint8>& Packet, EPacketType Type, uint64& OutNonce)
{
    if (Packet.Num() < HeaderSize || Packet.Num() > MaxPacketSize || Packet[4] != PacketVersion ||
        Packet[5] != static_cast<uint8>(Type))
    {
        return false;
    }
    for (int32 Index = 0; Index < 4; ++Index)
    {
        if (Packet[Index] != PacketMagic[Index])
        {
            return false;
        }
    }
    OutNonce = 0;
    for (int32 Index = 6; Index < HeaderSize; ++Index)
    {
        OutNonce = (OutNonce << 8) | Packet[Index];
    }
    return true;
}

bool FLANSession::CreateClientQueryPacket(TArray<uint8>& Packet, uint64 ClientNonce) const
{
    return WriteHeader(Packet, EPacketType::Query, ClientNonce);
}

bool FLANSession::CreateHostResponsePacket(TArray<uint8>& Packet, uint64 ClientNonce) const
{
    return WriteHeader(Packet, EPacketType::Response, ClientNonce);
}

bool FLANSession::BroadcastPacket(const TArray<uint8>& Packet)
{
    return bOpen && Transport->Broadcast(Packet, Port);
}
