#pragma once

#include "AccountCreation/TavoAccountInfo.h"
#include "Json/OnlineJsonSerializable.h"

/** An account record as the service sends it. */
class FTavoAccountInfoJson : public FOnlineJsonSerializable
{
public:
    FTavoAccountInfoJson() = default;
    explicit FTavoAccountInfoJson(const FTavoAccountInfo& InAccountInfo) : AccountInfo(InAccountInfo) {}

    FTavoAccountInfo AccountInfo;

    BEGIN_ONLINE_JSON_SERIALIZER
    ONLINE_JSON_SERIALIZE("email", AccountInfo.email);
    ONLINE_JSON_SERIALIZE("displayName", AccountInfo.displayName);
    ONLINE_JSON_SERIALIZE("id", AccountInfo.id);
    ONLINE_JSON_SERIALIZE("pendingAuth", AccountInfo.pendingAuth);
    END_ONLINE_JSON_SERIALIZER
};

/** The body of a create request: the account without its id, with its password. */
class FCreateTavoAccountJson : public FTavoAccountInfoJson
{
public:
    FCreateTavoAccountJson() = default;
    FCreateTavoAccountJson(const FTavoAccountInfo& InAccountInfo, const FString& InPassword)
        : FTavoAccountInfoJson(InAccountInfo), password(InPassword)
    {
    }

    FString password;

    BEGIN_ONLINE_JSON_SERIALIZER
    ONLINE_JSON_SERIALIZE("email", AccountInfo.email);
    ONLINE_JSON_SERIALIZE("displayName", AccountInfo.displayName);
    ONLINE_JSON_SERIALIZE("password", password);
    ONLINE_JSON_SERIALIZE("pendingAuth", AccountInfo.pendingAuth);
    END_ONLINE_JSON_SERIALIZER
};

/**
 * The body of an update request: the current e-mail, and the new e-mail, display name and password carried
 * in the inherited fields.
 */
class FUpdateTavoAccountJson : public FCreateTavoAccountJson
{
public:
    FUpdateTavoAccountJson() = default;
    FUpdateTavoAccountJson(const FString& InCurrentEmail, const FTavoAccountInfo& InNewAccountInfo,
                           const FString& InNewPassword)
        : FCreateTavoAccountJson(InNewAccountInfo, InNewPassword), currentEmail(InCurrentEmail)
    {
    }

    FString currentEmail;

    BEGIN_ONLINE_JSON_SERIALIZER
    ONLINE_JSON_SERIALIZE("email", currentEmail);
    ONLINE_JSON_SERIALIZE("newEmail", AccountInfo.email);
    ONLINE_JSON_SERIALIZE("newDisplayName", AccountInfo.displayName);
    ONLINE_JSON_SERIALIZE("newPassword", password);
    END_ONLINE_JSON_SERIALIZER
};
