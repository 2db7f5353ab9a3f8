#include "HostWords.h"

#include "Core/Parse.h"

const FHostWordGroup& GetCoreHostWords();
const FHostWordGroup& GetIdentityHostWords();
const FHostWordGroup& GetProfileHostWords();
const FHostWordGroup& GetAccountHostWords();
const FHostWordGroup& GetMappingHostWords();
const FHostWordGroup& GetUsersHostWords();
const FHostWordGroup& GetUserCloudHostWords();
const FHostWordGroup& GetTitleFileHostWords();
const FHostWordGroup& GetTimeHostWords();
const FHostWordGroup& GetSessionHostWords();
const FHostWordGroup& GetFriendsHostWords();
const FHostWordGroup& GetMessagesHostWords();
const FHostWordGroup& GetCatalogHostWords();
const FHostWordGroup& GetOrdersHostWords();
const FHostWordGroup& GetEntitlementsHostWords();
const FHostWordGroup& GetBuildInfoHostWords();
const FHostWordGroup& GetTestHostWords();

std::span<const FHostWordGroup> GetHostWordGroups()
{
    // One line per Host<Service>.cpp.
    static const FHostWordGroup Groups[] = {
        // clang-format off
        GetCoreHostWords(),
        GetIdentityHostWords(),
        GetProfileHostWords(),
        GetUserCloudHostWords(),
        GetTitleFileHostWords(),
        GetTimeHostWords(),
        GetAccountHostWords(),
        GetMappingHostWords(),
        GetUsersHostWords(),
        GetSessionHostWords(),
        GetFriendsHostWords(),
        GetMessagesHostWords(),
        GetCatalogHostWords(),
        GetOrdersHostWords(),
        GetEntitlementsHostWords(),
        GetBuildInfoHostWords(),
        GetTestHostWords(),
        // clang-format on
    };
    return Groups;
}

const FHostWord* FindHostWord(const TCHAR*& Line)
{
    for (const FHostWordGroup& Group : GetHostWordGroups())
    {
        for (const FHostWord& Word : Group.Words)
        {
            if (FParse::Command(&Line, Word.Name))
            {
                return &Word;
            }
        }
    }
    return nullptr;
}

bool IsHostOperation(const FString& Operation)
{
    for (const FHostWordGroup& Group : GetHostWordGroups())
    {
        for (const FHostOperation& Entry : Group.Operations)
        {
            const FString Name(Entry.Name);
            const FString Prefix = Name.LeftChop(1);
            const bool bMatches = Name.EndsWith("*")
                                      ? Operation.Len() > Prefix.Len() && Operation.StartsWith(Prefix)
                                      : Operation.Equals(Name, ESearchCase::IgnoreCase);
            if (bMatches)
            {
                return true;
            }
        }
    }
    return false;
}

const FHostTestWord* FindHostTestLine(const TCHAR* Line, const TCHAR*& OutArgs)
{
    // Read as the online module reads it: ONLINE, a SUB= of the subsystem, then the subsystem's TEST.
    const TCHAR* Rest = Line;
    FString Service;
    FString Skipped;
    FString Name;
    if (!FParse::Command(&Rest, "ONLINE") || !FParse::Value(Rest, "SUB=", Service) ||
        !Service.Equals("ZOR", ESearchCase::IgnoreCase) || !FParse::Token(Rest, Skipped, false) ||
        !FParse::Command(&Rest, "TEST") || !FParse::Token(Rest, Name, false))
    {
        return nullptr;
    }
    OutArgs = Rest;
    return FindHostTestWord(Name);
}

FString ListHostOperations()
{
    TArray<FString> Names;
    for (const FHostWordGroup& Group : GetHostWordGroups())
    {
        for (const FHostOperation& Entry : Group.Operations)
        {
            Names.Add(FString(Entry.Name).Replace("*", "NAME"));
        }
    }
    return FString::Join(Names, ", ");
}

const FHostTestWord* FindHostTestWord(const FString& Name)
{
    for (const FHostWordGroup& Group : GetHostWordGroups())
    {
        for (const FHostTestWord& Word : Group.TestWords)
        {
            FString First;
            const TCHAR* Usage = Word.Usage;
            if (FParse::Token(Usage, First, false) && First.Equals(Name, ESearchCase::IgnoreCase))
            {
                return &Word;
            }
        }
    }
    return nullptr;
}
