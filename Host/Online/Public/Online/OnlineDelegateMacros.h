#pragma once

#include "CoreMinimal.h"

/** Local players an interface keeps per-player event lists for. */
constexpr int32 MAX_LOCAL_PLAYERS = 4;

/*
 * Event trios of the online interfaces: Add<Event>Delegate, Clear<Event>Delegate and Trigger<Event>Delegates.
 * F<Event> must be a multicast delegate type and F<Event>Delegate its single-cast binding.
 */
#define ONLINE_DELEGATE_COMMON(Name)                                                                         \
protected:                                                                                                   \
    F##Name Name##Delegates;                                                                                 \
                                                                                                             \
public:                                                                                                      \
    virtual FDelegateHandle Add##Name##Delegate(const F##Name##Delegate& Delegate)                           \
    {                                                                                                        \
        return Name##Delegates.Add(Delegate);                                                                \
    }                                                                                                        \
    virtual void Clear##Name##Delegate(FDelegateHandle& Handle)                                              \
    {                                                                                                        \
        Name##Delegates.Remove(Handle);                                                                      \
        Handle.Reset();                                                                                      \
    }

#define DEFINE_ONLINE_DELEGATE(Name)                                                                         \
    ONLINE_DELEGATE_COMMON(Name)                                                                             \
    virtual void Trigger##Name##Delegates()                                                                  \
    {                                                                                                        \
        Name##Delegates.Broadcast();                                                                         \
    }

#define DEFINE_ONLINE_DELEGATE_ONE_PARAM(Name, P1)                                                           \
    ONLINE_DELEGATE_COMMON(Name)                                                                             \
    virtual void Trigger##Name##Delegates(P1 A1)                                                             \
    {                                                                                                        \
        Name##Delegates.Broadcast(A1);                                                                       \
    }

#define DEFINE_ONLINE_DELEGATE_TWO_PARAM(Name, P1, P2)                                                       \
    ONLINE_DELEGATE_COMMON(Name)                                                                             \
    virtual void Trigger##Name##Delegates(P1 A1, P2 A2)                                                      \
    {                                                                                                        \
        Name##Delegates.Broadcast(A1, A2);                                                                   \
    }

#define DEFINE_ONLINE_DELEGATE_THREE_PARAM(Name, P1, P2, P3)                                                 \
    ONLINE_DELEGATE_COMMON(Name)                                                                             \
    virtual void Trigger##Name##Delegates(P1 A1, P2 A2, P3 A3)                                               \
    {                                                                                                        \
        Name##Delegates.Broadcast(A1, A2, A3);                                                               \
    }

#define DEFINE_ONLINE_DELEGATE_FOUR_PARAM(Name, P1, P2, P3, P4)                                              \
    ONLINE_DELEGATE_COMMON(Name)                                                                             \
    virtual void Trigger##Name##Delegates(P1 A1, P2 A2, P3 A3, P4 A4)                                        \
    {                                                                                                        \
        Name##Delegates.Broadcast(A1, A2, A3, A4);                                                           \
    }

/* Per-local-player events: one list per local user number, broadcast with the number first; numbers outside
 * the range are ignored. */
#define ONLINE_PLAYER_DELEGATE_COMMON(Name)                                                                  \
protected:                                                                                                   \
    F##Name Name##Delegates[MAX_LOCAL_PLAYERS];                                                              \
                                                                                                             \
public:                                                                                                      \
    virtual FDelegateHandle Add##Name##Delegate(int32 LocalUserNum, const F##Name##Delegate& Delegate)       \
    {                                                                                                        \
        return (LocalUserNum >= 0 && LocalUserNum < MAX_LOCAL_PLAYERS)                                       \
                   ? Name##Delegates[LocalUserNum].Add(Delegate)                                             \
                   : FDelegateHandle();                                                                      \
    }                                                                                                        \
    virtual void Clear##Name##Delegate(int32 LocalUserNum, FDelegateHandle& Handle)                          \
    {                                                                                                        \
        if (LocalUserNum >= 0 && LocalUserNum < MAX_LOCAL_PLAYERS)                                           \
        {                                                                                                    \
            Name##Delegates[LocalUserNum].Remove(Handle);                                                    \
            Handle.Reset();                                                                                  \
        }                                                                                                    \
    }

#define DEFINE_ONLINE_PLAYER_DELEGATE_ONE_PARAM(Name, P1)                                                    \
    ONLINE_PLAYER_DELEGATE_COMMON(Name)                                                                      \
    virtual void Trigger##Name##Delegates(int32 LocalUserNum, P1 A1)                                         \
    {                                                                                                        \
        if (LocalUserNum >= 0 && LocalUserNum < MAX_LOCAL_PLAYERS)                                           \
        {                                                                                                    \
            Name##Delegates[LocalUserNum].Broadcast(LocalUserNum, A1);                                       \
        }                                                                                                    \
    }

#define DEFINE_ONLINE_PLAYER_DELEGATE_THREE_PARAM(Name, P1, P2, P3)                                          \
    ONLINE_PLAYER_DELEGATE_COMMON(Name)                                                                      \
    virtual void Trigger##Name##Delegates(int32 LocalUserNum, P1 A1, P2 A2, P3 A3)                           \
    {                                                                                                        \
        if (LocalUserNum >= 0 && LocalUserNum < MAX_LOCAL_PLAYERS)                                           \
        {                                                                                                    \
            Name##Delegates[LocalUserNum].Broadcast(LocalUserNum, A1, A2, A3);                               \
        }                                                                                                    \
    }
