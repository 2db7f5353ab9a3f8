#pragma once

#include "CoreMinimal.h"
#include "Json/OnlineJsonSerializable.h"

/** One build manifest of the first build-information service. */
class FOnlineBuildInfo : public FOnlineJsonSerializable
{
public:
    FString AppName;
    FString LabelName;
    FString BuildVersion;
    FString BaseUrlPath;
    FString ManifestUrlPath;
    FString ManifestHash;
    TArray<FString> CompatibleApps;

    BEGIN_ONLINE_JSON_SERIALIZER
    ONLINE_JSON_SERIALIZE("appName", AppName);
    ONLINE_JSON_SERIALIZE("labelName", LabelName);
    ONLINE_JSON_SERIALIZE("buildVersion", BuildVersion);
    ONLINE_JSON_SERIALIZE("baseUrlPath", BaseUrlPath);
    ONLINE_JSON_SERIALIZE("manifestUrlPath", ManifestUrlPath);
    ONLINE_JSON_SERIALIZE("manifestHash", ManifestHash);
    ONLINE_JSON_SERIALIZE_ARRAY("compatibleApps", CompatibleApps);
    END_ONLINE_JSON_SERIALIZER
};
