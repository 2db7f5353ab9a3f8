#pragma once

#include "Core/String.h"

/** Path text helpers and the project's well-known directories. Paths use '/' and directories end with '/'. */
class FPaths
{
public:
    /** "<working directory>/Saved/" unless set. */
    static FString ProjectSavedDir();
    /** Points the saved directory elsewhere (tests, the host program); a missing final '/' is added. */
    static void SetProjectSavedDir(const FString& Dir);
    /** ProjectSavedDir() + "Cloud/". */
    static FString CloudDir();

    /** Joins the non-empty parts with exactly one '/' between them. */
    template <typename... PartTypes> static FString Combine(const FString& First, const PartTypes&... Rest)
    {
        FString Result = First;
        (AppendPart(Result, FString(Rest)), ...);
        return Result;
    }

    /** The part after the last separator. */
    static FString GetCleanFilename(const FString& Path);
    /** The part before the last separator, without it; empty when there is none. */
    static FString GetPath(const FString& Path);
    /** The clean file name's extension, without the dot unless asked; empty when there is none. */
    static FString GetExtension(const FString& Path, bool bIncludeDot = false);

    static bool FileExists(const FString& Path);
    static bool DirectoryExists(const FString& Path);

private:
    static void AppendPart(FString& Result, const FString& Part);
};
