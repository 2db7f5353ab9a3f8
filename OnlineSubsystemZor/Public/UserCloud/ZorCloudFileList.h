#pragma once

#include "CoreMinimal.h"
#include "Online/OnlineCloudFile.h"

/** One file-list reply as read. */
struct FZorCloudListReply
{
    /** The valid entries (a hash and a unique name), in the reply's order. */
    TArray<FCloudFileHeader> Headers;
    /** The names under which any object element keeps a local copy, a dropped entry's included. */
    TArray<FString> Named;
    /**
     * False when the reply had elements of which none was a valid entry: such a reply tells nothing of what
     * the service no longer has.
     */
    bool bMaySweep = true;
};

/** The file-list replies of the user-cloud and title-file services. */
class FZorCloudFileList
{
public:
    /**
     * Reads a list body: trimmed, bracketed as an array unless it is one, then read as the array "files".
     * Elements that are not objects are skipped. A field that is absent, null or not of its type is not
     * present; a missing file name takes the unique name; an entry without a hash or a unique name is dropped
     * with a warning. False, with OutReply empty, when the body is empty or not JSON. OutPayload receives the
     * trimmed, bracketed body the failure text quotes.
     */
    static bool Read(const FString& Body, FZorCloudListReply& OutReply, FString& OutPayload);

    /**
     * Merges Headers in order: each replaces the header of List that IndexOfDLName finds, or is appended, so
     * a later entry of the same reply replaces an earlier one. Linear in the sizes.
     */
    static void Merge(TArray<FCloudFileHeader>& List, const TArray<FCloudFileHeader>& Headers);

    /**
     * The index of the first header whose unique name is DLName letter for letter, else of the first equal
     * to it ignoring case; INDEX_NONE when none. A service where case counts may list two names differing
     * only in case, and each must keep its own header.
     */
    static int32 IndexOfDLName(const TArray<FCloudFileHeader>& List, const FString& DLName);

    /** The header IndexOfDLName finds; null when none. */
    static const FCloudFileHeader* FindByDLName(const TArray<FCloudFileHeader>& List, const FString& DLName);
};
