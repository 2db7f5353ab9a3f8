#include "Core/Paths.h"

#include <filesystem>
#include <mutex>
#include <system_error>

namespace
{
struct FPathState
{
    std::mutex Mutex;
    FString SavedDir;
};

FPathState& State()
{
    static FPathState Instance;
    return Instance;
}

FString WithTrailingSlash(const FString& Dir)
{
    return Dir.EndsWith("/") ? Dir : Dir + "/";
}

int32 LastSeparator(const FString& Path)
{
    int32 Slash = INDEX_NONE;
    int32 Backslash = INDEX_NONE;
    Path.FindLastChar('/', Slash);
    Path.FindLastChar('\\', Backslash);
    return Slash > Backslash ? Slash : Backslash;
}
} // namespace

FString FPaths::ProjectSavedDir()
{
    FPathState& Paths = State();
    std::lock_guard Guard(Paths.Mutex);
    if (Paths.SavedDir.IsEmpty())
    {
        std::error_code Error;
        const std::filesystem::path Cwd = std::filesystem::current_path(Error);
        Paths.SavedDir =
            WithTrailingSlash(FString(Error ? std::string(".") : Cwd.generic_string())) + "Saved/";
    }
    return Paths.SavedDir;
}

void FPaths::SetProjectSavedDir(const FString& Dir)
{
    FPathState& Paths = State();
    std::lock_guard Guard(Paths.Mutex);
    Paths.SavedDir = Dir.IsEmpty() ? FString() : WithTrailingSlash(Dir);
}

FString FPaths::CloudDir()
{
    return ProjectSavedDir() + "Cloud/";
}

void FPaths::AppendPart(FString& Result, const FString& Part)
{
    if (Part.IsEmpty())
    {
        return;
    }
    if (Result.IsEmpty())
    {
        Result = Part;
        return;
    }
    FString Tail = Part;
    while (Tail.StartsWith("/"))
    {
        Tail = Tail.RightChop(1);
    }
    if (!Result.EndsWith("/"))
    {
        Result += "/";
    }
    Result += Tail;
}

FString FPaths::GetCleanFilename(const FString& Path)
{
    return Path.RightChop(LastSeparator(Path) + 1);
}

FString FPaths::GetPath(const FString& Path)
{
    const int32 Separator = LastSeparator(Path);
    return Separator == INDEX_NONE ? FString() : Path.Left(Separator);
}

FString FPaths::GetExtension(const FString& Path, bool bIncludeDot)
{
    const FString Name = GetCleanFilename(Path);
    int32 Dot = INDEX_NONE;
    if (!Name.FindLastChar('.', Dot))
    {
        return FString();
    }
    return Name.RightChop(bIncludeDot ? Dot : Dot + 1);
}

bool FPaths::FileExists(const FString& Path)
{
    std::error_code Error;
    return std::filesystem::is_regular_file(Path.ToStdString(), Error);
}

bool FPaths::DirectoryExists(const FString& Path)
{
    std::error_code Error;
    return std::filesystem::is_directory(Path.ToStdString(), Error);
}
