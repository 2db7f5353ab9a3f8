// Parsing a profile-sized document into our values, against RapidJSON building its own document from the same
// text. Prints the ratio of the two times (ours / baseline) after the runs.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>

#include <rapidjson/document.h>

#include "Json/Json.h"
#include "RatioReporter.h"

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

} // namespace

int main(int argc, char** argv)
{
    return RunBenchmarksWithRatios(argc, argv, [](const FRatioReporter& Reporter) {
        std::printf("document: %d bytes\n", ProfileDocument().Len());
        Reporter.PrintRatio("parse", OursName, BaselineName);
    });
}
