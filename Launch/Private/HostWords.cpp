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
