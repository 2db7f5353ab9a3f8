// Parsing a profile-sized document into our values, against RapidJSON building its own document from the same
// text. Prints the ratio of the two times (ours / baseline) after the runs.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>

#include <rapidjson/document.h>

#include "Json/Json.h"

namespace
{
const char* const OursName = "BM_ParseIntoJsonValues";
const char* const BaselineName = "BM_RapidJsonDocumentParse";

/** A player profile of about 1 MB: stats, then many items with attributes, nested objects and arrays. */
FString MakeProfileDocument()
{
    FString Text;
    auto Writer = TJsonWriterFactory<TCHAR, TCondensedJsonPrintPolicy<TCHAR>>::Create(&Text);
    Writer->WriteObjectStart();
    Writer->WriteValue("profileId", "athena");
    Writer->WriteValue("profileRevision", int64{123456});
    Writer->WriteValue("serverTime", "2026-12-07T04:24:55.000Z");
    Writer->WriteObjectStart("stats");
    Writer->WriteObjectStart("attributes");
    for (int32 Stat = 0; Stat < 200; ++Stat)
    {
        Writer->WriteValue(FString::Printf("stat_%d", Stat), Stat * 1.25);
    }
    Writer->WriteObjectEnd();
    Writer->WriteObjectEnd();
    Writer->WriteObjectStart("items");
    for (int32 Item = 0; Text.Len() < 1000000; ++Item)
    {
        Writer->WriteObjectStart(FString::Printf("%08x-4f1c-9a7e-%012d", Item * 2654435761u, Item));
        Writer->WriteValue("templateId",
                           FString::Printf("Weapon:wid_assault_%d_tier%d", Item % 97, Item % 5));
        Writer->WriteValue("quantity", Item % 10 + 1);
        Writer->WriteObjectStart("attributes");
        Writer->WriteValue("level", Item % 60);
        Writer->WriteValue("xp", Item * 37.5);
        Writer->WriteValue("favorite", Item % 3 == 0);
        Writer->WriteValue("item_seen", Item % 2 == 0);
        Writer->WriteValue("display_name", "Reliable \"Thunder\" Rifle \xE2\x98\x85");
        Writer->WriteArrayStart("alterations");
        for (int32 Alteration = 0; Alteration < 4; ++Alteration)
        {
            Writer->WriteValue(FString::Printf("Alteration:aid_%d", (Item + Alteration) % 41));
        }
        Writer->WriteArrayEnd();
        Writer->WriteObjectStart("loadout");
        Writer->WriteValue("slot", Item % 6);
        Writer->WriteNull("squad");
        Writer->WriteObjectEnd();
        Writer->WriteObjectEnd();
        Writer->WriteObjectEnd();
    }
    Writer->WriteObjectEnd();
    Writer->WriteObjectEnd();
    if (!Writer->Close())
    {
        std::fprintf(stderr, "benchmark document could not be written\n");
        std::abort();
    }
    return Text;
}

const FString& ProfileDocument()
{
    static const FString Document = MakeProfileDocument();
    return Document;
}

void BM_ParseIntoJsonValues(benchmark::State& State)
{
    const FString& Text = ProfileDocument();
    for (auto _ : State)
    {
        TSharedPtr<FJsonObject> Object;
        if (!FJsonSerializer::Deserialize(TJsonReaderFactory<>::Create(Text), Object))
        {
            State.SkipWithError("parse failed");
            return;
        }
        benchmark::DoNotOptimize(Object.Get());
    }
    State.SetBytesProcessed(State.iterations() * Text.Len());
}
BENCHMARK(BM_ParseIntoJsonValues)->Unit(benchmark::kMillisecond);

void BM_RapidJsonDocumentParse(benchmark::State& State)
{
    const FString& Text = ProfileDocument();
    for (auto _ : State)
    {
        rapidjson::Document Document;
        Document.Parse(*Text, Text.Len());
        if (Document.HasParseError())
        {
            State.SkipWithError("parse failed");
            return;
        }
        benchmark::DoNotOptimize(&Document);
    }
    State.SetBytesProcessed(State.iterations() * Text.Len());
}
BENCHMARK(BM_RapidJsonDocumentParse)->Unit(benchmark::kMillisecond);

/** Shows the usual table and keeps each benchmark's best time per iteration for the ratio. */
class FRatioReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run>& Runs) override
    {
        for (const Run& Each : Runs)
        {
            if (Each.run_type != Run::RT_Iteration || Each.error_occurred)
            {
                continue;
            }
            const std::string Name = Each.benchmark_name();
            const double Time = Each.GetAdjustedRealTime();
            auto Found = BestTimes.find(Name);
            if (Found == BestTimes.end() || Time < Found->second)
            {
                BestTimes[Name] = Time;
            }
        }
        ConsoleReporter::ReportRuns(Runs);
    }

    void PrintRatio() const
    {
        const auto Ours = BestTimes.find(OursName);
        const auto Baseline = BestTimes.find(BaselineName);
        if (Ours == BestTimes.end() || Baseline == BestTimes.end() || Baseline->second <= 0.0)
        {
            return;
        }
        std::printf("document: %d bytes\n", ProfileDocument().Len());
        std::printf("ratio ours / baseline: %.2f\n", Ours->second / Baseline->second);
    }

private:
    std::map<std::string, double> BestTimes;
};
} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
    {
        return 1;
    }
    FRatioReporter Reporter;
    benchmark::RunSpecifiedBenchmarks(&Reporter);
    Reporter.PrintRatio();
    benchmark::Shutdown();
    return 0;
}
