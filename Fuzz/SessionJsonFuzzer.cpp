// Untrusted matchmaking answers through the session readers: an object is read as a search result and as a
// hosted session's player answer, an array element by element as a search answer is; what was read is
// written back out. Any crash, leak or undefined behaviour aborts.
#include <cstddef>
#include <cstdint>

#include "Sessions/OnlineSessionInfoZor.h"
#include "Sessions/OnlineSessionJsonZor.h"
#include "Json/Json.h"

namespace
{
void ReadOne(const FJsonObject& Object)
{
    FNamedOnlineSession Session("Fuzz", FOnlineSessionSettings());
    const TSharedRef<FOnlineSessionInfoZor> Info = MakeShared<FOnlineSessionInfoZor>();
    Info->HostAddr = MakeShared<FInternetAddr>();
    Session.SessionInfo = Info;
    FZorSessionJsonContext Context;
    Context.NetDriverPort = 7777;
    ZorSessionJson::ReadSessionFromJson(Object, Session, Context);
    Session.RegisteredPlayers.Add(MakeShared<FUniqueNetIdString>("player"));
    ZorSessionJson::ReadPlayersFromJson(Object, Session);
    ZorSessionJson::WriteSessionToJson(Session, Context);
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size)
{
    static const bool bQuiet = []
    {
        LogOnline.SetVerbosity(ELogVerbosity::NoLogging);
        return true;
    }();
    (void)bQuiet;

    const FString Text(reinterpret_cast<const char*>(Data), static_cast<int32>(Size));
    TSharedPtr<FJsonValue> Value;
    if (!FJsonSerializer::Deserialize(TJsonReaderFactory<>::Create(Text), Value) || !Value)
    {
        return 0;
    }
    if (const TSharedPtr<FJsonObject>& Object = Value->AsObject())
    {
        ReadOne(*Object);
    }
    for (const TSharedPtr<FJsonValue>& Element : Value->AsArray())
    {
        const TSharedPtr<FJsonObject>* Object = nullptr;
        if (Element && Element->TryGetObject(Object))
        {
            ReadOne(**Object);
        }
    }
    return 0;
}
