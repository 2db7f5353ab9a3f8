#include "Core/Parse.h"
#include "HostArgs.h"
#include "HostContent.h"
#include "HostWords.h"
#include "Launch/ZorHost.h"
#include "Online/OnlineTitleFileInterface.h"
#include "Subsystem/OnlineSubsystemZor.h"

namespace
{
constexpr const char* Usage = "title list [START COUNT] | read NAME";

IOnlineTitleFilePtr GetTitleFiles(FZorHost& Host)
{
    FOnlineSubsystemZor* Subsystem = Host.GetZorSubsystem();
    IOnlineTitleFilePtr Titles = Subsystem ? Subsystem->GetTitleFileInterface() : nullptr;
    if (!Titles)
    {
        UE_LOG(LogHost, Warning, "title: there is no title file service");
    }
    return Titles;
}

bool TitleWord(FZorHost& Host, const TCHAR* Args)
{
    const IOnlineTitleFilePtr Titles = GetTitleFiles(Host);
    if (!Titles)
    {
        return false;
    }
    FPagedQuery Page;
    FString Name;
    if (FParse::Command(&Args, "list") && ParsePageArgs(Args, Page))
    {
        Host.AwaitOutcome("title list");
        return Titles->EnumerateFiles(Page);
    }
    if (FParse::Command(&Args, "read") && FParse::Token(Args, Name, false))
    {
        Host.AwaitOutcome("title read", Name);
        return Titles->ReadFile(Name);
    }
    UE_LOG(LogHost, Warning, "usage: %s", Usage);
    return false;
}

void BindEvents(FZorHost& Host)
{
    FOnlineSubsystemZor* Subsystem = Host.GetZorSubsystem();
    const IOnlineTitleFilePtr Titles = Subsystem ? Subsystem->GetTitleFileInterface() : nullptr;
    if (!Titles)
    {
        return;
    }
    IOnlineTitleFile* Raw = Titles.Get();
    Titles->AddOnEnumerateFilesCompleteDelegate(FOnEnumerateFilesCompleteDelegate::CreateLambda(
        [&Host, Raw](bool bWasSuccessful)
        {
            TArray<FCloudFileHeader> Files;
            Raw->GetFileList(Files);
            UE_LOG(LogHost, Display, "OnEnumerateFilesComplete bWasSuccessful=%d Files=%d", bWasSuccessful,
                   Files.Num());
            for (const FCloudFileHeader& File : Files)
            {
                UE_LOG(LogHost, Display, "  %s size=%d hash=%s", *File.DLName, File.FileSize, *File.Hash);
            }
            Host.ReportOutcome("title list", bWasSuccessful);
        }));
    Titles->AddOnReadFileCompleteDelegate(FOnReadFileCompleteDelegate::CreateLambda(
        [&Host, Raw](bool bWasSuccessful, const FString& FileName)
        {
            TArray<uint8> Content;
            Raw->GetFileContents(FileName, Content);
            UE_LOG(LogHost, Display, "OnReadFileComplete bWasSuccessful=%d FileName=%s Size=%d",
                   bWasSuccessful, *FileName, Content.Num());
            if (bWasSuccessful)
            {
                LogContentStart(Content);
            }
            Host.ReportOutcome("title read", bWasSuccessful, FileName);
        }));
}

const FHostWord Words[] = {
    {"title", Usage, "lists the title files (a page of them), or reads one", &TitleWord},
};
const FHostOperation Operations[] = {
    {"title list"},
    {"title read"},
};
} // namespace

const FHostWordGroup& GetTitleFileHostWords()
{
    static const FHostWordGroup Group{Words, {}, &BindEvents, Operations};
    return Group;
}
