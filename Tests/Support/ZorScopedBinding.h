#pragma once

#include <type_traits>
#include <utility>

#include "CoreMinimal.h"

/**
 * One handler on a service's event for as long as this lives. Declared after the locals its handler captures,
 * it unbinds before they go: a test that stops early never leaves a handler behind for fixture teardown,
 * which shuts the services down and fires what they still owe, to run into a dead stack frame. A service that
 * is already gone has nothing left to unbind.
 */
class FZorScopedBinding
{
public:
    template <typename TService, typename TOwner, typename TDelegate>
    FZorScopedBinding(const TSharedPtr<TService>& Service, FDelegateHandle (TOwner::*Add)(const TDelegate&),
                      void (TOwner::*Clear)(FDelegateHandle&),
                      const std::type_identity_t<TDelegate>& Delegate)
        : Unbind(
              [Weak = TWeakPtr<TService>(Service), Clear, Handle = ((*Service).*Add)(Delegate)]() mutable
              {
                  if (const TSharedPtr<TService> Alive = Weak.Pin())
                  {
                      ((*Alive).*Clear)(Handle);
                  }
              })
    {
    }
    /** The same for an event kept per local user. */
    template <typename TService, typename TOwner, typename TDelegate>
    FZorScopedBinding(const TSharedPtr<TService>& Service,
                      FDelegateHandle (TOwner::*Add)(int32, const TDelegate&),
                      void (TOwner::*Clear)(int32, FDelegateHandle&), int32 LocalUserNum,
                      const std::type_identity_t<TDelegate>& Delegate)
        : Unbind(
              [Weak = TWeakPtr<TService>(Service), Clear, LocalUserNum,
               Handle = ((*Service).*Add)(LocalUserNum, Delegate)]() mutable
              {
                  if (const TSharedPtr<TService> Alive = Weak.Pin())
                  {
                      ((*Alive).*Clear)(LocalUserNum, Handle);
                  }
              })
    {
    }
    /** Any other binding, undone by Unbind. */
    explicit FZorScopedBinding(TFunction<void()> InUnbind) : Unbind(std::move(InUnbind)) {}
    ~FZorScopedBinding() { Unbind(); }
    FZorScopedBinding(const FZorScopedBinding&) = delete;
    FZorScopedBinding& operator=(const FZorScopedBinding&) = delete;

private:
    TFunction<void()> Unbind;
};

#define ZOR_SCOPED_BINDING_CONCAT_INNER(A, B) A##B
#define ZOR_SCOPED_BINDING_CONCAT(A, B) ZOR_SCOPED_BINDING_CONCAT_INNER(A, B)

/**
 * Binds a handler to Service's Event (as OnLoginComplete) until the end of the enclosing scope; the arguments
 * after the event are those of its Add function (the local user number first for a per-user event).
 */
#define ZOR_BIND_SCOPED(Service, Event, ...)                                                                 \
    const FZorScopedBinding ZOR_SCOPED_BINDING_CONCAT(ScopedBinding, __LINE__)(                              \
        Service, &std::remove_cvref_t<decltype(*(Service))>::Add##Event##Delegate,                           \
        &std::remove_cvref_t<decltype(*(Service))>::Clear##Event##Delegate, __VA_ARGS__)
