#pragma once

#include "Core/Array.h"
#include "Core/String.h"
#include "Core/Types.h"

/** Blocking file-system operations; callers choose the thread. */
class IFileManager
{
public:
    virtual ~IFileManager() = default;

    /** The platform's file manager. */
    static IFileManager& Get();

    /**
     * Clean names of the regular files directly in Directory, sorted. Extension is ".dat", "*.dat" or "dat"
     * (compared ignoring case); null, empty, "*" or "*.*" take every file. FoundFiles is replaced.
     */
    virtual void FindFiles(TArray<FString>& FoundFiles, const char* Directory, const char* Extension) = 0;
    /**
     * Deletes a regular file. A missing file counts as deleted unless bRequireExists; a read-only one is kept
     * unless bEvenReadOnly. Failures are logged unless bQuiet.
     */
    virtual bool Delete(const char* Filename, bool bRequireExists = false, bool bEvenReadOnly = false,
                        bool bQuiet = false) = 0;
    /** Size in bytes of a regular file; -1 when there is none. */
    virtual int64 FileSize(const char* Filename) = 0;
    /** Creates the directory (with its missing parents when bTree); true when it exists afterwards. */
    virtual bool MakeDirectory(const char* Path, bool bTree = false) = 0;
};
