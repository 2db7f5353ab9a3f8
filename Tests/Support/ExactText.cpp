#include "ExactText.h"

namespace ZorExact
{
namespace
{
bool HoldsKey(const FJsonObject& Object, const char* Key)
{
    for (const auto& Entry : Object.Values)
    {
        if (Entry.Key.Equals(Key, ESearchCase::CaseSensitive))
        {
            return true;
        }
    }
    return false;
}
} // namespace

FString Header(const FInMemoryHttpTransport::FStartedRequest& Request, const FString& Name)
{
    for (const auto& Entry : Request.Headers)
    {
        if (Entry.Key.Equals(Name, ESearchCase::CaseSensitive))
        {
            return Entry.Value;
        }
    }
    return FString();
}

::testing::AssertionResult HasKeys(const TSharedPtr<FJsonObject>& Object,
                                   std::initializer_list<const char*> Keys)
{
    if (!Object)
    {
        return ::testing::AssertionFailure() << "no JSON object";
    }
    for (const char* Key : Keys)
    {
        if (!HoldsKey(*Object, Key))
        {
            TArray<FString> Held;
            for (const auto& Entry : Object->Values)
            {
                Held.Add(Entry.Key);
            }
            return ::testing::AssertionFailure()
                   << "no key spelt \"" << Key << "\" among: " << *FString::Join(Held, ", ");
        }
    }
    return ::testing::AssertionSuccess();
}
} // namespace ZorExact
