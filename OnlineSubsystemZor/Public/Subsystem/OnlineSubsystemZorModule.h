#pragma once

#include "Core/ModuleManager.h"

/** The module's exported entry: a new module object with no factory; the host starts it up. */
extern "C" IModuleInterface* InitializeModule();

/** The module's name with the host's module manager. */
constexpr const char* OnlineSubsystemZorModuleName = "OnlineSubsystemZor";
