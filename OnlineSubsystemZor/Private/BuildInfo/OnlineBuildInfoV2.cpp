#include "BuildInfo/OnlineBuildInfoV2.h"

bool FOnlineBuildInfoV2::operator==(const FOnlineBuildInfoV2& Other) const
{
    return AppName.Equals(Other.AppName, ESearchCase::IgnoreCase) &&
           Platform.Equals(Other.Platform, ESearchCase::IgnoreCase);
}

TSharedPtr<FOnlineBuildInfoV2>
FOnlineBuildInfoV2::FindDownloadTarget(const TArray<TSharedRef<FOnlineBuildInfoV2>>& Builds,
                                       const FOnlineBuildInfoV2& Build)
{
    TSharedPtr<FOnlineBuildInfoV2> FirstEqual;
    for (const TSharedRef<FOnlineBuildInfoV2>& Candidate : Builds)
    {
        if (!(Candidate.Get() == Build))
        {
            continue;
        }
        if (Candidate->CatalogItemId.Equals(Build.CatalogItemId, ESearchCase::IgnoreCase))
        {
            return Candidate;
        }
        if (!FirstEqual)
        {
            FirstEqual = Candidate;
        }
    }
    return FirstEqual;
}
