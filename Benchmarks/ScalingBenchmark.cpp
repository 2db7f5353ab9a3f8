// Replies grow with what a service holds: the title-file list, the user-cloud sweep and a received message
// payload must each cost about the same per entry at every size. Prints the cost per entry at each size and
// how the largest size compares with the smallest.
#include <cstdio>

#include "Messages/ZorMessagePayload.h"
#include "RatioReporter.h"
#include "UserCloud/ZorCloudCache.h"
#include "UserCloud/ZorCloudFileList.h"

namespace
{
const int64 ListSizes[] = {1000, 10000, 30000};
const int64 PayloadSizes[] = {4 * 1024, 64 * 1024, 256 * 1024};

FString FileName(int64 Index)
{
    return FString::Printf("file-%lld.dat", static_cast<long long>(Index));
}

/** A list of Count headers, and a reply of Count entries: every other one names a held file in upper case. */
void MakeListAndReply(int64 Count, TArray<FCloudFileHeader>& OutList, TArray<FCloudFileHeader>& OutReply)
{
    for (int64 Index = 0; Index < Count; ++Index)
    {
        OutList.Add(FCloudFileHeader(FileName(Index), FileName(Index), 1));
        const FString Name = Index % 2 ? FileName(Count + Index) : FileName(Index).ToUpper();
        OutReply.Add(FCloudFileHeader(Name, Name, 2));
    }
}

void BM_MergeTitleFileList(benchmark::State& State)
{
    const int64 Count = State.range(0);
    TArray<FCloudFileHeader> Held;
    TArray<FCloudFileHeader> Reply;
    MakeListAndReply(Count, Held, Reply);
    for (auto _ : State)
    {
        State.PauseTiming();
        TArray<FCloudFileHeader> List = Held;
        State.ResumeTiming();
        FZorCloudFileList::Merge(List, Reply);
        if (List.Num() != Count + Count / 2)
        {
            State.SkipWithError("the reply was not merged by unique name");
            break;
        }
    }
    State.counters["per_entry"] =
        benchmark::Counter(static_cast<double>(Count),
                           benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_SweepUserCloudCopies(benchmark::State& State)
{
    const int64 Count = State.range(0);
    TArray<FCloudFileHeader> Headers;
    TArray<FCloudFileHeader> Unused;
    MakeListAndReply(Count, Headers, Unused);
    TArray<FString> Kept;
    TArray<FString> Listed;
    for (int64 Index = 0; Index < Count; ++Index)
    {
        FZorCloudCache::AddKeptNames(Headers[Index], Kept);
        Listed.Add(Index % 2 ? FileName(Count + Index) : FileName(Index).ToUpper());
    }
    for (auto _ : State)
    {
        const TArray<FString> Swept = FZorCloudCache::NamesToSweep(Listed, Kept);
        if (Swept.Num() != Count / 2)
        {
            State.SkipWithError("the sweep kept the wrong copies");
            break;
        }
    }
    State.counters["per_entry"] =
        benchmark::Counter(static_cast<double>(Count),
                           benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void AppendNumber(TArray<uint8>& Bytes, uint32 Value)
{
    for (int32 Shift = 24; Shift >= 0; Shift -= 8)
    {
        Bytes.Add(static_cast<uint8>(Value >> Shift));
    }
}

/** The byte form of a payload from a peer that ignores the size limit: int32 entries, every tenth key again.
 */
TArray<uint8> MakePayloadBytes(int64 Size, int32& OutEntries)
{
    TArray<uint8> Bytes;
    AppendNumber(Bytes, 0); // the count, written last
    OutEntries = 0;
    while (Bytes.Num() < Size)
    {
        const int32 KeyNumber = OutEntries % 10 == 9 ? OutEntries - 9 : OutEntries;
        const std::string Key = "key-" + std::to_string(KeyNumber);
        AppendNumber(Bytes, static_cast<uint32>(Key.size()));
        for (const char Ch : Key)
        {
            Bytes.Add(static_cast<uint8>(Ch));
        }
        Bytes.Add(1);
        AppendNumber(Bytes, static_cast<uint32>(OutEntries));
        ++OutEntries;
    }
    for (int32 Index = 0; Index < 4; ++Index)
    {
        Bytes[Index] = static_cast<uint8>(static_cast<uint32>(OutEntries) >> (24 - 8 * Index));
    }
    return Bytes;
}

void BM_DecodePayload(benchmark::State& State)
{
    int32 Entries = 0;
    const TArray<uint8> Bytes = MakePayloadBytes(State.range(0), Entries);
    const int32 Unique = Entries - Entries / 10;
    for (auto _ : State)
    {
        FZorMessagePayload Payload;
        Payload.FromBytes(Bytes);
        if (Payload.Num() != Unique)
        {
            State.SkipWithError("a repeated key did not replace its first value");
            break;
        }
    }
    State.counters["per_entry"] =
        benchmark::Counter(static_cast<double>(Entries),
                           benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

BENCHMARK(BM_MergeTitleFileList)->Arg(ListSizes[0])->Arg(ListSizes[1])->Arg(ListSizes[2]);
BENCHMARK(BM_SweepUserCloudCopies)->Arg(ListSizes[0])->Arg(ListSizes[1])->Arg(ListSizes[2]);
BENCHMARK(BM_DecodePayload)->Arg(PayloadSizes[0])->Arg(PayloadSizes[1])->Arg(PayloadSizes[2]);

FString Name(const char* Benchmark, int64 Size)
{
    return FString::Printf("%s/%lld", Benchmark, static_cast<long long>(Size));
}

/** Entries a payload of Size bytes holds, as MakePayloadBytes builds it. */
int64 PayloadEntries(int64 Size)
{
    int32 Entries = 0;
    MakePayloadBytes(Size, Entries);
    return Entries;
}

/** Each size's cost per entry against the smallest size's: near 1 when the cost grows linearly. */
void PrintPerEntryRatios(const FRatioReporter& Reporter, const char* Benchmark, const int64 (&Sizes)[3],
                         const int64 (&Entries)[3])
{
    for (int32 Index = 1; Index < 3; ++Index)
    {
        const double Ratio = Reporter.Ratio(Name(Benchmark, Sizes[Index]).ToStdString(),
                                            Name(Benchmark, Sizes[0]).ToStdString());
        if (Ratio > 0.0)
        {
            std::printf("per-entry ratio %s %lld / %lld: %.2f\n", Benchmark,
                        static_cast<long long>(Sizes[Index]), static_cast<long long>(Sizes[0]),
                        Ratio * static_cast<double>(Entries[0]) / static_cast<double>(Entries[Index]));
        }
    }
}
} // namespace

int main(int argc, char** argv)
{
    return RunBenchmarksWithRatios(
        argc, argv,
        [](const FRatioReporter& Reporter)
        {
            PrintPerEntryRatios(Reporter, "BM_MergeTitleFileList", ListSizes, ListSizes);
            PrintPerEntryRatios(Reporter, "BM_SweepUserCloudCopies", ListSizes, ListSizes);
            const int64 Entries[3] = {PayloadEntries(PayloadSizes[0]), PayloadEntries(PayloadSizes[1]),
                                      PayloadEntries(PayloadSizes[2])};
            PrintPerEntryRatios(Reporter, "BM_DecodePayload", PayloadSizes, Entries);
        });
}
