#pragma once

#include "CoreMinimal.h"

/** The checks the account service makes of what a player types, made before a request is sent. */
namespace ZorAccountChecks
{
/** Not empty, holds "@" and ".", and no blank. */
bool IsEmailValid(const FString& Email);
/** Not empty and no blank. */
bool IsDisplayNameValid(const FString& DisplayName);
/** Not empty and no blank. */
bool IsPasswordValid(const FString& Password);
} // namespace ZorAccountChecks
