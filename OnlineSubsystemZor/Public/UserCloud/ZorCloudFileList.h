#pragma once

#include "CoreMinimal.h"
#include "Online/OnlineCloudFile.h"

/** The file-list replies of the user-cloud and title-file services. */
class FZorCloudFileList
{
public:
    /**
     * Reads a list body: trimmed, bracketed as an array unless it is one, then read as the array "files".
     * Entries without a hash are dropped with a warning; a missing file name takes the unique name. False,
     * with OutHeaders empty, when the body is empty or not JSON, or when any element is not an object with a
     * non-empty text "uniqueFilename" (and texts for "hash" and "filename" where given). OutPayload receives
     * the trimmed, bracketed body the failure text quotes.
     */
    static bool Read(const FString& Body, TArray<FCloudFileHeader>& OutHeaders, FString& OutPayload);

    /**
     * Merges Headers in order: each replaces the first header of List with the same unique name (ignoring
     * case), or is appended, so a later entry of the same reply replaces an earlier one. Linear in the sizes.
     */
    static void Merge(TArray<FCloudFileHeader>& List, const TArray<FCloudFileHeader>& Headers);

    /** The first header whose unique name equals DLName ignoring case; null when none. */
    static const FCloudFileHeader* FindByDLName(const TArray<FCloudFileHeader>& List, const FString& DLName);
};
