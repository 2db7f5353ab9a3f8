#pragma once

#include "Core/Array.h"
#include "Core/CriticalSection.h"
#include "Core/Delegate.h"
#include "Core/Function.h"
#include "Core/Log.h"
#include "Core/Map.h"
#include "Core/SharedPointer.h"
#include "Core/String.h"
#include "Core/Types.h"
