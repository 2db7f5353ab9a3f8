#pragma once

#include "CoreMinimal.h"
#include "Sockets/InternetAddr.h"

/** What a LAN beacon is doing. */
enum class ELanBeaconState : uint8
{
    NotUsingLanBeacon = 0,
    Hosting,
    Searching,
};

/** Moves beacon packets; the real one is a UDP socket, tests use an in-process bus. */
class ILANBeaconTransport
{
public:
    virtual ~ILANBeaconTransport() = default;
    /** Starts listening on the port; false when it cannot. */
    virtual bool Open(int32 Port) = 0;
    virtual void Close() = 0;
    /** Sends to every beacon listening on the port. */
    virtual bool Broadcast(const TArray<uint8>& Packet, int32 Port) = 0;
    /** One waiting packet; false when none waits. Never blocks. */
    virtual bool Receive(TArray<uint8>& OutPacket) = 0;
};

/** The UDP transport: broadcast on the loopback network, so every process on the host hears it. */
TUniquePtr<ILANBeaconTransport> MakeUdpLANBeaconTransport();
/** An in-process transport: every open one hears every broadcast on its port, itself included. */
TUniquePtr<ILANBeaconTransport> MakeInMemoryLANBeaconTransport();

using FOnValidQueryPacket = TFunction<void(const uint8* Packet, int32 Length, uint64 ClientNonce)>;
using FOnValidResponsePacket = TFunction<void(const uint8* Packet, int32 Length)>;
using FOnSearchingTimeout = TFunction<void()>;

/**
 * The LAN beacon: a host answers query packets; a searcher broadcasts a query with its nonce, hands every
 * answer carrying that nonce to its callback, and reports the end of the search after the timeout. Polled
 * from the owner's tick; a callback may stop the beacon or start it again.
 */
class FLANSession
{
public:
    static constexpr int32 DefaultPort = 14001;
    static constexpr int32 MaxPacketSize = 512;
    static constexpr int32 HeaderSize = 14;

    explicit FLANSession(TUniquePtr<ILANBeaconTransport> InTransport = MakeUdpLANBeaconTransport(),
                         int32 InPort = DefaultPort);
    ~FLANSession();

    bool Host(FOnValidQueryPacket OnQuery);
    bool Search(const TArray<uint8>& QueryPacket, FOnValidResponsePacket OnResponse,
                FOnSearchingTimeout OnTimeout);
    void StopLANSession();
    void Tick(float DeltaTime);

    ELanBeaconState GetBeaconState() const { return State; }
    /** True while hosting: the beacon socket is open for queries. */
    bool IsHosting() const { return State == ELanBeaconState::Hosting; }

    bool CreateClientQueryPacket(TArray<uint8>& Packet, uint64 ClientNonce) const;
    bool CreateHostResponsePacket(TArray<uint8>& Packet, uint64 ClientNonce) const;
    bool BroadcastPacket(const TArray<uint8>& Packet);

    void SetClock(TFunction<double()> InClock) { Clock = std::move(InClock); }
    void SetTimeout(double Seconds) { LanQueryTimeout = Seconds; }

    uint64 LanNonce = 0;

private:
    enum class EPacketType : uint8
    {
        Query = 1,
        Response = 2,
    };
    bool Open();
    bool WriteHeader(TArray<uint8>& Packet, EPacketType Type, uint64 Nonce) const;
    /** The nonce of a packet of that type from a beacon of this kind; false for anything else. */
    static bool ReadHeader(const TArray<uint8>& Packet, EPacketType Type, uint64& OutNonce);
    void TickHosting();
    void TickSearching();

    TUniquePtr<ILANBeaconTransport> Transport;
    int32 Port;
    bool bOpen = false;
    ELanBeaconState State = ELanBeaconState::NotUsingLanBeacon;
    /** Grows on every start and stop, so a tick notices that a callback changed the beacon. */
    uint32 Generation = 0;
    FOnValidQueryPacket OnQuery;
    FOnValidResponsePacket OnResponse;
    FOnSearchingTimeout OnTimeout;
    TFunction<double()> Clock;
    double LanQueryTimeout = 5.0;
    double SearchStart = 0.0;
};
