// The identity tick walks every account and client each frame; it must not allocate unless it starts a
// request. Compares it with the same countdown over a plain array and counts allocations per tick.
#include <atomic>
#include <cstdlib>
#include <new>
#include <vector>

#include "Core/Config.h"
#include "Identity/OnlineIdentityZor.h"
#include "InMemoryHttpTransport.h"
#include "RatioReporter.h"
#include "Subsystem/OnlineSubsystemZor.h"

namespace
{
std::atomic<int64> Allocations{0};
} // namespace

void* operator new(size_t Size)
{
    ++Allocations;
    if (void* Memory = std::malloc(Size ? Size : 1))
    {
        return Memory;
    }
    throw std::bad_alloc();
}

void operator delete(void* Memory) noexcept
{
    std::free(Memory);
}

void operator delete(void* Memory, size_t) noexcept
{
    std::free(Memory);
}

namespace
{
constexpr int32 NumAccounts = 1000;
constexpr int32 NumClients = 200;
constexpr double FarAway = 1.0e9; // nothing becomes due while the benchmark runs

const char* const Ini = R"(
[OnlineSubsystemZor]
bEnabled=true
[OnlineSubsystemZor.BaseServiceZor]
ServicePermissions=(Name=Client,Id=benchclient,Key=secret)
)";

/** A subsystem whose identity holds many valid users and clients, none of them due for anything. */
struct FIdentityFixture
{
    FIdentityFixture()
    {
        GConfig->LoadFromString(GEngineIni, Ini);
        Subsystem = MakeShared<FOnlineSubsystemZor>(FName("bench")).ToSharedPtr();
        Subsystem->Init();
        FOnlineIdentityZor& Identity = *Subsystem->GetZorIdentityService();
        for (int32 Index = 0; Index < NumAccounts; ++Index)
        {
            const FString Id = FString::Printf("account-%d", Index);
            Identity.AddUserAccount(1, Id, "token");
            FAuthTokenZor& Token = Identity.GetUserAccountZor(FUniqueNetIdString(Id))->UserToken;
            Token.TokenState = EAuthTokenState::Valid;
            Token.expires_in = Token.refresh_expires = Token.TimeToVerify = FarAway;
        }
        for (int32 Index = 0; Index < NumClients; ++Index)
        {
            const FString Id = FString::Printf("client-%d", Index);
            Identity.AuthClient(Id);
            const TSharedPtr<FClientOnlineAuth> Client = Identity.GetClientAuthTokenZor(Id);
            Client->TokenState = EAuthTokenState::Valid;
            Client->expires_in = Client->TimeToVerify = FarAway;
        }
    }
    ~FIdentityFixture() { Subsystem->Shutdown(); }

    FScopedInMemoryHttpTransport Transport;
    TSharedPtr<FOnlineSubsystemZor> Subsystem;
};

void BM_IdentityTick(benchmark::State& State)
{
    FIdentityFixture Fixture;
    FOnlineIdentityZor& Identity = *Fixture.Subsystem->GetZorIdentityService();
    Identity.Tick(0.016f); // the first tick sizes the scratch array
    const int64 Before = Allocations.load();
    for (auto _ : State)
    {
        Identity.Tick(0.016f);
    }
    State.counters["allocs_per_tick"] = static_cast<double>(Allocations.load() - Before) / State.iterations();
    State.counters["records"] = NumAccounts + NumClients;
}
BENCHMARK(BM_IdentityTick);

/** The same countdown and decisions over a plain array: the least a tick can cost. */
void BM_PlainCountdown(benchmark::State& State)
{
    struct FRecord
    {
        double ExpiresIn = FarAway;
        double RefreshExpires = FarAway;
        double TimeToVerify = FarAway;
        uint32 State = 1;
    };
    std::vector<FRecord> Records(NumAccounts + NumClients);
    int64 Due = 0;
    for (auto _ : State)
    {
        for (FRecord& Record : Records)
        {
            if (Record.State != 1)
            {
                continue;
            }
            Record.ExpiresIn -= 0.016;
            Record.RefreshExpires -= 0.016;
            Record.TimeToVerify -= 0.016;
            Due += (100.0 > Record.ExpiresIn || Record.TimeToVerify < 0.0) ? 1 : 0;
        }
        benchmark::DoNotOptimize(Due);
    }
}
BENCHMARK(BM_PlainCountdown);
} // namespace

int main(int argc, char** argv)
{
    return RunBenchmarksWithRatios(
        argc, argv,
        [](const FRatioReporter& Reporter)
        { Reporter.PrintRatio("identity tick", "BM_IdentityTick", "BM_PlainCountdown"); });
}
