// Untrusted profile replies through the profile's response application: a reply is applied to a fresh
// profile, then the same reply again as if it were the next answer, so both the full-profile path and the
// change deltas on held items run on hostile input. Any crash, leak or undefined behaviour aborts.
#include <cstddef>
#include <cstdint>

#include "Profile/ZorProfile.h"
#include "Json/Json.h"

namespace
{
/** Opens the response application to the fuzzer. */
class UFuzzProfile : public UZorProfile
{
    DECLARE_OBJECT_CLASS(UFuzzProfile, UZorProfile)

public:
    using UZorProfile::HandleZorResponse;
};
IMPLEMENT_OBJECT_CLASS(UFuzzProfile, "/Script/ProfileResponseFuzzer", CLASS_None)
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size)
{
    static const bool bQuiet = []
    {
        LogOnlineGame.SetVerbosity(ELogVerbosity::NoLogging);
        return true;
    }();
    (void)bQuiet;

    TSharedPtr<FJsonObject> Reply;
    const FString Text(reinterpret_cast<const char*>(Data), static_cast<int32>(Size));
    if (!FJsonSerializer::Deserialize(TJsonReaderFactory<>::Create(Text), Reply))
    {
        return 0;
    }
    UFuzzProfile* Profile = NewObject<UFuzzProfile>();
    Profile->AddToRoot();
    for (int32 Pass = 0; Pass < 2; ++Pass)
    {
        FZorQueryResult Result;
        Profile->HandleZorResponse(Reply, Result);
    }
    Profile->ToDebugString();
    Profile->RemoveFromRoot();
    CollectGarbage();
    return 0;
}
