#include "AccountCreation/ZorAccountChecks.h"

namespace
{
bool IsWord(const FString& Text)
{
    return !Text.IsEmpty() && !Text.Contains(" ");
}
} // namespace

bool ZorAccountChecks::IsEmailValid(const FString& Email)
{
    return IsWord(Email) && Email.Contains("@") && Email.Contains(".");
}

bool ZorAccountChecks::IsDisplayNameValid(const FString& DisplayName)
{
    return IsWord(DisplayName);
}

bool ZorAccountChecks::IsPasswordValid(const FString& Password)
{
    return IsWord(Password);
}
