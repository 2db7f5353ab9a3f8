#pragma once

#include "CoreMinimal.h"
#include "Json/OnlineJsonSerializable.h"

/** One signed, downloadable item of a build. */
class FOnlineDownloadItem : public FOnlineJsonSerializable
{
public:
    FString Signature;
    FString Distribution;
    FString Path;
    FString Hash;

    BEGIN_ONLINE_JSON_SERIALIZER
    ONLINE_JSON_SERIALIZE("signature", Signature);
    ONLINE_JSON_SERIALIZE("distribution", Distribution);
    ONLINE_JSON_SERIALIZE("path", Path);
    ONLINE_JSON_SERIALIZE("hash", Hash);
    END_ONLINE_JSON_SERIALIZER
};
