#include "Core/CoreLogging.h"

DEFINE_LOG_CATEGORY(LogCore)
