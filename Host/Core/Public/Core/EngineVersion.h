#pragma once

#include "Core/String.h"
#include "Core/Types.h"

namespace EVersionComponent
{
enum Type
{
    Major,
    Minor,
    Patch,
    Changelist,
    Branch,
};
}

/** A host version: "Major.Minor.Patch-Changelist+Branch". */
class FEngineVersion
{
public:
    FEngineVersion() = default;
    FEngineVersion(uint16 InMajor, uint16 InMinor, uint16 InPatch, uint32 InChangelist,
                   const FString& InBranch);

    /** The text up to and including LastComponent, e.g. "4.27" for Minor. */
    FString ToString(EVersionComponent::Type LastComponent = EVersionComponent::Branch) const;

    uint16 GetMajor() const { return Major; }
    uint16 GetMinor() const { return Minor; }
    uint16 GetPatch() const { return Patch; }
    uint32 GetChangelist() const { return Changelist; }
    const FString& GetBranch() const { return BranchName; }

    /** The version of this host. */
    static const FEngineVersion& Current();

private:
    uint16 Major = 0;
    uint16 Minor = 0;
    uint16 Patch = 0;
    uint32 Changelist = 0;
    FString BranchName;
};

/** FEngineVersion::Current(). */
extern const FEngineVersion& GEngineVersion;
