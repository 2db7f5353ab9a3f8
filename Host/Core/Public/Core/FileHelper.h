#pragma once

#include "Core/Array.h"
#include "Core/FileManager.h"
#include "Core/String.h"
#include "Core/Types.h"

enum EFileRead : uint32
{
    FILEREAD_None = 0x00,
    /** Do not log a failure to read. */
    FILEREAD_Silent = 0x02,
};

/**
 * Whole-file reads and writes. Writes create missing directories and are atomic: the content goes to a
 * temporary file beside the target, which is flushed to disk and renamed over it.
 */
class FFileHelper
{
public:
    /** Result is replaced; false when the file cannot be read. */
    static bool LoadFileToArray(TArray<uint8>& Result, const char* Filename, uint32 Flags = FILEREAD_None);
    static bool SaveArrayToFile(const TArray<uint8>& Array, const char* Filename,
                                IFileManager* FileManager = &IFileManager::Get(), uint32 WriteFlags = 0);
    /** UTF-8 text; a leading byte-order mark is dropped. */
    static bool LoadFileToString(FString& Result, const char* Filename, uint32 Flags = FILEREAD_None);
    static bool SaveStringToFile(const FString& String, const char* Filename,
                                 IFileManager* FileManager = &IFileManager::Get(), uint32 WriteFlags = 0);
};
