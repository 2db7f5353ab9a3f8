#pragma once

#include "CoreMinimal.h"
#include "Identity/TokenUpkeepZor.h"
#include "Json/OnlineJsonSerializable.h"

/** Where a token is in its life; the request roads send, wait or cancel by it. */
enum class EAuthTokenState : uint32
{
    None = 0,
    Valid = 1,
    ClientAuthPending = 2,
    Verifying = 3,
    Refreshing = 4,
    Failed = 5,
};

/** An OAuth-style token as the account service sends it, with its local countdown and state. */
class FAuthTokenZor : public FOnlineJsonSerializable
{
public:
    /** Replies longer than this are not tokens; refusing them keeps a hostile reply from growing memory. */
    static constexpr int32 MaxTextLength = 16 * 1024;

    /** Holds a usable access token: not empty and with lifetime left. */
    bool HasValidAccessToken() const { return !access_token.IsEmpty() && expires_in > 0.0; }
    /**
     * Reads a service reply into this record; false when it is not a JSON object or carries an access-token
     * lifetime that is negative, not finite or absurdly long, or texts too long to be tokens.
     */
    bool FromReplyJson(const FString& Json);

    FString access_token;
    double expires_in = 0.0;
    FString token_type;
    FString refresh_token;
    double refresh_expires = 0.0;
    FString account_id;
    FString client_id;
    TMap<FString, FString> additionalInformation;

    double TimeToVerify = 0.0;
    EAuthTokenState TokenState = EAuthTokenState::None;
    uint32 bIsUserToken = 1;

    BEGIN_ONLINE_JSON_SERIALIZER
    ONLINE_JSON_SERIALIZE("access_token", access_token);
    ONLINE_JSON_SERIALIZE("expires_in", expires_in);
    ONLINE_JSON_SERIALIZE("token_type", token_type);
    ONLINE_JSON_SERIALIZE("refresh_token", refresh_token);
    ONLINE_JSON_SERIALIZE("refresh_expires", refresh_expires);
    ONLINE_JSON_SERIALIZE("account_id", account_id);
    ONLINE_JSON_SERIALIZE("client_id", client_id);
    ONLINE_JSON_SERIALIZE_MAP("additionalInformation", additionalInformation);
    END_ONLINE_JSON_SERIALIZER
};

/** The reply of a token verification. */
class FAuthTokenVerifyZor : public FOnlineJsonSerializable
{
public:
    FString client_id;
    FString client_service;
    FString account_id;
    double expires_in = 0.0;
    FString auth_method;

    BEGIN_ONLINE_JSON_SERIALIZER
    ONLINE_JSON_SERIALIZE("client_id", client_id);
    ONLINE_JSON_SERIALIZE("client_service", client_service);
    ONLINE_JSON_SERIALIZE("account_id", account_id);
    ONLINE_JSON_SERIALIZE("expires_in", expires_in);
    ONLINE_JSON_SERIALIZE("auth_method", auth_method);
    END_ONLINE_JSON_SERIALIZER
};

/** The reply of an exchange-code request. */
class FAuthTokenExchangeCodeZor : public FOnlineJsonSerializable
{
public:
    FString code;
    double expiresInSeconds = 0.0;
    FString creatingClientId;
    FString consumingClientId;

    BEGIN_ONLINE_JSON_SERIALIZER
    ONLINE_JSON_SERIALIZE("code", code);
    ONLINE_JSON_SERIALIZE("expiresInSeconds", expiresInSeconds);
    ONLINE_JSON_SERIALIZE("creatingClientId", creatingClientId);
    ONLINE_JSON_SERIALIZE("consumingClientId", consumingClientId);
    END_ONLINE_JSON_SERIALIZER
};

/** One named client's credential and its last verification. */
class FClientOnlineAuth : public FAuthTokenZor
{
public:
    FClientOnlineAuth() { bIsUserToken = 0; }

    FAuthTokenVerifyZor LastVerification;
    FTokenUpkeepZor Upkeep;
};

/** The kinds of auth sessions a kill request ends, sent as the killType query value. */
enum class EAuthTokenKillType : uint32
{
    ALL = 0,
    OTHERS = 1,
    ALL_ACCOUNT_CLIENT = 2,
    OTHERS_ACCOUNT_CLIENT = 3,
};

/** The killType text of a kind; empty for a value outside the four kinds. */
const char* LexToString(EAuthTokenKillType KillType);
