#pragma once

#include "CoreMinimal.h"

/**
 * Several services answer with a bare JSON array; it is read as the one field of an object:
 * {"Key":Body}. For the key "files", a body that does not begin with "[" (a single object) is first put
 * between brackets, so it reads as a list of one.
 */
FString WrapJsonArrayResponse(const FString& Key, const FString& Body);
