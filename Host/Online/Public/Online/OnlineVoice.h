#pragma once

#include "Online/OnlineSubsystem.h"

/** Voice chat of a subsystem. */
class IOnlineVoice
{
public:
    virtual ~IOnlineVoice() = default;
    virtual bool Init() = 0;
    virtual void Tick(float DeltaTime) = 0;

    // Talkers of a session; a subsystem without voice devices has nothing to do for them.
    virtual bool RegisterLocalTalker(uint32 LocalUserNum) { return LocalUserNum < 4; }
    virtual void UnregisterLocalTalkers() {}
    virtual bool RegisterRemoteTalker(const FUniqueNetId& UniqueId) { return UniqueId.IsValid(); }
    virtual bool UnregisterRemoteTalker(const FUniqueNetId& UniqueId) { return UniqueId.IsValid(); }
    virtual void RemoveAllRemoteTalkers() {}
    virtual void ProcessMuteChangeNotification() {}
};

/**
 * The engine's voice implementation. This host has no audio capture or playback devices, so Init reports
 * failure and the subsystem drops it.
 */
class FOnlineVoiceImpl : public IOnlineVoice
{
public:
    explicit FOnlineVoiceImpl(IOnlineSubsystem* InSubsystem) : Subsystem(InSubsystem) {}
    bool Init() override;
    void Tick(float) override {}

private:
    IOnlineSubsystem* Subsystem;
};
