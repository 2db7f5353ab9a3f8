#include <gtest/gtest.h>

#include <limits>

#include "Json/Json.h"

namespace
{
class FTestImage : public FOnlineJsonSerializable
{
public:
    FString Url;
    int32 Width = 0;

    BEGIN_ONLINE_JSON_SERIALIZER
    ONLINE_JSON_SERIALIZE("url", Url);
    ONLINE_JSON_SERIALIZE("width", Width);
    END_ONLINE_JSON_SERIALIZER
};

/** Its keys stand directly in the enclosing object. */
class FTestText : public FOnlineJsonSerializable
{
public:
    FString Title;

    BEGIN_ONLINE_JSON_SERIALIZER
    ONLINE_JSON_SERIALIZE("title", Title);
    END_ONLINE_JSON_SERIALIZER
};

class FTestRecord : public FOnlineJsonSerializable
{
public:
    FString Id = "default-id";
    bool bActive = true;
    int32 Count = 7;
    uint32 Flags = 1;
    int64 Big = 0;
    float Ratio = 0.5f;
    double Seconds = 1.5;
    TArray<FString> Tags;
    TArray<int32> Scores;
    TMap<FString, FString> Attributes;
    FTestText Text;
    FTestImage Cover;
    TArray<FTestImage> Images;
    TSharedPtr<FJsonObject> Extra;

    BEGIN_ONLINE_JSON_SERIALIZER
    ONLINE_JSON_SERIALIZE("id", Id);
    Text.Serialize(Serializer, true);
    ONLINE_JSON_SERIALIZE("active", bActive);
    ONLINE_JSON_SERIALIZE("count", Count);
    ONLINE_JSON_SERIALIZE("flags", Flags);
    ONLINE_JSON_SERIALIZE("big", Big);
    ONLINE_JSON_SERIALIZE("ratio", Ratio);
    ONLINE_JSON_SERIALIZE("seconds", Seconds);
    ONLINE_JSON_SERIALIZE_ARRAY("tags", Tags);
    ONLINE_JSON_SERIALIZE_ARRAY("scores", Scores);
    ONLINE_JSON_SERIALIZE_MAP("attributes", Attributes);
    ONLINE_JSON_SERIALIZE_SERIALIZABLE("cover", Cover);
    ONLINE_JSON_SERIALIZE_ARRAY_SERIALIZABLE("images", Images, FTestImage);
    ONLINE_JSON_SERIALIZE_OBJECT_SERIALIZABLE("extra", Extra);
    END_ONLINE_JSON_SERIALIZER
};

FTestRecord MakeFilledRecord()
{
    FTestRecord Record;
    Record.Id = "r-1";
    Record.Text.Title = "Title \"quoted\"";
    Record.bActive = false;
    Record.Count = -3;
    Record.Flags = 4000000000u;
    Record.Big = 9007199254740993LL;
    Record.Ratio = 0.25f;
    Record.Seconds = 0.1;
    Record.Tags = {"a", "b"};
    Record.Scores = {1, -2};
    Record.Attributes.Add("color", "red");
    Record.Cover.Url = "http://x/c.png";
    Record.Cover.Width = 64;
    Record.Images.AddDefaulted_GetRef().Url = "http://x/1.png";
    Record.Images.AddDefaulted_GetRef().Width = 2;
    Record.Extra = MakeShared<FJsonObject>();
    Record.Extra->SetBoolField("free", true);
    return Record;
}
} // namespace

TEST(OnlineJsonSerializable, WritesFieldsInListOrder)
{
    EXPECT_STREQ(
        *MakeFilledRecord().ToJson(false),
        R"({"id":"r-1","title":"Title \"quoted\"","active":false,"count":-3,"flags":4000000000,)"
        R"("big":9007199254740993,"ratio":0.25,"seconds":0.1,"tags":["a","b"],"scores":[1,-2],)"
        R"("attributes":{"color":"red"},"cover":{"url":"http://x/c.png","width":64},)"
        R"("images":[{"url":"http://x/1.png","width":0},{"url":"","width":2}],"extra":{"free":true}})");

    FTestImage Image;
    Image.Url = "u";
    EXPECT_STREQ(*Image.ToJson(), "{\r\n\t\"url\": \"u\",\r\n\t\"width\": 0\r\n}");
}

TEST(OnlineJsonSerializable, RoundTripKeepsEveryField)
{
    const FTestRecord Original = MakeFilledRecord();
    for (bool bPretty : {true, false})
    {
        FTestRecord Copy;
        ASSERT_TRUE(Copy.FromJson(Original.ToJson(bPretty)));
        EXPECT_STREQ(*Copy.Id, *Original.Id);
        EXPECT_STREQ(*Copy.Text.Title, *Original.Text.Title);
        EXPECT_EQ(Copy.bActive, Original.bActive);
        EXPECT_EQ(Copy.Count, Original.Count);
        EXPECT_EQ(Copy.Flags, Original.Flags);
        // One above 2^53 travels as text but comes back through a double.
        EXPECT_EQ(Copy.Big, 9007199254740992LL);
        EXPECT_EQ(Copy.Ratio, Original.Ratio);
        EXPECT_EQ(Copy.Seconds, Original.Seconds);
        EXPECT_EQ(Copy.Tags, Original.Tags);
        EXPECT_EQ(Copy.Scores, Original.Scores);
        EXPECT_STREQ(*Copy.Attributes.FindRef("COLOR"), "red");
        EXPECT_STREQ(*Copy.Cover.Url, *Original.Cover.Url);
        EXPECT_EQ(Copy.Cover.Width, 64);
        ASSERT_EQ(Copy.Images.Num(), 2);
        EXPECT_STREQ(*Copy.Images[0].Url, "http://x/1.png");
        EXPECT_EQ(Copy.Images[1].Width, 2);
        ASSERT_TRUE(Copy.Extra.IsValid());
        EXPECT_TRUE(Copy.Extra->GetBoolField("free"));
    }
}

TEST(OnlineJsonSerializable, AbsentKeysAndWrongKindsKeepTheFields)
{
    FTestRecord Record;
    ASSERT_TRUE(Record.FromJson(R"({"ID":42,"active":"no","count":"3","tags":"x","cover":[],"images":{},)"
                                R"("extra":[1],"attributes":{"n":1,"s":"ok"},"scores":[1,"2",3.9]})"));
    EXPECT_STREQ(*Record.Id, "default-id");
    EXPECT_TRUE(Record.bActive);
    EXPECT_EQ(Record.Count, 7);
    EXPECT_EQ(Record.Ratio, 0.5f);
    EXPECT_EQ(Record.Seconds, 1.5);
    EXPECT_EQ(Record.Tags.Num(), 0);
    EXPECT_TRUE(Record.Cover.Url.IsEmpty());
    EXPECT_EQ(Record.Images.Num(), 0);
    EXPECT_FALSE(Record.Extra.IsValid());
    EXPECT_EQ(Record.Attributes.Num(), 1);
    EXPECT_STREQ(*Record.Attributes.FindRef("s"), "ok");
    EXPECT_EQ(Record.Scores, (TArray<int32>{1, 3}));
}

TEST(OnlineJsonSerializable, NumbersSaturateIntoTheirFields)
{
    FTestRecord Record;
    ASSERT_TRUE(
        Record.FromJson(R"({"count":1e12,"flags":-5,"big":-1e30,"ratio":1e300,"scores":[3e9,-3e9]})"));
    EXPECT_EQ(Record.Count, std::numeric_limits<int32>::max());
    EXPECT_EQ(Record.Flags, 0u);
    EXPECT_EQ(Record.Big, std::numeric_limits<int64>::min());
    EXPECT_EQ(Record.Ratio, std::numeric_limits<float>::max());
    EXPECT_EQ(Record.Scores,
              (TArray<int32>{std::numeric_limits<int32>::max(), std::numeric_limits<int32>::min()}));

    ASSERT_TRUE(Record.FromJson(R"({"count":-2.99,"flags":4294967296.5})"));
    EXPECT_EQ(Record.Count, -2);
    EXPECT_EQ(Record.Flags, std::numeric_limits<uint32>::max());
}

TEST(OnlineJsonSerializable, ArraysAppendWhenRead)
{
    FTestRecord Record;
    Record.Tags = {"kept"};
    ASSERT_TRUE(Record.FromJson(R"({"tags":["new",1,null],"images":[{"width":1},"skip",{"width":2}]})"));
    EXPECT_EQ(Record.Tags, (TArray<FString>{"kept", "new"}));
    ASSERT_EQ(Record.Images.Num(), 2);
    EXPECT_EQ(Record.Images[1].Width, 2);
}

TEST(OnlineJsonSerializable, FromJsonRefusesWhatIsNotAnObject)
{
    FTestRecord Record;
    EXPECT_FALSE(Record.FromJson(FString("[]")));
    EXPECT_FALSE(Record.FromJson(FString("{\"id\":")));
    EXPECT_FALSE(Record.FromJson(TSharedPtr<FJsonObject>()));
    EXPECT_STREQ(*Record.Id, "default-id");
}

TEST(OnlineJsonSerializable, CustomWorkSeesTheDirection)
{
    class FCustom : public FOnlineJsonSerializable
    {
    public:
        FString Seen;
        void Serialize(FOnlineJsonSerializerBase& Serializer, bool bFlatObject) override
        {
            if (!bFlatObject)
            {
                Serializer.StartObject();
            }
            if (Serializer.IsLoading())
            {
                EXPECT_FALSE(Serializer.IsSaving());
                Seen = Serializer.GetObject()->GetStringField("when");
            }
            else
            {
                EXPECT_FALSE(Serializer.GetObject().IsValid());
                FString Stamp = "now";
                Serializer.Serialize("when", Stamp);
            }
            if (!bFlatObject)
            {
                Serializer.EndObject();
            }
        }
    };
    FCustom Record;
    EXPECT_STREQ(*Record.ToJson(false), R"({"when":"now"})");
    ASSERT_TRUE(Record.FromJson(FString(R"({"WHEN":"later"})")));
    EXPECT_STREQ(*Record.Seen, "later");
}
