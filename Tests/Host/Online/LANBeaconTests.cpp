#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <unistd.h>

#include "CaseNamePrinter.h"
#include "Online/LANBeacon.h"
#include "ZorRows.h"

namespace
{
/** A searching beacon on the in-process bus with a clock the test moves, and a host that answers. */
class LANBeaconTest : public ::testing::Test
{
protected:
    LANBeaconTest() : Searcher(MakeInMemoryLANBeaconTransport(), Port), Raw(MakeInMemoryLANBeaconTransport())
    {
        Searcher.SetClock([this] { return Now; });
        Searcher.SetTimeout(3.0);
        Raw->Open(Port);
    }

    bool StartSearch()
    {
        TArray<uint8> Query;
        Searcher.CreateClientQueryPacket(Query, Searcher.LanNonce);
        return Searcher.Search(
            Query, [this](const uint8*, int32) { ++Answers; }, [this] { ++Timeouts; });
    }

    static constexpr int32 Port = 15001;
    double Now = 10.0;
    FLANSession Searcher;
    TUniquePtr<ILANBeaconTransport> Raw;
    int32 Answers = 0;
    int32 Timeouts = 0;
};
} // namespace

namespace
{
struct FOnlyWellFormedAnswersToThisSearchCountRow
{
    const char* Name;
    TFunction<void(TArray<uint8>&)> Change;
    int32 Counted;
};
const FOnlyWellFormedAnswersToThisSearchCountRow OnlyWellFormedAnswersToThisSearchCountRows[] = {
    {"as made", [](TArray<uint8>&) {}, 1},
    {"trailing bytes", [](TArray<uint8>& P) { P.Add(7); }, 1},
    {"another nonce", [](TArray<uint8>& P) { P[13] ^= 1; }, 0},
    {"bad magic", [](TArray<uint8>& P) { P[0] = 'X'; }, 0},
    {"other version", [](TArray<uint8>& P) { P[4] = 9; }, 0},
    {"a query", [](TArray<uint8>& P) { P[5] = 1; }, 0},
    {"cut short", [](TArray<uint8>& P) { P.SetNum(FLANSession::HeaderSize - 1); }, 0},
    {"oversized", [](TArray<uint8>& P) { P.SetNum(FLANSession::MaxPacketSize + 1); }, 0},
};

void PrintTo(const FOnlyWellFormedAnswersToThisSearchCountRow& Row, std::ostream* Out)
{
    *Out << Row.Name;
}

using FOnlyWellFormedAnswersToThisSearchCountTest =
    TZorRows<LANBeaconTest, FOnlyWellFormedAnswersToThisSearchCountRow>;
} // namespace

TEST_P(FOnlyWellFormedAnswersToThisSearchCountTest, OnlyWellFormedAnswersToThisSearchCount)
{
    ASSERT_TRUE(StartSearch());
    EXPECT_EQ(Searcher.GetBeaconState(), ELanBeaconState::Searching);
    TArray<uint8> Good;
    Searcher.CreateHostResponsePacket(Good, Searcher.LanNonce);
    const FOnlyWellFormedAnswersToThisSearchCountRow& Case = GetParam();
    TArray<uint8> Packet = Good;
    Case.Change(Packet);
    Answers = 0;
    Raw->Broadcast(Packet, Port);
    Searcher.Tick(0.0f);
    EXPECT_EQ(Answers, Case.Counted) << Case.Name;
}

INSTANTIATE_TEST_SUITE_P(Rows, FOnlyWellFormedAnswersToThisSearchCountTest,
                         ::testing::ValuesIn(OnlyWellFormedAnswersToThisSearchCountRows),
                         [](const auto& Info) { return ZorTestCases::TestName(Info.param.Name); });

TEST_F(LANBeaconTest, TheTimeoutEndsTheSearchOnce)
{
    ASSERT_TRUE(StartSearch());
    Now += 2.9;
    Searcher.Tick(0.0f);
    EXPECT_EQ(Timeouts, 0);
    Now += 0.2;
    Searcher.Tick(0.0f);
    Searcher.Tick(0.0f);
    EXPECT_EQ(Timeouts, 1);
    EXPECT_EQ(Searcher.GetBeaconState(), ELanBeaconState::NotUsingLanBeacon);
}

TEST_F(LANBeaconTest, ACallbackMayStopOrRestartTheBeacon)
{
    // Stopped by the first answer: the second waiting answer is not handed to a stopped search.
    TArray<uint8> Query;
    Searcher.CreateClientQueryPacket(Query, Searcher.LanNonce);
    ASSERT_TRUE(Searcher.Search(
        Query,
        [this](const uint8*, int32)
        {
            ++Answers;
            Searcher.StopLANSession();
        },
        [this] { ++Timeouts; }));
    TArray<uint8> Answer;
    Searcher.CreateHostResponsePacket(Answer, Searcher.LanNonce);
    Raw->Broadcast(Answer, Port);
    Raw->Broadcast(Answer, Port);
    Searcher.Tick(0.0f);
    EXPECT_EQ(Answers, 1);
    Now += 10.0;
    Searcher.Tick(0.0f);
    EXPECT_EQ(Timeouts, 0);

    // A timeout handler that starts the next search leaves that search running.
    ASSERT_TRUE(Searcher.Search(
        Query, [](const uint8*, int32) {}, [this] { Timeouts += StartSearch() ? 1 : 100; }));
    Now += 10.0;
    Searcher.Tick(0.0f);
    EXPECT_EQ(Timeouts, 1);
    EXPECT_EQ(Searcher.GetBeaconState(), ELanBeaconState::Searching);
}

TEST_F(LANBeaconTest, AHostAnswersQueriesWithTheClientsNonce)
{
    FLANSession Host(MakeInMemoryLANBeaconTransport(), Port);
    TArray<uint64> Nonces;
    ASSERT_TRUE(Host.Host(
        [&Host, &Nonces](const uint8*, int32, uint64 Nonce)
        {
            Nonces.Add(Nonce);
            TArray<uint8> Packet;
            Host.CreateHostResponsePacket(Packet, Nonce);
            Host.BroadcastPacket(Packet);
        }));
    EXPECT_TRUE(Host.IsHosting());
    ASSERT_TRUE(StartSearch());
    Host.Tick(0.0f);
    Searcher.Tick(0.0f);
    EXPECT_EQ(Nonces, TArray<uint64>({Searcher.LanNonce}));
    EXPECT_EQ(Answers, 1);
    Host.StopLANSession();
    EXPECT_FALSE(Host.IsHosting());
    EXPECT_FALSE(Host.BroadcastPacket(TArray<uint8>({1})));
}

TEST(LANBeaconUdpTest, TwoBeaconsShareThePortOverLoopback)
{
    const int32 Port = 20000 + static_cast<int32>(getpid() % 20000);
    FLANSession Host(MakeUdpLANBeaconTransport(), Port);
    FLANSession Searcher(MakeUdpLANBeaconTransport(), Port);
    ASSERT_TRUE(Host.Host(
        [&Host](const uint8*, int32, uint64 Nonce)
        {
            TArray<uint8> Packet;
            Host.CreateHostResponsePacket(Packet, Nonce);
            Host.BroadcastPacket(Packet);
        }));
    int32 Answers = 0;
    TArray<uint8> Query;
    Searcher.CreateClientQueryPacket(Query, Searcher.LanNonce);
    ASSERT_TRUE(Searcher.Search(
        Query, [&Answers](const uint8*, int32) { ++Answers; }, [] {}));
    for (int32 Pass = 0; Pass < 200 && Answers == 0; ++Pass)
    {
        Host.Tick(0.0f);
        Searcher.Tick(0.0f);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_EQ(Answers, 1);
}
