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

namespace
{
/** The starter of Operation by one entry of a group's table; false when the entry is of another name. */
bool MatchOperation(const FHostOperation& Entry, const FString& Operation, FString& OutStartedBy)
{
    const FString Name(Entry.Name);
    const FString StartedBy(Entry.StartedBy ? Entry.StartedBy : Entry.Name);
    if (!Name.EndsWith("*"))
    {
        OutStartedBy = StartedBy;
        return Operation.Equals(Name, ESearchCase::IgnoreCase);
    }
    const FString Prefix = Name.LeftChop(1);
    if (Operation.Len() <= Prefix.Len() || !Operation.StartsWith(Prefix))
    {
        return false;
    }
    OutStartedBy = StartedBy.LeftChop(1) + Operation.RightChop(Prefix.Len());
    return true;
}
} // namespace

bool FindOperationStarter(const FString& Operation, FString& OutStartedBy)
{
    for (const FHostWordGroup& Group : GetHostWordGroups())
    {
        for (const FHostOperation& Entry : Group.Operations)
        {
            if (MatchOperation(Entry, Operation, OutStartedBy))
            {
                return true;
            }
        }
    }
    return false;
}

bool LineStartsWith(const FString& Line, const FString& Start, const TCHAR** OutRest)
{
    TArray<FString> Words;
    Start.ParseIntoArray(Words, " ");
    const TCHAR* Rest = *Line;
    for (const FString& Word : Words)
    {
        if (!FParse::Command(&Rest, *Word))
        {
            return false;
        }
    }
    if (OutRest)
    {
        *OutRest = Rest;
    }
    return true;
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
