#pragma once

#include "Profile/ZorProfile.h"
#include "ZorSubsystemTest.h"

/** Parameters of the test commands: the body must hold exactly these keys. */
struct FGrantParams : public FOnlineJsonSerializable
{
    FString TemplateId;
    int32 Quantity = 0;

    BEGIN_ONLINE_JSON_SERIALIZER
    ONLINE_JSON_SERIALIZE("templateId", TemplateId);
    ONLINE_JSON_SERIALIZE("quantity", Quantity);
    END_ONLINE_JSON_SERIALIZER
};

/** A field list that misuses the writer, so the record cannot be written. */
struct FBrokenParams : public FOnlineJsonSerializable
{
    void Serialize(FOnlineJsonSerializerBase& Serializer, bool) override
    {
        Serializer.EndObject();
        Serializer.EndObject();
    }
};

/** A profile as game code derives it: its own commands, and the protected parts opened for the tests. */
class UTestProfile : public UZorProfile
{
    DECLARE_OBJECT_CLASS(UTestProfile, UZorProfile)

    DECLARE_ZOR_PROFILE_COMMAND(GrantItem, FClientUrlContext, FGrantParams)
    DECLARE_ZOR_PROFILE_COMMAND(ServerGrant, FDedicatedServerUrlContext, FGrantParams)
    DECLARE_ZOR_PROFILE_COMMAND(Broken, FClientUrlContext, FBrokenParams)
    DECLARE_ZOR_PROFILE_COMMAND(AnyContext, FBaseUrlContext, FZorNoCommandParams)

    using UZorProfile::GetAllItems;
    using UZorProfile::GetAllStats;
    using UZorProfile::GetBaseUrl;
    using UZorProfile::HandleFullProfileUpdate;
    using UZorProfile::HandleZorResponse;
    using UZorProfile::MapClass;
    using UZorProfile::QueryProfile;

    int32 GetFullProfileQueryQueued() const { return FullProfileQueryQueued; }
    int32 GetNumPendingRequests() const { return PendingRequests.Num(); }
    void SetProfileRevision(int64 Revision) { ProfileRevision = Revision; }
    void SetProfileId(const FString& Id) { ProfileId = Id; }
    FTimespan GetServerTimeOffset() const { return ServerTimeOffset; }
};

/** Records what its profile tells it; its answers can be set per test. */
class UTestAwareItem : public UObject, public IZorItemAware
{
    DECLARE_OBJECT_CLASS(UTestAwareItem, UObject)

    bool PopulateFromItem(FZorItem& Item) override;
    void OnItemRemoved() override { ++Removed; }
    bool OnAttributeChanged(const FString& AttributeName, const TSharedPtr<FJsonValue>& NewValue,
                            int64 ProfileRevision) override;
    bool OnQuantityChanged(int32 NewQuantity) override;

    /** What the next calls answer, for every object of the class. */
    static bool bAcceptPopulate;
    static bool bAcceptAttribute;

    int32 Populated = 0;
    int32 Removed = 0;
    FString PopulatedTemplate;
    TArray<FString> ChangedAttributes;
    TArray<bool> ChangedValuePresent;
    TArray<int32> Quantities;
};

/** Mapped to items but unaware of them. */
class UTestPlainItem : public UObject
{
    DECLARE_OBJECT_CLASS(UTestPlainItem, UObject)
};

/**
 * A subsystem with a logged-in user "acct1" (valid token) and a rooted profile bound to it; command URLs are
 * "http://127.0.0.1:8080/game/<context>/<account>/<profile>/<command>".
 */
class FProfileTest : public FZorSubsystemTest
{
protected:
    FProfileTest();
    ~FProfileTest() override;

    using FZorSubsystemTest::Answer;
    /** Shuts the subsystem down, makes a new one from Ini with "acct1" logged in, and binds Profile to it. */
    void RestartSubsystem(const FString& Ini);
    UTestProfile* NewProfile(const FString& AccountId = "acct1", bool bLocal = true);

    /** The oldest unanswered request whose URL contains Part; null when none. */
    FHttpRequestPtr FindPending(const FString& Part = "/game/")
    {
        return FZorSubsystemTest::FindPending(Part);
    }
    using FZorSubsystemTest::NumStarted;
    int32 NumStarted() { return NumStarted("/game/"); }
    /** Answers the oldest waiting command and ticks once. */
    void Answer(int32 Code, const FString& Body, TMap<FString, FString> Headers = {},
                const FString& ContentType = "application/json");
    /** Answers the client-credentials grant for a client and ticks until its queued requests went out. */
    void GrantClientToken(const FString& ClientId);
    /** A callback that stores its results in Results. */
    FOnZorQueryComplete Collect();

    /** Applies a response object given as text. */
    FZorQueryResult Apply(const FString& ResponseJson);
    static TSharedPtr<FJsonObject> Parse(const FString& Json);

    TArray<FZorQueryResult> Results;
    UTestProfile* Profile = nullptr;

private:
    ELogVerbosity::Type PreviousGameVerbosity;
};

extern const char* const ProfileTestIni;
