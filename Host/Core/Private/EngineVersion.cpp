#include "Core/EngineVersion.h"

FEngineVersion::FEngineVersion(uint16 InMajor, uint16 InMinor, uint16 InPatch, uint32 InChangelist,
                               const FString& InBranch)
    : Major(InMajor), Minor(InMinor), Patch(InPatch), Changelist(InChangelist), BranchName(InBranch)
{
}

FString FEngineVersion::ToString(EVersionComponent::Type LastComponent) const
{
    FString Text = FString::FromInt(Major);
    if (LastComponent >= EVersionComponent::Minor)
    {
        Text += FString::Printf(".%u", static_cast<unsigned>(Minor));
    }
    if (LastComponent >= EVersionComponent::Patch)
    {
        Text += FString::Printf(".%u", static_cast<unsigned>(Patch));
    }
    if (LastComponent >= EVersionComponent::Changelist)
    {
        Text += FString::Printf("-%u", static_cast<unsigned>(Changelist));
    }
    if (LastComponent >= EVersionComponent::Branch)
    {
        Text += "+" + BranchName;
    }
    return Text;
}

const FEngineVersion& FEngineVersion::Current()
{
    static const FEngineVersion Version(4, 27, 2, 0, "++zor+main");
    return Version;
}

const FEngineVersion& GEngineVersion = FEngineVersion::Current();
