#pragma once

#include "Online/OnlineSubsystem.h"

/** Voice chat of a subsystem. */
class IOnlineVoice
{
public:
    virtual ~IOnlineVoice() = default;
    virtual bool Init() = 0;
    virtual void Tick(float DeltaTime) = 0;
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
