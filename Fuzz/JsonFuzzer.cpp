// Untrusted bytes through the JSON reader. What parses must write out with both print policies and read back
// equal, and writing the re-read value must give the same text again: any mismatch between reader and writer
// aborts. The step-by-step reader alone must build the same tree, written to the same bytes, as the reader
// that tries the whole-document parser first. The parsed object is also read into a record with every field
// kind, for the numeric conversions.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "JsonPrivate.h"
#include "Json/Json.h"

namespace
{
using FCondensedFactory = TJsonWriterFactory<TCHAR, TCondensedJsonPrintPolicy<TCHAR>>;

class FFuzzRecord : public FOnlineJsonSerializable
{
public:
    FString Text;
    bool bFlag = false;
    int32 Int = 0;
    uint32 Unsigned = 0;
    int64 Long = 0;
    float Single = 0.0f;
    double Double = 0.0;
    TArray<FString> Texts;
    TArray<int32> Ints;
    TArray<float> Singles;
    TMap<FString, FString> Map;
    TArray<FFuzzRecord> Children;
    TSharedPtr<FJsonObject> Raw;

    BEGIN_ONLINE_JSON_SERIALIZER
    ONLINE_JSON_SERIALIZE("t", Text);
    ONLINE_JSON_SERIALIZE("b", bFlag);
    ONLINE_JSON_SERIALIZE("i", Int);
    ONLINE_JSON_SERIALIZE("u", Unsigned);
    ONLINE_JSON_SERIALIZE("l", Long);
    ONLINE_JSON_SERIALIZE("f", Single);
    ONLINE_JSON_SERIALIZE("d", Double);
    ONLINE_JSON_SERIALIZE_ARRAY("ts", Texts);
    ONLINE_JSON_SERIALIZE_ARRAY("is", Ints);
    ONLINE_JSON_SERIALIZE_ARRAY("fs", Singles);
    ONLINE_JSON_SERIALIZE_MAP("m", Map);
    ONLINE_JSON_SERIALIZE_ARRAY_SERIALIZABLE("c", Children, FFuzzRecord);
    ONLINE_JSON_SERIALIZE_OBJECT_SERIALIZABLE("r", Raw);
    END_ONLINE_JSON_SERIALIZER
};

void Check(bool bCondition)
{
    if (!bCondition)
    {
        std::abort();
    }
}

TSharedPtr<FJsonValue> Parse(const FString& Text)
{
    TSharedPtr<FJsonValue> Value;
    return FJsonSerializer::Deserialize(TJsonReaderFactory<>::Create(Text), Value) ? Value : nullptr;
}

template <typename FactoryType> FString Write(const TSharedPtr<FJsonValue>& Value)
{
    FString Text;
    Check(FJsonSerializer::Serialize(Value, FString(), FactoryType::Create(&Text)));
    return Text;
}

void CheckReadsBackEqual(const TSharedPtr<FJsonValue>& Value, const FString& Text)
{
    const TSharedPtr<FJsonValue> Again = Parse(Text);
    Check(Again.IsValid() && FJsonValue::CompareEqual(*Value, *Again));
    Check(
        Write<FCondensedFactory>(Again).Equals(Write<FCondensedFactory>(Value), ESearchCase::CaseSensitive));
}

void CheckStepwiseAgrees(const FString& Text, const TSharedPtr<FJsonValue>& Value)
{
    TSharedPtr<FJsonValue> Stepwise;
    FString Error;
    const bool bRead = JsonPrivate::ParseJsonStepwise(Text, Stepwise, Error);
    Check(bRead == Value.IsValid());
    if (!bRead)
    {
        return;
    }
    Check(FJsonValue::CompareEqual(*Value, *Stepwise));
    Check(Write<FCondensedFactory>(Stepwise).Equals(Write<FCondensedFactory>(Value),
                                                    ESearchCase::CaseSensitive));
}

void CheckObject(const FString& Text, const TSharedPtr<FJsonValue>& Value)
{
    TSharedPtr<FJsonObject> Object;
    const bool bObject = FJsonSerializer::Deserialize(TJsonReaderFactory<>::Create(Text), Object);
    Check(bObject == (Value->Type == EJson::Object));
    if (!bObject)
    {
        return;
    }
    Check(FJsonValue::CompareEqual(FJsonValueObject(FJsonObject::Duplicate(Object)), *Value));
    FFuzzRecord Record;
    Check(Record.FromJson(Object));
    // Records nest without a limit of their own, so their text may be too deep to read back; only exercise
    // it.
    FFuzzRecord Again;
    Again.FromJson(Record.ToJson(false));
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size)
{
    const FString Text(std::string_view(reinterpret_cast<const char*>(Data), Size));
    const TSharedPtr<FJsonValue> Value = Parse(Text);
    CheckStepwiseAgrees(Text, Value);
    if (!Value)
    {
        return 0;
    }
    CheckReadsBackEqual(Value, Write<TJsonWriterFactory<>>(Value));
    CheckReadsBackEqual(Value, Write<FCondensedFactory>(Value));
    CheckObject(Text, Value);
    return 0;
}
