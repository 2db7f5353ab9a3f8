#include "Online/OnlineVoice.h"

bool FOnlineVoiceImpl::Init()
{
    UE_LOG(LogOnline, Verbose, "Voice is not available for %s: this host has no audio devices",
           Subsystem ? *Subsystem->GetInstanceName() : "no subsystem");
    return false;
}
