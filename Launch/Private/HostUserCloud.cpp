#include "Core/FileHelper.h"
#include "Core/Parse.h"
#include "HostContent.h"
#include "HostWords.h"
#include "Launch/ZorHost.h"
#include "Online/OnlineUserCloudInterface.h"
#include "Subsystem/OnlineSubsystemZor.h"

namespace
{
constexpr const char* Usage = "cloud list | read NAME | write NAME TEXT|@FILE | delete NAME [local] [cloud]";

/** Local user 0's id and the user cloud, or a warning why there are none. */
bool GetCloud(FZorHost& Host, IOnlineUserCloudPtr& OutCloud, FUniqueNetIdPtr& OutUser)
{
    FOnlineSubsystemZor* Subsystem = Host.GetZorSubsystem();
    OutCloud = Subsystem ? Subsystem->GetUserCloudInterface() : nullptr;
    if (!OutCloud)
    {
        UE_LOG(LogHost, Warning, "cloud: there is no user cloud");
        return false;
    }
    OutUser = Host.GetLoggedInUser("cloud");
    return OutUser.IsValid();
}

/** TEXT as it stands, or the bytes of the file after "@". */
bool ReadContent(const FString& Text, TArray<uint8>& Out)
{
    if (!Text.StartsWith("@"))
    {
        Out = TArray<uint8>(reinterpret_cast<const uint8*>(*Text), Text.Len());
        return true;
    }
    if (!FFileHelper::LoadFileToArray(Out, *Text.RightChop(1)))
    {
        UE_LOG(LogHost, Warning, "cloud write: cannot read %s", *Text.RightChop(1));
        return false;
    }
    return true;
}

bool Write(IOnlineUserCloud& Cloud, const FUniqueNetId& User, const FString& Name, const TCHAR* Args)
{
    const FString Text = FString(Args).TrimStartAndEnd();
    TArray<uint8> Content;
    return ReadContent(Text, Content) && Cloud.WriteUserFile(User, Name, Content);
}

bool Delete(IOnlineUserCloud& Cloud, const FUniqueNetId& User, const FString& Name, const TCHAR* Args)
{
    bool bLocal = false;
    bool bCloud = false;
    FString Flag;
    while (FParse::Token(Args, Flag, false))
    {
        bLocal = bLocal || Flag == "local";
        bCloud = bCloud || Flag == "cloud";
    }
    // No flag: the file goes everywhere.
    return (bLocal || bCloud) ? Cloud.DeleteUserFile(User, Name, bCloud, bLocal)
                              : Cloud.DeleteUserFile(User, Name, true, true);
}

bool CloudWord(FZorHost& Host, const TCHAR* Args)
{
    IOnlineUserCloudPtr Cloud;
    FUniqueNetIdPtr User;
    if (!GetCloud(Host, Cloud, User))
    {
        return false;
    }
    if (FParse::Command(&Args, "list"))
    {
        Host.AwaitOutcome("cloud list");
        Cloud->EnumerateUserFiles(*User);
        return true;
    }
    FString Verb;
    FString Name;
    if (!FParse::Token(Args, Verb, false) || !FParse::Token(Args, Name, false))
    {
        UE_LOG(LogHost, Warning, "usage: %s", Usage);
        return false;
    }
    if (Verb == "read" || Verb == "write" || Verb == "delete")
    {
        Host.AwaitOutcome("cloud " + Verb, Name);
    }
    if (Verb == "read")
    {
        return Cloud->ReadUserFile(*User, Name);
    }
    if (Verb == "write")
    {
        return Write(*Cloud, *User, Name, Args);
    }
    if (Verb == "delete")
    {
        return Delete(*Cloud, *User, Name, Args);
    }
    UE_LOG(LogHost, Warning, "usage: %s", Usage);
    return false;
}

void LogList(IOnlineUserCloud& Cloud, const FUniqueNetId& User)
{
    TArray<FCloudFileHeader> Files;
    Cloud.GetUserFileList(User, Files);
    if (Files.IsEmpty())
    {
        UE_LOG(LogHost, Display, "  no files");
    }
    for (const FCloudFileHeader& File : Files)
    {
        UE_LOG(LogHost, Display, "  %s filename=%s size=%d hash=%s", *File.DLName, *File.FileName,
               File.FileSize, *File.Hash);
    }
}

void BindEvents(FZorHost& Host)
{
    FOnlineSubsystemZor* Subsystem = Host.GetZorSubsystem();
    const IOnlineUserCloudPtr Cloud = Subsystem ? Subsystem->GetUserCloudInterface() : nullptr;
    if (!Cloud)
    {
        return;
    }
    IOnlineUserCloud* Raw = Cloud.Get();
    Cloud->AddOnEnumerateUserFilesCompleteDelegate(FOnEnumerateUserFilesCompleteDelegate::CreateLambda(
        [&Host, Raw](bool bWasSuccessful, const FUniqueNetId& UserId)
        {
            UE_LOG(LogHost, Display, "OnEnumerateUserFilesComplete bWasSuccessful=%d UserId=%s",
                   bWasSuccessful, *UserId.ToString());
            if (bWasSuccessful)
            {
                LogList(*Raw, UserId);
            }
            Host.ReportOutcome("cloud list", bWasSuccessful);
        }));
    Cloud->AddOnReadUserFileCompleteDelegate(FOnReadUserFileCompleteDelegate::CreateLambda(
        [&Host, Raw](bool bWasSuccessful, const FUniqueNetId& UserId, const FString& FileName)
        {
            TArray<uint8> Content;
            Raw->GetFileContents(UserId, FileName, Content);
            UE_LOG(LogHost, Display, "OnReadUserFileComplete bWasSuccessful=%d UserId=%s FileName=%s Size=%d",
                   bWasSuccessful, *UserId.ToString(), *FileName, Content.Num());
            if (bWasSuccessful)
            {
                LogContentStart(Content);
            }
            Host.ReportOutcome("cloud read", bWasSuccessful, FileName);
        }));
    Cloud->AddOnWriteUserFileCompleteDelegate(FOnWriteUserFileCompleteDelegate::CreateLambda(
        [&Host](bool bWasSuccessful, const FUniqueNetId& UserId, const FString& FileName)
        {
            UE_LOG(LogHost, Display, "OnWriteUserFileComplete bWasSuccessful=%d UserId=%s FileName=%s",
                   bWasSuccessful, *UserId.ToString(), *FileName);
            Host.ReportOutcome("cloud write", bWasSuccessful, FileName);
        }));
    Cloud->AddOnDeleteUserFileCompleteDelegate(FOnDeleteUserFileCompleteDelegate::CreateLambda(
        [&Host](bool bWasSuccessful, const FUniqueNetId& UserId, const FString& FileName)
        {
            UE_LOG(LogHost, Display, "OnDeleteUserFileComplete bWasSuccessful=%d UserId=%s FileName=%s",
                   bWasSuccessful, *UserId.ToString(), *FileName);
            Host.ReportOutcome("cloud delete", bWasSuccessful, FileName);
        }));
}

const FHostWord Words[] = {
    {"cloud", Usage,
     "lists, reads, writes or deletes local user 0's cloud files (delete: both without flags)", &CloudWord},
};
const FHostOperation Operations[] = {
    {"cloud list"},
    {"cloud read"},
    {"cloud write"},
    {"cloud delete"},
};
} // namespace

const FHostWordGroup& GetUserCloudHostWords()
{
    static const FHostWordGroup Group{Words, {}, &BindEvents, Operations};
    return Group;
}
