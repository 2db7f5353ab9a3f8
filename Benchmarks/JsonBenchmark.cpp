// A profile-sized document through our values against RapidJSON doing the same work: parsing (UTF-8 checked,
// numbers at full precision, the tree freed inside the loop as ours is), condensed writing of the same tree,
// and the heap each parsed tree holds. Prints each ratio (ours / baseline) after the runs.
#include <benchmark/benchmark.h>

#include <malloc.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>

#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include "RatioReporter.h"
#include "Json/Json.h"

namespace
{
constexpr unsigned BaselineParseFlags =
    rapidjson::kParseValidateEncodingFlag | rapidjson::kParseFullPrecisionFlag;

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
        Document.Parse<BaselineParseFlags>(*Text, Text.Len());
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

void BM_WriteCondensed(benchmark::State& State)
{
    TSharedPtr<FJsonObject> Object;
    FJsonSerializer::Deserialize(TJsonReaderFactory<>::Create(ProfileDocument()), Object);
    for (auto _ : State)
    {
        FString Out;
        if (!FJsonSerializer::Serialize(
                Object.ToSharedRef(),
                TJsonWriterFactory<TCHAR, TCondensedJsonPrintPolicy<TCHAR>>::Create(&Out)))
        {
            State.SkipWithError("write failed");
            return;
        }
        benchmark::DoNotOptimize(*Out);
    }
}
BENCHMARK(BM_WriteCondensed)->Unit(benchmark::kMillisecond);

void BM_RapidJsonWriter(benchmark::State& State)
{
    rapidjson::Document Document;
    Document.Parse<BaselineParseFlags>(*ProfileDocument(), ProfileDocument().Len());
    for (auto _ : State)
    {
        rapidjson::StringBuffer Buffer;
        rapidjson::Writer<rapidjson::StringBuffer> Writer(Buffer);
        Document.Accept(Writer);
        benchmark::DoNotOptimize(Buffer.GetString());
    }
}
BENCHMARK(BM_RapidJsonWriter)->Unit(benchmark::kMillisecond);

/** Heap in use, mapped blocks included. */
size_t HeapInUse()
{
    const struct mallinfo2 Info = mallinfo2();
    return Info.uordblks + Info.hblkhd;
}

/** Heap that Parse's result holds once the parse is done and its scratch is gone. */
template <typename ParseFunction> size_t HeldBy(ParseFunction Parse)
{
    malloc_trim(0);
    const size_t Before = HeapInUse();
    auto Held = Parse();
    const size_t After = HeapInUse();
    benchmark::DoNotOptimize(Held.get());
    return After - Before;
}

void PrintHeldMemory()
{
    const FString& Text = ProfileDocument();
    const auto ParseOurs = [&Text]()
    {
        TSharedPtr<FJsonObject> Object;
        FJsonSerializer::Deserialize(TJsonReaderFactory<>::Create(Text), Object);
        return std::shared_ptr<FJsonObject>(Object);
    };
    // The thread keeps its parser buffers after the first parse; they belong to no tree.
    ParseOurs();
    const size_t Ours = HeldBy(ParseOurs);
    const size_t Baseline = HeldBy(
        [&Text]()
        {
            auto Document = std::make_unique<rapidjson::Document>();
            Document->Parse<BaselineParseFlags>(*Text, Text.Len());
            return Document;
        });
    std::printf("held tree: ours %zu bytes, baseline %zu bytes\n", Ours, Baseline);
    std::printf("ratio memory (ours / baseline): %.2f\n",
                static_cast<double>(Ours) / static_cast<double>(Baseline));
}
} // namespace

int main(int argc, char** argv)
{
    return RunBenchmarksWithRatios(
        argc, argv,
        [](const FRatioReporter& Reporter)
        {
            std::printf("document: %d bytes\n", ProfileDocument().Len());
            Reporter.PrintRatio("parse", "BM_ParseIntoJsonValues", "BM_RapidJsonDocumentParse");
            Reporter.PrintRatio("write", "BM_WriteCondensed", "BM_RapidJsonWriter");
            PrintHeldMemory();
        });
}
