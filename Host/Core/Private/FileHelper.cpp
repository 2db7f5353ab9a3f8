#include "Core/FileHelper.h"

#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <string>
#include <unistd.h>

#include "Core/CoreLogging.h"
#include "Core/Paths.h"

namespace
{
bool ReadAll(const char* Filename, std::string& Out)
{
    if (!Filename || !FPaths::FileExists(Filename))
    {
        return false;
    }
    std::ifstream Stream(Filename, std::ios::binary);
    if (!Stream)
    {
        return false;
    }
    Out.assign(std::istreambuf_iterator<char>(Stream), std::istreambuf_iterator<char>());
    // Arrays count with 32-bit signed sizes.
    return !Stream.bad() && Out.size() <= static_cast<size_t>(INT32_MAX);
}

bool WriteAllAndSync(int Descriptor, const uint8* Data, size_t Size)
{
    while (Size > 0)
    {
        const ssize_t Written = ::write(Descriptor, Data, Size);
        if (Written < 0 && errno == EINTR)
        {
            continue;
        }
        if (Written <= 0)
        {
            return false;
        }
        Data += Written;
        Size -= static_cast<size_t>(Written);
    }
    return ::fsync(Descriptor) == 0;
}

/** A name beside the target that no other writer in this or another process picks at the same time. */
std::string TempNameFor(const char* Filename)
{
    static std::atomic<uint64> Counter{0};
    return std::string(Filename) + ".tmp" + std::to_string(::getpid()) + "_" + std::to_string(++Counter);
}

bool SaveBytes(const uint8* Data, size_t Size, const char* Filename, IFileManager* FileManager)
{
    if (!Filename || FPaths::GetCleanFilename(Filename).IsEmpty())
    {
        return false;
    }
    const FString Dir = FPaths::GetPath(Filename);
    IFileManager& Files = FileManager ? *FileManager : IFileManager::Get();
    if (!Dir.IsEmpty() && !Files.MakeDirectory(*Dir, true))
    {
        UE_LOG(LogCore, Warning, "Could not create directory %s", *Dir);
        return false;
    }
    const std::string TempName = TempNameFor(Filename);
    const int Descriptor = ::open(TempName.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (Descriptor < 0)
    {
        UE_LOG(LogCore, Warning, "Could not write %s: %s", Filename, std::strerror(errno));
        return false;
    }
    const bool bWritten = WriteAllAndSync(Descriptor, Data, Size);
    const bool bClosed = ::close(Descriptor) == 0;
    if (!bWritten || !bClosed || std::rename(TempName.c_str(), Filename) != 0)
    {
        UE_LOG(LogCore, Warning, "Could not write %s: %s", Filename, std::strerror(errno));
        ::unlink(TempName.c_str());
        return false;
    }
    return true;
}

void ReportReadFailure(const char* Filename, uint32 Flags)
{
    if ((Flags & FILEREAD_Silent) == 0)
    {
        UE_LOG(LogCore, Warning, "Could not read %s", Filename ? Filename : "(null)");
    }
}
} // namespace

bool FFileHelper::LoadFileToArray(TArray<uint8>& Result, const char* Filename, uint32 Flags)
{
    std::string Bytes;
    if (!ReadAll(Filename, Bytes))
    {
        ReportReadFailure(Filename, Flags);
        return false;
    }
    Result = TArray<uint8>(reinterpret_cast<const uint8*>(Bytes.data()), static_cast<int32>(Bytes.size()));
    return true;
}

bool FFileHelper::SaveArrayToFile(const TArray<uint8>& Array, const char* Filename, IFileManager* FileManager,
                                  [[maybe_unused]] uint32 WriteFlags)
{
    return SaveBytes(Array.GetData(), static_cast<size_t>(Array.Num()), Filename, FileManager);
}

bool FFileHelper::LoadFileToString(FString& Result, const char* Filename, uint32 Flags)
{
    std::string Bytes;
    if (!ReadAll(Filename, Bytes))
    {
        ReportReadFailure(Filename, Flags);
        return false;
    }
    constexpr std::string_view ByteOrderMark = "\xEF\xBB\xBF";
    if (Bytes.starts_with(ByteOrderMark))
    {
        Bytes.erase(0, ByteOrderMark.size());
    }
    Result = FString(std::move(Bytes));
    return true;
}

bool FFileHelper::SaveStringToFile(const FString& String, const char* Filename, IFileManager* FileManager,
                                   [[maybe_unused]] uint32 WriteFlags)
{
    return SaveBytes(reinterpret_cast<const uint8*>(*String), static_cast<size_t>(String.Len()), Filename,
                     FileManager);
}
