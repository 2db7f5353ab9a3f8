#include <gtest/gtest.h>

#include <string>

#include "Core/Base64.h"
#include "Core/PlatformHttp.h"
#include "Core/SecureHash.h"

TEST(Base64, EncodesRfc4648Vectors)
{
    const char* Vectors[][2] = {{"", ""},
                                {"f", "Zg=="},
                                {"fo", "Zm8="},
                                {"foo", "Zm9v"},
                                {"foob", "Zm9vYg=="},
                                {"fooba", "Zm9vYmE="},
                                {"foobar", "Zm9vYmFy"}};
    for (const auto& [Plain, Encoded] : Vectors)
    {
        EXPECT_TRUE(FBase64::Encode(FString(Plain)).Equals(Encoded)) << Plain;
        FString Decoded = "stale";
        ASSERT_TRUE(FBase64::Decode(FString(Encoded), Decoded)) << Encoded;
        EXPECT_TRUE(Decoded.Equals(Plain)) << Encoded;
    }
}

TEST(Base64, RoundTripsEveryByteValue)
{
    TArray<uint8> Bytes;
    for (int32 Value = 0; Value < 256; ++Value)
    {
        Bytes.Add(static_cast<uint8>(Value));
    }
    for (int32 Length = 250; Length <= 256; ++Length)
    {
        const TArray<uint8> Slice(Bytes.GetData(), Length);
        TArray<uint8> Decoded;
        ASSERT_TRUE(FBase64::Decode(FBase64::Encode(Slice), Decoded));
        EXPECT_EQ(Decoded, Slice);
    }
    EXPECT_TRUE(
        FBase64::Encode(Bytes.GetData(), 3).Equals(FBase64::Encode(TArray<uint8>(Bytes.GetData(), 3))));
}

TEST(Base64, CredentialTextUsedInBasicAuth)
{
    EXPECT_TRUE(FBase64::Encode(FString("client:secret")).Equals("Y2xpZW50OnNlY3JldA=="));
}

TEST(Base64, RefusesMalformedInput)
{
    for (const char* Bad : {"Zg=", "Zg", "Z===", "====", "Zm9v\n", "Zm 9v", "Zm9v!A==", "Zg==Zg==", "=Zm9"})
    {
        TArray<uint8> Decoded = {1, 2};
        EXPECT_FALSE(FBase64::Decode(FString(Bad), Decoded)) << Bad;
        EXPECT_TRUE(Decoded.IsEmpty()) << Bad;
    }
}

TEST(SHA1, MatchesFipsVectors)
{
    EXPECT_TRUE(FSHA1::HashBuffer("abc", 3).ToString().Equals("A9993E364706816ABA3E25717850C26C9CD0D89D"));
    EXPECT_TRUE(FSHA1::HashBuffer("", 0).ToString().Equals("DA39A3EE5E6B4B0D3255BFEF95601890AFD80709"));
    const char* Long = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";
    uint8 Raw[20];
    FSHA1::HashBuffer(Long, 56, Raw);
    FSHAHash Hash;
    std::copy(Raw, Raw + 20, Hash.Hash);
    EXPECT_TRUE(Hash.ToString().Equals("84983E441C3BD26EBAAE4AA1F95129E5E54670F1"));
}

TEST(SHA1, IncrementalEqualsOneShotAndIgnoresUpdatesAfterFinal)
{
    const std::string Million(1000000, 'a');
    FSHA1 Hasher;
    for (size_t Offset = 0; Offset < Million.size(); Offset += 4096)
    {
        Hasher.Update(reinterpret_cast<const uint8*>(Million.data()) + Offset,
                      std::min<size_t>(4096, Million.size() - Offset));
    }
    Hasher.Final();
    Hasher.Update(reinterpret_cast<const uint8*>("x"), 1);
    FSHAHash Hash;
    Hasher.GetHash(Hash.Hash);
    EXPECT_TRUE(Hash.ToString().Equals("34AA973CD4C4DAA4F61EEB2BDBAD27316534016F"));

    Hasher.Reset();
    Hasher.Update(reinterpret_cast<const uint8*>("abc"), 3);
    EXPECT_EQ(Hasher.Finalize(), FSHA1::HashBuffer("abc", 3));
}

TEST(SHAHash, StringRoundTripAcceptsEitherCaseAndRefusesGarbage)
{
    const FSHAHash Hash = FSHA1::HashBuffer("abc", 3);
    FSHAHash Parsed;
    ASSERT_TRUE(Parsed.FromString(Hash.ToString().ToLower()));
    EXPECT_EQ(Parsed, Hash);
    EXPECT_FALSE(Parsed.FromString("A9993E364706816ABA3E25717850C26C9CD0D89"));
    EXPECT_FALSE(Parsed.FromString("G9993E364706816ABA3E25717850C26C9CD0D89D"));
    EXPECT_EQ(Parsed, Hash);
    EXPECT_NE(Parsed, FSHAHash());
}

TEST(UrlEncoding, KeepsUnreservedAndPercentEncodesEverythingElse)
{
    EXPECT_TRUE(FGenericPlatformHttp::UrlEncode("AZaz09-._~").Equals("AZaz09-._~"));
    EXPECT_TRUE(FGenericPlatformHttp::UrlEncode("p&ss w=rd+/?%").Equals("p%26ss%20w%3Drd%2B%2F%3F%25"));
    EXPECT_TRUE(FGenericPlatformHttp::UrlEncode("\xC3\xA9").Equals("%C3%A9"));
}

TEST(UrlEncoding, DecodeReversesEncodeAndLeavesBrokenEscapes)
{
    const FString Original = "a b&c=d+e/\xC3\xA9%";
    EXPECT_TRUE(FGenericPlatformHttp::UrlDecode(FGenericPlatformHttp::UrlEncode(Original)).Equals(Original));
    EXPECT_TRUE(FGenericPlatformHttp::UrlDecode("a+b%2b%zz%4").Equals("a b+%zz%4"));
    EXPECT_TRUE(FGenericPlatformHttp::UrlDecode("%00x").Equals(FString(std::string("\0x", 2))));
}
