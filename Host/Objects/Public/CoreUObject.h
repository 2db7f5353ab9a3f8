#pragma once

#include "CoreMinimal.h"
#include "Internationalization/Text.h"
#include "UObject/Class.h"
#include "UObject/GarbageCollection.h"
#include "UObject/Object.h"
#include "UObject/WeakObjectPtr.h"
