#pragma once

#include <cstdlib>
#include <memory>
#include <mutex>

#include "Core/Array.h"
#include "Core/CoreLogging.h"
#include "Core/Function.h"
#include "Core/Map.h"
#include "Core/String.h"

/** A loadable part of the program; the module manager owns the instance while it is loaded. */
class IModuleInterface
{
public:
    virtual ~IModuleInterface() = default;
    virtual void StartupModule() {}
    virtual void PreUnloadCallback() {}
    virtual void PostLoadCallback() {}
    virtual void ShutdownModule() {}
    virtual bool SupportsDynamicReloading() { return true; }
    virtual bool SupportsAutomaticShutdown() { return true; }
    virtual bool IsGameModule() const { return false; }
};

/**
 * Loads modules by name from the entry functions that statically linked modules register. Game thread only;
 * a module's StartupModule and ShutdownModule may load, query and unload other modules.
 */
class FModuleManager
{
public:
    using FInitializer = TFunction<IModuleInterface*()>;

    static FModuleManager& Get();

    /** Registers (or replaces) the entry function of a module; loading it later calls the function. */
    void RegisterModule(const FString& Name, FInitializer Initializer);

    /**
     * The loaded module, loading it first when needed: creates it with its entry function and calls its
     * StartupModule once. Null when no entry is registered or the entry returns null.
     */
    IModuleInterface* LoadModule(const FString& Name);
    /** ShutdownModule (the module is still found meanwhile), then deletes it; false when it was not loaded.
     */
    bool UnloadModule(const FString& Name);
    /** PreUnloadCallback on every module, then UnloadModule on each, in reverse load order. */
    void UnloadAllModules();

    IModuleInterface* GetModule(const FString& Name) const;
    bool IsModuleLoaded(const FString& Name) const;

    /** Loads the module; a module that cannot be loaded is a fatal error. */
    template <class T> T& LoadModuleChecked(const FString& Name)
    {
        IModuleInterface* Module = LoadModule(Name);
        if (!Module)
        {
            UE_LOG(LogCore, Fatal, "Required module %s could not be loaded", *Name);
            std::abort();
        }
        return static_cast<T&>(*Module);
    }
    /** The module when it is loaded; never loads it. */
    template <class T> T* GetModulePtr(const FString& Name) const { return static_cast<T*>(GetModule(Name)); }

private:
    struct FLoadedModule
    {
        std::unique_ptr<IModuleInterface> Module;
        /** Set once StartupModule has returned; modules it loaded come earlier in the order. */
        bool bStarted = false;
        /** Set while ShutdownModule runs, which may still look the module up. */
        bool bShuttingDown = false;
    };

    mutable std::recursive_mutex Mutex;
    TMap<FString, FInitializer> Initializers;
    TMap<FString, FLoadedModule> Loaded;
    /** Names of started modules, in the order their StartupModule finished. */
    TArray<FString> LoadOrder;
};
