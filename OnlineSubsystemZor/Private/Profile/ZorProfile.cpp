#include "Profile/ZorProfile.h"

#include "Identity/OnlineIdentityZor.h"
#include "Subsystem/OnlineSubsystemZor.h"

IMPLEMENT_OBJECT_CLASS(UZorProfile, "/Script/OnlineSubsystemZor", CLASS_None)

const char* const UZorProfile::ConfigSection = "OnlineSubsystemZor.ZorProfile";

const FClientUrlContext FClientUrlContext::Default;
const FDedicatedServerUrlContext FDedicatedServerUrlContext::Default;
const FDevCheatUrlContext FDevCheatUrlContext::Default;

void UZorProfile::Initialize(FOnlineSubsystemZor* InSubsystem, const FUniqueNetIdPtr& InGameAccountId,
                             bool bInIsLocal)
{
    Subsystem = InSubsystem && InSubsystem->DoesSharedInstanceExist()
                    ? TWeakPtr<FOnlineSubsystemZor>(InSubsystem->AsShared())
                    : TWeakPtr<FOnlineSubsystemZor>();
    GameAccountId = InGameAccountId;
    PlayerName = "UnknownZORUser";
    bIsLocal = bInIsLocal;

    const TSharedPtr<FOnlineSubsystemZor> Zor = Subsystem.Pin();
    if (!GameAccountId || !GameAccountId->IsValid() || !Zor)
    {
        return;
    }
    const IOnlineIdentityPtr Identity = Zor->GetIdentityInterface();
    const TSharedPtr<FUserOnlineAccount> Account =
        Identity ? Identity->GetUserAccount(*GameAccountId) : nullptr;
    if (Account)
    {
        PlayerName = Account->GetDisplayName();
    }
}

void UZorProfile::MapClass(const FString& Key, UClass* InstanceClass)
{
    // A null class is a programming error; refusing it loudly keeps the game running in every build.
    if (!InstanceClass)
    {
        UE_LOG(LogOnlineGame, Error, "ZOR-Profile: MapClass %s: InstanceClass", *Key);
        return;
    }
    ClassMap.Add(Key, InstanceClass);
}

TSharedPtr<FOnlineSubsystemZor> UZorProfile::GetZor() const
{
    TSharedPtr<FOnlineSubsystemZor> Zor = Subsystem.Pin();
    // Shutdown releases the services; a subsystem without them can send nothing.
    return Zor && Zor->GetZorGameService() ? Zor : nullptr;
}

FString UZorProfile::GetAccountIdText() const
{
    return GameAccountId ? GameAccountId->ToString() : FString("Invalid");
}

bool UZorProfile::ForceQueryProfile(const FOnZorQueryComplete& Callback)
{
    if (FullProfileQueryQueued >= 2)
    {
        UE_LOG(LogOnlineGame, Warning,
               "Caught overlapping attempts to query same user's profile, skipping. User %s [%s]",
               *PlayerName, *GetAccountIdText());
        return false;
    }
    if (!GetZor())
    {
        UE_LOG(LogOnlineGame, Warning, "Unable to query profile due to no Zor for %s [%s]", *PlayerName,
               *GetAccountIdText());
        // Nothing was sent: a profile already held stays as it is; one never received counts as empty.
        if (ProfileRevision < 0)
        {
            ProfileRevision = 0;
        }
        return false;
    }
    UE_LOG(LogOnlineGame, Display, "ForceQueryProfile for %s [%s]", *PlayerName, *GetAccountIdText());
    const FOnZorQueryComplete OnComplete =
        FOnZorQueryComplete::CreateUObject(this, &UZorProfile::OnQueryProfileComplete, Callback);
    // Counted before dispatch: a dispatch failure completes at once and takes its count back.
    ++FullProfileQueryQueued;
    if (UseServerContext())
    {
        return QueryProfile(FDedicatedServerUrlContext(OnComplete));
    }
    return QueryProfile(FClientUrlContext(OnComplete));
}

void UZorProfile::OnQueryProfileComplete(const FZorQueryResult& Result, FOnZorQueryComplete Callback)
{
    UE_LOG(LogOnlineGame, Display, "OnQueryProfileComplete for %s [%s] bSuccess: %d Response: %s",
           *PlayerName, *GetAccountIdText(), Result.bSucceeded ? 1 : 0, *Result.ErrorCode);
    if (ProfileRevision < 0 && ProfileRevision > INT64_MIN)
    {
        --ProfileRevision;
    }
    if (FullProfileQueryQueued > 0)
    {
        --FullProfileQueryQueued;
    }
    Callback.ExecuteIfBound(Result);
}

void UZorProfile::CheatResetProfile()
{
    DeleteProfile(FDevCheatUrlContext::Default);
    ForceQueryProfile(FOnZorQueryComplete());
}

void UZorProfile::CopyFromOther(const UZorProfile& Other)
{
    ProfileId = Other.ProfileId;
    Initialize(Other.Subsystem.Pin().Get(), Other.GameAccountId, Other.bIsLocal);
    Stats = Other.Stats;
    Items = Other.Items;
    ClassMap = Other.ClassMap;
    ProfileRevision = Other.ProfileRevision;
    ServerTimeOffset = Other.ServerTimeOffset;
    if (!Stats.IsEmpty())
    {
        StatsUpdatedDelegates.Broadcast(ProfileRevision);
    }
    if (Items.IsEmpty())
    {
        return;
    }
    TSet<FString> ItemTypes;
    for (const auto& Entry : Items)
    {
        ItemTypes.Add(Entry.Value->ItemType);
    }
    InventoryUpdatedDelegates.Broadcast(ItemTypes, ProfileRevision);
}

TSharedPtr<const FZorItem> UZorProfile::GetItem(const FString& ItemId) const
{
    return Items.FindRef(ItemId);
}

TArray<TSharedRef<const FZorItem>> UZorProfile::GetItemsByType(const FString& ItemType) const
{
    TArray<TSharedRef<const FZorItem>> Found;
    for (const auto& Entry : Items)
    {
        if (Entry.Value->ItemType == ItemType)
        {
            Found.Add(TSharedRef<const FZorItem>(Entry.Value));
        }
    }
    return Found;
}

TSharedPtr<const FZorItem> UZorProfile::FindItemByTemplate(const FString& TemplateId) const
{
    for (const auto& Entry : Items)
    {
        if (Entry.Value->TemplateId == TemplateId)
        {
            return Entry.Value;
        }
    }
    return nullptr;
}

TSharedPtr<const FJsonValue> UZorProfile::GetStat(const FString& StatName) const
{
    return Stats.FindRef(StatName);
}

FString UZorProfile::ToDebugString() const
{
    FString Text = FString::Printf("%s's Stats:\n", *PlayerName);
    for (const auto& Entry : Stats)
    {
        const FString Value = Entry.Value ? Entry.Value->AsString() : FString();
        Text += FString::Printf("  %s = %s\n", *Entry.Key, *Value);
    }
    Text += FString::Printf("%s's Inventory:\n", *PlayerName);
    for (const auto& Entry : Items)
    {
        Text += FString::Printf("  %d x %s [%s]\n", Entry.Value->Quantity, *Entry.Value->TemplateId,
                                *Entry.Value->ItemId);
    }
    return Text;
}

void UZorProfile::AddReferencedObjects(UObject* InThis, FReferenceCollector& Collector)
{
    Super::AddReferencedObjects(InThis, Collector);
    // Classes are registered for the program's life, so only the items' objects need reporting.
    const auto* This = static_cast<const UZorProfile*>(InThis);
    for (const auto& Entry : This->Items)
    {
        Collector.AddReferencedObject(Entry.Value->Instance);
    }
}
