#pragma once

#include "Common/ZorLoginStamp.h"
#include "Common/ZorRedact.h"
#include "Common/ZorUrl.h"
#include "CoreMinimal.h"

/** One request of an operation, described once; FZorCallSet builds, logs, sends and tracks it. */
struct FZorCall
{
    /** Names the completion and failure lines: "<Operation> request complete. ..." and "... request failed.
     * %s". */
    FString Operation;
    /** Names the completion line instead of Operation, where the service words the two differently. */
    FString CompleteName;
    /** A completion line worded apart (a heartbeat's): this text and " code=%d" alone. */
    FString CompleteLine;
    FString Verb = "GET";
    /** Base URL and path template; its placeholders are replaced by Values, encoded (see ZorUrl::Substitute).
     */
    FString Url;
    TArray<FZorUrlValue> Values;
    ESearchCase::Type PlaceholderCase = ESearchCase::IgnoreCase;
    /** Empty sends no "Content-Type" header. */
    FString ContentType = "application/json";
    FString Body;
    /** Headers the roads do not set, in this order after "Content-Type". */
    TArray<TPair<FString, FString>> Headers;
    /** An owner key (such as "login:0"); FZorCallSet::IsPending finds calls in flight by it. */
    FString PendingKey;
    /**
     * The login the call is made for; the user sends take it themselves. Once that login has ended the call
     * counts for no owner key and its reply fails with "No response" before its handler reads it.
     */
    FZorLoginStamp Login;
    /** Values masked in every line logged about this call (URL, start line). */
    TArray<FString> Secrets;
    /** Placeholders whose values ResolveLoggedUrl masks (see AddSecretValue). */
    TArray<FString> SecretPlaceholders;
    /** The one start line, logged masked; empty logs "Starting <Operation> request.". */
    FString SendingLine;
    ELogVerbosity::Type SendingVerbosity = ELogVerbosity::Verbose;
    ELogVerbosity::Type CompleteVerbosity = ELogVerbosity::Verbose;
    /** A refused code's error text is "Invalid response. code=%d error=%s" with the body, or, when set (the
     * account service's rule), a JSON reply's "errorMessage" alone. */
    bool bServiceErrorText = false;

    /** A placeholder whose value is a secret (a token in the path): masked wherever the URL is logged. */
    void AddSecretValue(const FString& Name, const FString& Value)
    {
        Values.Add({Name, Value});
        Secrets.Add(Value);
        SecretPlaceholders.Add(Name);
    }

    /** The URL with its placeholders replaced. */
    FString ResolveUrl() const { return ZorUrl::Substitute(Url, Values, PlaceholderCase); }

    /** The URL as log lines show it: secret values masked where they stand, however the URL encodes them. */
    FString ResolveLoggedUrl() const
    {
        TArray<FZorUrlValue> Shown = Values;
        for (FZorUrlValue& Value : Shown)
        {
            if (SecretPlaceholders.Contains(Value.Key))
            {
                Value.Value = ZorRedact::Secret(Value.Value);
            }
        }
        return ZorUrl::Substitute(Url, Shown, PlaceholderCase);
    }
};
