#pragma once

#include "Core/Log.h"

/** The host core's own messages: files, threads, modules. */
DECLARE_LOG_CATEGORY_EXTERN(LogCore, Log, All)
