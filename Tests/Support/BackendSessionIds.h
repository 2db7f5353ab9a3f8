#pragma once

#include <algorithm>
#include <gtest/gtest.h>
#include <httplib.h>
#include <string>
#include <vector>

#include "Json/JsonReader.h"
#include "Json/JsonSerializer.h"

/**
 * The ids of the sessions the local backend at Port holds for AccountId, asked of it directly with the
 * player's AccessToken; sorted, so they compare with what the game holds.
 */
inline std::vector<std::string> BackendSessionIds(int Port, const std::string& AccountId,
                                                  const std::string& AccessToken)
{
    httplib::Client Client("127.0.0.1", Port);
    const httplib::Result Reply = Client.Get("/game/api/matchmaking/session/findPlayer/" + AccountId,
                                             {{"Authorization", "bearer " + AccessToken}});
    TArray<TSharedPtr<FJsonValue>> Found;
    EXPECT_TRUE(Reply && Reply->status == 200 &&
                FJsonSerializer::Deserialize(TJsonReaderFactory<>::Create(FString(Reply->body)), Found));
    std::vector<std::string> Ids;
    for (const TSharedPtr<FJsonValue>& Value : Found)
    {
        Ids.push_back(Value->AsObject()->GetStringField("id").ToStdString());
    }
    std::sort(Ids.begin(), Ids.end());
    return Ids;
}
