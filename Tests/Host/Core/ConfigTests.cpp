#include <gtest/gtest.h>

#include <random>
#include <string>

#include "Core/Config.h"

namespace
{
const FString Ini = "ConfigTestIni";

class ConfigTest : public ::testing::Test
{
protected:
    void TearDown() override { Config.Empty(Ini); }

    void Load(const FString& Text) { Config.LoadFromString(Ini, Text); }
    TArray<FString> Array(const char* Section, const char* Key)
    {
        TArray<FString> Values;
        Config.GetArray(Section, Key, Values, Ini);
        return Values;
    }

    FConfigCacheIni Config;
};
} // namespace

TEST_F(ConfigTest, RepeatedKeysAndAddRemoveFormsLayerInFileOrder)
{
    Load("[Perms]\n"
         "ServicePermissions=(Name=Client,Id=a,Key=1)\n"
         "+ServicePermissions=(Name=Server,Id=b,Key=2)\n"
         "ServicePermissions=(Name=Other,Id=c,Key=3)\n"
         "-ServicePermissions=(Name=Client,Id=a,Key=1)\n"
         "-ServicePermissions=(Name=Missing,Id=z,Key=9)\n");
    const TArray<FString> Values = Array("Perms", "ServicePermissions");
    ASSERT_EQ(Values.Num(), 2);
    EXPECT_TRUE(Values[0].Equals("(Name=Server,Id=b,Key=2)"));
    EXPECT_TRUE(Values[1].Equals("(Name=Other,Id=c,Key=3)"));

    FString Last;
    ASSERT_TRUE(Config.GetString("Perms", "ServicePermissions", Last, Ini));
    EXPECT_TRUE(Last.Equals("(Name=Other,Id=c,Key=3)"));
}

TEST_F(ConfigTest, ClearingKeyDropsEarlierLinesOnly)
{
    Load("[S]\nItem=1\nItem=2\nOther=x\n!Item\nItem=3\n");
    const TArray<FString> Values = Array("S", "Item");
    ASSERT_EQ(Values.Num(), 1);
    EXPECT_TRUE(Values[0].Equals("3"));
    EXPECT_EQ(Array("S", "Other").Num(), 1);

    Load("[S]\nItem=1\n!Item=ClearArray\n");
    FString Value = "untouched";
    EXPECT_FALSE(Config.GetString("S", "Item", Value, Ini));
    EXPECT_TRUE(Value.Equals("untouched"));
}

TEST_F(ConfigTest, SectionNamesWithBlanksAndDotsAndLookupIgnoresCase)
{
    Load("[OnlineSubsystemZor.OnlineIdentityZor]\nDomain=base.example\n"
         "[OnlineSubsystemZor.OnlineIdentityZor ProdNet]\nDomain=prod.example\n");
    FString Domain;
    ASSERT_TRUE(Config.GetString("onlinesubsystemzor.onlineidentityzor prodnet", "DOMAIN", Domain, Ini));
    EXPECT_TRUE(Domain.Equals("prod.example"));
    ASSERT_TRUE(Config.GetString("OnlineSubsystemZor.OnlineIdentityZor", "Domain", Domain, Ini));
    EXPECT_TRUE(Domain.Equals("base.example"));
}

TEST_F(ConfigTest, MissingIniSectionOrKeyLeavesOutputUnchanged)
{
    Load("[Present]\nKey=1\n");
    FString Text = "keep";
    bool bFlag = true;
    int32 Number = 7;
    double Real = 2.5;
    EXPECT_FALSE(Config.GetString("Absent", "Key", Text, Ini));
    EXPECT_FALSE(Config.GetString("Present", "Other", Text, Ini));
    EXPECT_FALSE(Config.GetString("Present", "Key", Text, "OtherIni"));
    EXPECT_FALSE(Config.GetBool("Absent", "Key", bFlag, Ini));
    EXPECT_FALSE(Config.GetInt("Present", "Other", Number, Ini));
    EXPECT_FALSE(Config.GetDouble("Present", "Other", Real, Ini));
    EXPECT_TRUE(Text.Equals("keep"));
    EXPECT_TRUE(bFlag);
    EXPECT_EQ(Number, 7);
    EXPECT_EQ(Real, 2.5);
    EXPECT_EQ(Array("Absent", "Key").Num(), 0);
}

TEST_F(ConfigTest, ValuesAreTrimmedUnquotedAndCommentsAndCrLfIgnored)
{
    Load("; leading comment\r\n"
         "[S]\r\n"
         "  Quoted =  \"  two words \"  \r\n"
         "# Hidden=1\r\n"
         "Plain= value with blanks \r\n"
         "Empty=\r\n"
         "Half=\"open\r\n");
    FString Value;
    ASSERT_TRUE(Config.GetString("S", "Quoted", Value, Ini));
    EXPECT_TRUE(Value.Equals("  two words "));
    ASSERT_TRUE(Config.GetString("S", "Plain", Value, Ini));
    EXPECT_TRUE(Value.Equals("value with blanks"));
    ASSERT_TRUE(Config.GetString("S", "Empty", Value, Ini));
    EXPECT_TRUE(Value.IsEmpty());
    ASSERT_TRUE(Config.GetString("S", "Half", Value, Ini));
    EXPECT_TRUE(Value.Equals("\"open"));
    EXPECT_FALSE(Config.GetString("S", "# Hidden", Value, Ini));
    EXPECT_FALSE(Config.GetString("S", "Hidden", Value, Ini));
}

TEST_F(ConfigTest, MalformedLinesAreSkippedAndBrokenHeaderDoesNotLeakIntoPreviousSection)
{
    Load("Orphan=1\n"
         "[Good]\n"
         "NoEqualsSign\n"
         "=NoKey\n"
         "Key=good\n"
         "[Broken\n"
         "Key=stolen\n"
         "[]\n"
         "Key=stolen too\n"
         "[Good]\n"
         "More=yes\n");
    TArray<FString> Sections;
    Config.GetSectionNames(Ini, Sections);
    ASSERT_EQ(Sections.Num(), 1);
    TArray<FString> Lines;
    ASSERT_TRUE(Config.GetSection("Good", Lines, Ini));
    ASSERT_EQ(Lines.Num(), 2);
    EXPECT_TRUE(Lines[0].Equals("Key=good"));
    EXPECT_TRUE(Lines[1].Equals("More=yes"));
}

TEST_F(ConfigTest, TypedGettersAcceptOnlyWellFormedValues)
{
    Load("[S]\nT1=True\nT2=yes\nT3=ON\nT4=1\nF1=false\nF2=No\nF3=off\nF4=0\nBadBool=maybe\n"
         "Int=-42\nPlusInt=+7\nBadInt=12abc\nHugeInt=99999999999\nFloat=0.25\nBadFloat=1.5.2\nNotFinite="
         "nan\n");
    for (const char* Key : {"T1", "T2", "T3", "T4"})
    {
        bool bValue = false;
        EXPECT_TRUE(Config.GetBool("S", Key, bValue, Ini) && bValue) << Key;
    }
    for (const char* Key : {"F1", "F2", "F3", "F4"})
    {
        bool bValue = true;
        EXPECT_TRUE(Config.GetBool("S", Key, bValue, Ini) && !bValue) << Key;
    }
    bool bValue = true;
    EXPECT_FALSE(Config.GetBool("S", "BadBool", bValue, Ini));
    EXPECT_TRUE(bValue);

    int32 Number = 0;
    EXPECT_TRUE(Config.GetInt("S", "Int", Number, Ini));
    EXPECT_EQ(Number, -42);
    EXPECT_TRUE(Config.GetInt("S", "PlusInt", Number, Ini));
    EXPECT_EQ(Number, 7);
    EXPECT_FALSE(Config.GetInt("S", "BadInt", Number, Ini));
    EXPECT_FALSE(Config.GetInt("S", "HugeInt", Number, Ini));
    EXPECT_EQ(Number, 7);

    float Real = 0.0f;
    EXPECT_TRUE(Config.GetFloat("S", "Float", Real, Ini));
    EXPECT_EQ(Real, 0.25f);
    EXPECT_FALSE(Config.GetFloat("S", "BadFloat", Real, Ini));
    EXPECT_FALSE(Config.GetFloat("S", "NotFinite", Real, Ini));
}

TEST_F(ConfigTest, SettersReplaceEveryLineOfTheKey)
{
    Load("[S]\nList=a\nList=b\n");
    Config.SetArray("S", "List", {"x", "y", "z"}, Ini);
    EXPECT_EQ(Array("S", "List").Num(), 3);
    Config.SetString("S", "List", "only", Ini);
    const TArray<FString> Values = Array("S", "List");
    ASSERT_EQ(Values.Num(), 1);
    EXPECT_TRUE(Values[0].Equals("only"));

    Config.SetBool("New Section", "bEnabled", true, Ini);
    bool bEnabled = false;
    EXPECT_TRUE(Config.GetBool("New Section", "bEnabled", bEnabled, Ini) && bEnabled);
}

TEST_F(ConfigTest, LoadingReplacesPreviousContent)
{
    Load("[Old]\nKey=1\n");
    Load("[New]\nKey=2\n");
    EXPECT_FALSE(Config.DoesSectionExist("Old", Ini));
    EXPECT_TRUE(Config.DoesSectionExist("New", Ini));
    EXPECT_FALSE(Config.LoadFile(Ini, "/nonexistent/dir/Engine.ini"));
    EXPECT_TRUE(Config.DoesSectionExist("New", Ini));
}

TEST_F(ConfigTest, HostileBytesNeverCrash)
{
    std::mt19937 Random(1234);
    const char Interesting[] = {'[', ']',  '=',  '+', '-',  '!', '"',   ';',
                                '#', '\n', '\r', ' ', '\0', 'a', '\xff'};
    for (int32 Round = 0; Round < 300; ++Round)
    {
        std::string Bytes(Random() % 200, '\0');
        for (char& Byte : Bytes)
        {
            Byte = Random() % 2 ? Interesting[Random() % sizeof(Interesting)] : static_cast<char>(Random());
        }
        Load(FString(std::move(Bytes)));
        TArray<FString> Sections;
        Config.GetSectionNames(Ini, Sections);
        for (const FString& Section : Sections)
        {
            TArray<FString> Lines;
            EXPECT_TRUE(Config.GetSection(*Section, Lines, Ini));
        }
    }
    Load(FString(std::string("[S]\nKey=va\0lue\nOther=1\n[T\0]\nKey=lost\n", 37)));
    FString Value;
    EXPECT_FALSE(Config.GetString("S", "Key", Value, Ini)) << "a line holding a NUL byte is malformed";
    EXPECT_TRUE(Config.GetString("S", "Other", Value, Ini));
    TArray<FString> Sections;
    Config.GetSectionNames(Ini, Sections);
    EXPECT_EQ(Sections.Num(), 1);
}

TEST(GlobalConfig, IsUsableAndNamesTheEngineIni)
{
    ASSERT_NE(GConfig, nullptr);
    EXPECT_FALSE(GEngineIni.IsEmpty());
    GConfig->LoadFromString("GlobalConfigTest", "[OnlineSubsystemZor]\nbEnabled=true\n");
    bool bEnabled = false;
    EXPECT_TRUE(GConfig->GetBool("OnlineSubsystemZor", "bEnabled", bEnabled, "GlobalConfigTest") && bEnabled);
    GConfig->Empty("GlobalConfigTest");
}
