#pragma once

#include "CoreMinimal.h"

/** An opaque player or account id. Equal ids have equal type and text. */
class FUniqueNetId : public TSharedFromThis<FUniqueNetId>
{
public:
    virtual ~FUniqueNetId() = default;
    virtual const uint8* GetBytes() const = 0;
    virtual int32 GetSize() const = 0;
    virtual bool IsValid() const = 0;
    virtual FString ToString() const = 0;
    virtual FString ToDebugString() const { return ToString(); }
    virtual FName GetType() const = 0;

    bool operator==(const FUniqueNetId& Other) const
    {
        return GetType() == Other.GetType() &&
               ToString().Equals(Other.ToString(), ESearchCase::CaseSensitive);
    }
    bool operator!=(const FUniqueNetId& Other) const { return !(*this == Other); }
};

using FUniqueNetIdPtr = TSharedPtr<const FUniqueNetId>;
using FUniqueNetIdRef = TSharedRef<const FUniqueNetId>;

/** A unique net id that holds a text. */
class FUniqueNetIdString : public FUniqueNetId
{
public:
    FUniqueNetIdString() = default;
    explicit FUniqueNetIdString(const FString& InText, const FName& InType = FName("ZOR"))
        : UniqueNetIdStr(InText), Type(InType)
    {
    }
    explicit FUniqueNetIdString(const FUniqueNetId& Source)
        : UniqueNetIdStr(Source.ToString()), Type(Source.GetType())
    {
    }

    const uint8* GetBytes() const override { return reinterpret_cast<const uint8*>(*UniqueNetIdStr); }
    int32 GetSize() const override { return UniqueNetIdStr.Len(); }
    bool IsValid() const override { return !UniqueNetIdStr.IsEmpty(); }
    FString ToString() const override { return UniqueNetIdStr; }
    FName GetType() const override { return Type; }

    FString UniqueNetIdStr;
    FName Type = FName("ZOR");
};

namespace ELoginStatus
{
enum Type
{
    NotLoggedIn,
    UsingLocalProfile,
    LoggedIn,
};
const char* ToString(Type Status);
} // namespace ELoginStatus

namespace EOnlineServerConnectionStatus
{
enum Type
{
    Normal = 0,
    NotConnected,
    Connected,
    ConnectionDropped,
    NoNetworkConnection,
    ServiceUnavailable,
    UpdateRequired,
    ServersTooBusy,
    DuplicateLoginDetected,
    InvalidUser,
    NotAuthorized,
    InvalidSession,
};
}

/** Start index and count of a list query. */
struct FPagedQuery
{
    FPagedQuery(int32 InStart = -1, int32 InCount = -1) : Start(InStart), Count(InCount) {}
    int32 Start;
    int32 Count;
};

/** Country and locale of a query. */
struct FRegionInfo
{
    FString Country;
    FString Locale;
};

/** What a login is made with: the kind of credential, an id and a token. */
struct FOnlineAccountCredentials
{
    FOnlineAccountCredentials() = default;
    FOnlineAccountCredentials(const FString& InType, const FString& InId, const FString& InToken)
        : Type(InType), Id(InId), Token(InToken)
    {
    }
    FString Type;
    FString Id;
    FString Token;
};

DECLARE_LOG_CATEGORY_EXTERN(LogOnline, Log, All)
DECLARE_LOG_CATEGORY_EXTERN(LogOnlineGame, Log, All)

/** Online log lines carry the subsystem's prefix; ONLINE_LOG_PREFIX is defined by the subsystem. */
#define UE_LOG_ONLINE(Verbosity, Format, ...)                                                                \
    UE_LOG(LogOnline, Verbosity, "%s%s", ONLINE_LOG_PREFIX, *FString::Printf(Format, ##__VA_ARGS__))
