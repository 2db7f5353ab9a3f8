#include "HostWords.h"

#include "Core/Parse.h"

const FHostWordGroup& GetCoreHostWords();
const FHostWordGroup& GetIdentityHostWords();
const FHostWordGroup& GetProfileHostWords();
const FHostWordGroup& GetUserCloudHostWords();
const FHostWordGroup& GetTitleFileHostWords();
const FHostWordGroup& GetTimeHostWords();
const FHostWordGroup& GetFriendsHostWords();
const FHostWordGroup& GetMessagesHostWords();

std::span<const FHostWordGroup> GetHostWordGroups()
{
    // One line per Host<Service>.cpp.
    static const FHostWordGroup Groups[] = {
        GetCoreHostWords(),      GetIdentityHostWords(), GetProfileHostWords(), GetUserCloudHostWords(),
        GetTitleFileHostWords(), GetTimeHostWords(),     GetFriendsHostWords(), GetMessagesHostWords(),
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
