#pragma once

#include "LocalBackend.h"

#include <gtest/gtest.h>
#include <httplib.h>
#include <rapidjson/document.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <unistd.h>

namespace ZorBackendTests
{
// Accounts and clients of the shipped seed.
inline const std::string DemoAccountId = "5a0f3c8e1b2d4f6a8c9e0b1d2f3a4c5e";
inline const std::string RivalAccountId = "7c1e5a9b3d2f4e6c8a0b1c2d3e4f5a6b";
inline const std::string DemoLogin = "grant_type=password&username=demo%40example.com&password=demo-password";
inline const std::string RivalLogin =
    "grant_type=password&username=rival%40example.com&password=rival-password";

struct FTestClient
{
    std::string Id;
    std::string Secret;
};
inline const FTestClient GameClient{"zordemoclient", "zordemoclientsecret"};
inline const FTestClient PurchaseClient{"zordemopurchase", "zordemopurchasesecret"};
inline const FTestClient ServerClient{"zordemoserver", "zordemoserversecret"};

inline std::string EncodeBase64(const std::string& Text)
{
    static const char Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string Encoded;
    for (size_t Index = 0; Index < Text.size(); Index += 3)
    {
        const size_t Count = std::min<size_t>(3, Text.size() - Index);
        uint32_t Bits = 0;
        for (size_t Byte = 0; Byte < 3; ++Byte)
        {
            Bits = (Bits << 8) | (Byte < Count ? static_cast<unsigned char>(Text[Index + Byte]) : 0);
        }
        for (size_t Char = 0; Char < 4; ++Char)
        {
            Encoded.push_back(Char <= Count ? Alphabet[(Bits >> (18 - 6 * Char)) & 63] : '=');
        }
    }
    return Encoded;
}

inline std::string BasicAuth(const FTestClient& Client)
{
    return "basic " + EncodeBase64(Client.Id + ":" + Client.Secret);
}

inline rapidjson::Document ParseJson(const std::string& Body)
{
    rapidjson::Document Document;
    Document.Parse(Body.c_str(), Body.size());
    return Document;
}

inline std::string StringField(const rapidjson::Value& Object, const char* Key)
{
    const auto Member = Object.FindMember(Key);
    return Member != Object.MemberEnd() && Member->value.IsString() ? Member->value.GetString() : "";
}

inline int64_t IntField(const rapidjson::Value& Object, const char* Key)
{
    const auto Member = Object.FindMember(Key);
    return Member != Object.MemberEnd() && Member->value.IsInt64() ? Member->value.GetInt64() : -1;
}

// Writes a seed file that lives as long as the object.
class FTempSeed
{
public:
    explicit FTempSeed(const std::string& Json)
        : Path(std::filesystem::temp_directory_path() /
               ("zorbackend-seed-" + std::to_string(::getpid()) + "-" +
                std::to_string(reinterpret_cast<uintptr_t>(this)) + ".json"))
    {
        std::ofstream(Path) << Json;
    }
    ~FTempSeed() { std::filesystem::remove(Path); }
    std::string GetPath() const { return Path.string(); }

private:
    std::filesystem::path Path;
};

// A backend on a free loopback port with the shipped seed, and a client talking to it.
class BackendTest : public ::testing::Test
{
protected:
    void SetUp() override { StartBackend({}); }

    void StartBackend(ZorBackend::FBackendOptions Options)
    {
        Backend = std::make_unique<ZorBackend::FLocalBackend>(std::move(Options));
        std::string Error;
        Port = Backend->Start(0, Error);
        ASSERT_GT(Port, 0) << Error;
        Client = std::make_unique<httplib::Client>("127.0.0.1", Port);
    }

    httplib::Result PostToken(const std::string& Body, const FTestClient& As = GameClient)
    {
        return Client->Post("/account/api/oauth/token", {{"Authorization", BasicAuth(As)}}, Body,
                            "application/x-www-form-urlencoded");
    }

    // A JSON body with any verb, DELETE included; no Authorization header when it is empty.
    httplib::Result SendBody(const std::string& Verb, const std::string& Path,
                             const std::string& Authorization, const std::string& Body)
    {
        httplib::Headers Headers;
        if (!Authorization.empty())
        {
            Headers.emplace("Authorization", Authorization);
        }
        if (Verb == "PUT")
        {
            return Client->Put(Path, Headers, Body, "application/json");
        }
        if (Verb == "DELETE")
        {
            return Client->Delete(Path, Headers, Body, "application/json");
        }
        return Client->Post(Path, Headers, Body, "application/json");
    }

    httplib::Result Get(const std::string& Path, const std::string& AccessToken)
    {
        return Client->Get(Path.c_str(), {{"Authorization", "bearer " + AccessToken}});
    }

    httplib::Result Delete(const std::string& Path, const std::string& AccessToken)
    {
        return Client->Delete(Path.c_str(), {{"Authorization", "bearer " + AccessToken}});
    }

    // The token reply of a grant that must succeed.
    rapidjson::Document Grant(const std::string& Body, const FTestClient& As = GameClient)
    {
        const httplib::Result Result = PostToken(Body, As);
        EXPECT_TRUE(Result);
        if (!Result)
        {
            return ParseJson("{}");
        }
        EXPECT_EQ(Result->status, 200) << Result->body;
        return ParseJson(Result->body);
    }

    std::string GrantAccessToken(const std::string& Body, const FTestClient& As = GameClient)
    {
        return StringField(Grant(Body, As), "access_token");
    }

    int VerifyStatus(const std::string& AccessToken)
    {
        const httplib::Result Result = Get("/account/api/oauth/verify", AccessToken);
        return Result ? Result->status : -1;
    }

    // Every refusal carries the JSON error reply the module reads.
    static void ExpectError(const httplib::Result& Result, int Status, const std::string& ErrorCode)
    {
        ASSERT_TRUE(Result) << "no response";
        EXPECT_EQ(Result->status, Status) << Result->body;
        EXPECT_EQ(Result->get_header_value("Content-Type"), "application/json");
        const rapidjson::Document Body = ParseJson(Result->body);
        ASSERT_TRUE(Body.IsObject()) << Result->body;
        EXPECT_EQ(StringField(Body, "errorCode"), ErrorCode);
        EXPECT_FALSE(StringField(Body, "errorMessage").empty());
    }

    std::unique_ptr<ZorBackend::FLocalBackend> Backend;
    std::unique_ptr<httplib::Client> Client;
    int Port = 0;
};
} // namespace ZorBackendTests
