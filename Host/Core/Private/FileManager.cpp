#include "Core/FileManager.h"

#include <filesystem>
#include <system_error>

#include "Core/CoreLogging.h"

namespace fs = std::filesystem;

namespace
{
/** ".dat", "*.dat" or "dat" become "dat"; "", "*" and "*.*" (all files) become "". */
FString NormaliseExtension(const char* Extension)
{
    FString Wanted(Extension);
    if (Wanted == "*" || Wanted == "*.*")
    {
        return FString();
    }
    if (Wanted.StartsWith("*"))
    {
        Wanted = Wanted.RightChop(1);
    }
    if (Wanted.StartsWith("."))
    {
        Wanted = Wanted.RightChop(1);
    }
    return Wanted;
}

bool HasExtension(const FString& Name, const FString& Wanted)
{
    return Wanted.IsEmpty() || Name.EndsWith(FString(".") + Wanted);
}

bool IsReadOnly(const fs::path& Path, std::error_code& Error)
{
    const fs::perms Perms = fs::status(Path, Error).permissions();
    return !Error && (Perms & fs::perms::owner_write) == fs::perms::none;
}

class FPlatformFileManager final : public IFileManager
{
public:
    void FindFiles(TArray<FString>& FoundFiles, const char* Directory, const char* Extension) override
    {
        FoundFiles.Reset();
        if (!Directory)
        {
            return;
        }
        const FString Wanted = NormaliseExtension(Extension);
        std::error_code Error;
        for (fs::directory_iterator It(Directory, Error), End; !Error && It != End; It.increment(Error))
        {
            std::error_code TypeError;
            const FString Name(It->path().filename().string());
            if (It->is_regular_file(TypeError) && HasExtension(Name, Wanted))
            {
                FoundFiles.Add(Name);
            }
        }
        FoundFiles.Sort([](const FString& A, const FString& B)
                        { return A.Compare(B, ESearchCase::CaseSensitive) < 0; });
    }

    bool Delete(const char* Filename, bool bRequireExists, bool bEvenReadOnly, bool bQuiet) override
    {
        if (!Filename)
        {
            return false;
        }
        std::error_code Error;
        const fs::path Path(Filename);
        const fs::file_status Status = fs::symlink_status(Path, Error);
        if (!fs::exists(Status))
        {
            return !bRequireExists;
        }
        if (fs::is_directory(Status) || (!bEvenReadOnly && IsReadOnly(Path, Error)))
        {
            return Fail(bQuiet, Filename, "not a writable file");
        }
        if (fs::remove(Path, Error))
        {
            return true;
        }
        // No error means another process removed it since the check: it is gone, as asked.
        return Error ? Fail(bQuiet, Filename, Error.message().c_str()) : !bRequireExists;
    }

    int64 FileSize(const char* Filename) override
    {
        std::error_code Error;
        if (!Filename || !fs::is_regular_file(Filename, Error))
        {
            return -1;
        }
        const uintmax_t Size = fs::file_size(Filename, Error);
        return Error ? -1 : static_cast<int64>(Size);
    }

    bool MakeDirectory(const char* Path, bool bTree) override
    {
        if (!Path || !*Path)
        {
            return false;
        }
        std::error_code Error;
        if (bTree)
        {
            fs::create_directories(Path, Error);
        }
        else
        {
            fs::create_directory(Path, Error);
        }
        return fs::is_directory(Path, Error);
    }

private:
    static bool Fail(bool bQuiet, const char* Filename, const char* Reason)
    {
        if (!bQuiet)
        {
            UE_LOG(LogCore, Warning, "Could not delete %s: %s", Filename, Reason);
        }
        return false;
    }
};
} // namespace

IFileManager& IFileManager::Get()
{
    static FPlatformFileManager Instance;
    return Instance;
}
