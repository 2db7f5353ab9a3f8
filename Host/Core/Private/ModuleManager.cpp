#include "Core/ModuleManager.h"

FModuleManager& FModuleManager::Get()
{
    static FModuleManager Instance;
    return Instance;
}

void FModuleManager::RegisterModule(const FString& Name, FInitializer Initializer)
{
    std::lock_guard Guard(Mutex);
    Initializers.Add(Name, std::move(Initializer));
}

IModuleInterface* FModuleManager::LoadModule(const FString& Name)
{
    std::lock_guard Guard(Mutex);
    if (const FLoadedModule* Existing = Loaded.Find(Name))
    {
        // A module being started that is asked for again (a dependency cycle) is handed out as it is.
        return Existing->Module.get();
    }
    const FInitializer* Initializer = Initializers.Find(Name);
    if (!Initializer || !*Initializer)
    {
        UE_LOG(LogCore, Warning, "No module named %s is registered", *Name);
        return nullptr;
    }
    std::unique_ptr<IModuleInterface> Module((*Initializer)());
    if (!Module)
    {
        UE_LOG(LogCore, Warning, "Module %s could not be created", *Name);
        return nullptr;
    }
    IModuleInterface* Instance = Module.get();
    FLoadedModule& Entry = Loaded.Add(Name, FLoadedModule{std::move(Module)});
    Instance->StartupModule();
    Entry.bStarted = true;
    LoadOrder.Add(Name);
    return Instance;
}

bool FModuleManager::UnloadModule(const FString& Name)
{
    std::lock_guard Guard(Mutex);
    FLoadedModule* Entry = Loaded.Find(Name);
    if (!Entry || !Entry->bStarted || Entry->bShuttingDown)
    {
        return false;
    }
    Entry->bShuttingDown = true;
    LoadOrder.Remove(Name);
    Entry->Module->ShutdownModule();
    const std::unique_ptr<IModuleInterface> Module = std::move(Entry->Module);
    Loaded.Remove(Name);
    return true;
}

void FModuleManager::UnloadAllModules()
{
    std::lock_guard Guard(Mutex);
    const TArray<FString> Order = LoadOrder;
    for (int32 Index = Order.Num() - 1; Index >= 0; --Index)
    {
        if (IModuleInterface* Module = GetModule(Order[Index]))
        {
            Module->PreUnloadCallback();
        }
    }
    while (!LoadOrder.IsEmpty())
    {
        UnloadModule(LoadOrder.Last());
    }
}

IModuleInterface* FModuleManager::GetModule(const FString& Name) const
{
    std::lock_guard Guard(Mutex);
    const FLoadedModule* Entry = Loaded.Find(Name);
    return Entry ? Entry->Module.get() : nullptr;
}

bool FModuleManager::IsModuleLoaded(const FString& Name) const
{
    return GetModule(Name) != nullptr;
}
