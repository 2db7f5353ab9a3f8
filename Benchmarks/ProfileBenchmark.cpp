// Applying a full profile of 10,000 items and then 1,000 deltas, against parsing the same two responses
// alone: the application should cost a small multiple of the parse it cannot avoid.
#include "Profile/ZorProfile.h"
#include "RatioReporter.h"
#include "Json/Json.h"

namespace
{
constexpr int32 NumItems = 10000;
constexpr int32 NumDeltas = 1000;

/** Opens response application to the benchmark. */
class UBenchProfile : public UZorProfile
{
    DECLARE_OBJECT_CLASS(UBenchProfile, UZorProfile)

    using UZorProfile::HandleZorResponse;
};

FString MakeFullProfile()
{
    FString Items;
    for (int32 Index = 0; Index < NumItems; ++Index)
    {
        Items +=
            FString::Printf(R"(%s"item-%d":{"templateId":"%s.t%d","quantity":%d,"attributes":{"level":%d,)"
                            R"("favorite":%s,"tag":"t%d"}})",
                            Index ? "," : "", Index, Index % 3 ? "weapon" : "armor", Index % 50,
                            Index % 7 + 1, Index % 20, Index % 2 ? "true" : "false", Index);
    }
    return FString::Printf(
        R"({"serverTime":"2030-01-01T00:00:00.000Z","profileRevision":1,"profileChanges":[)"
        R"({"changeType":"fullProfileUpdate","profile":{"version":"bench","stats":{"attributes":)"
        R"({"xp":1000,"level":12,"title":"hero"}},"items":{%s}}}],"notifications":[]})",
        *Items);
}

/** A mix of the delta kinds, each touching a held item. */
FString MakeDeltas()
{
    FString Changes;
    for (int32 Index = 0; Index < NumDeltas; ++Index)
    {
        const int32 Item = Index * 7 % NumItems;
        const char* const Separator = Index ? "," : "";
        switch (Index % 5)
        {
        case 0:
            Changes +=
                FString::Printf(R"(%s{"changeType":"itemQuantityChanged","itemId":"item-%d","quantity":%d})",
                                Separator, Item, Index);
            break;
        case 1:
            Changes += FString::Printf(R"(%s{"changeType":"itemAttrChanged","itemId":"item-%d",)"
                                       R"("attributeName":"level","attributeValue":%d})",
                                       Separator, Item, Index);
            break;
        case 2:
            Changes +=
                FString::Printf(R"(%s{"changeType":"itemAdded","itemId":"new-%d","item":{"templateId":)"
                                R"("gem.t%d","quantity":1,"attributes":{"cut":"round"}}})",
                                Separator, Index, Index % 10);
            break;
        case 3:
            Changes +=
                FString::Printf(R"(%s{"changeType":"itemRemoved","itemId":"item-%d"})", Separator, Item);
            break;
        default:
            Changes += FString::Printf(R"(%s{"changeType":"statModified","name":"xp","value":%d})", Separator,
                                       Index);
            break;
        }
    }
    return FString::Printf(R"({"profileRevision":2,"profileChanges":[%s]})", *Changes);
}

const FString& FullProfileJson()
{
    static const FString Json = MakeFullProfile();
    return Json;
}

const FString& DeltasJson()
{
    static const FString Json = MakeDeltas();
    return Json;
}

TSharedPtr<FJsonObject> ParseObject(const FString& Json)
{
    TSharedPtr<FJsonObject> Object;
    FJsonSerializer::Deserialize(TJsonReaderFactory<>::Create(Json), Object);
    return Object;
}

void BM_ParseProfileResponses(benchmark::State& State)
{
    for (auto _ : State)
    {
        benchmark::DoNotOptimize(ParseObject(FullProfileJson()));
        benchmark::DoNotOptimize(ParseObject(DeltasJson()));
    }
}
BENCHMARK(BM_ParseProfileResponses)->Unit(benchmark::kMillisecond);

void BM_ApplyFullProfileThenDeltas(benchmark::State& State)
{
    for (auto _ : State)
    {
        UBenchProfile Profile;
        FZorQueryResult Result;
        Profile.HandleZorResponse(ParseObject(FullProfileJson()), Result);
        Profile.HandleZorResponse(ParseObject(DeltasJson()), Result);
        benchmark::DoNotOptimize(Profile.GetProfileRevision());
        if (Profile.GetItem("new-2") == nullptr || Profile.GetItem("item-21") != nullptr)
        {
            State.SkipWithError("the deltas were not applied");
            break;
        }
    }
}
BENCHMARK(BM_ApplyFullProfileThenDeltas)->Unit(benchmark::kMillisecond);
} // namespace

IMPLEMENT_OBJECT_CLASS(UBenchProfile, "/Script/ProfileBenchmark", CLASS_None)

int main(int argc, char** argv)
{
    // The change lines would measure the terminal, not the profile.
    LogOnlineGame.SetVerbosity(ELogVerbosity::Warning);
    return RunBenchmarksWithRatios(
        argc, argv,
        [](const FRatioReporter& Reporter)
        { Reporter.PrintRatio("apply/parse", "BM_ApplyFullProfileThenDeltas", "BM_ParseProfileResponses"); });
}
