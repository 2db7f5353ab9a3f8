// Untrusted text through the call helper's URL and log shaping: a value from a player or the service
// substituted into a path segment must stay one segment and add no query part, in a query value it must add
// no parameter, a body shaped for a log line stays bounded, and a marked secret is masked wherever it stands.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "Common/ZorRedact.h"
#include "Common/ZorUrl.h"

namespace
{
int32 Count(const FString& Text, TCHAR Character)
{
    int32 Found = 0;
    for (int32 Index = 0; Index < Text.Len(); ++Index)
    {
        Found += Text[Index] == Character ? 1 : 0;
    }
    return Found;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size)
{
    const FString Value(reinterpret_cast<const char*>(Data), static_cast<int32>(Size));
    const FString Url = ZorUrl::Substitute("http://h/a/`id/b?x=`q&y=1", {{"`id", Value}, {"`q", Value}});
    const int32 QueryStart = Url.Find("?");
    if (QueryStart == INDEX_NONE || Count(Url.Left(QueryStart), '/') != 5 ||
        Count(Url.Mid(QueryStart), '&') != 1 || Count(Url, '#') != 0)
    {
        std::abort();
    }
    if (ZorRedact::Body(Value).Len() > ZorRedact::MaxLoggedBody + 32)
    {
        std::abort();
    }
    // A secret whose characters every encoding writes its own way, sought in hostile text: the search ends,
    // and no raw copy is left.
    const FString Secret("\\\\%+ \"/&\xC3\xA9");
    if (ZorRedact::Text(Value, {Secret}).Contains(Secret, ESearchCase::CaseSensitive))
    {
        std::abort();
    }
    return 0;
}
