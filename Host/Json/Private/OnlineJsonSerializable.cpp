#include "Json/OnlineJsonSerializable.h"

#include "JsonPrivate.h"

namespace
{
const TSharedPtr<FJsonObject> NoObject;

/** Truncating, clamped conversion of a JSON number into a field of any numeric type. */
template <typename NumberType> NumberType ConvertNumber(double Value)
{
    if constexpr (std::is_same_v<NumberType, double>)
    {
        return Value;
    }
    else if constexpr (std::is_same_v<NumberType, float>)
    {
        return JsonPrivate::SaturateToFloat(Value);
    }
    else
    {
        return JsonPrivate::SaturateToInt<NumberType>(Value);
    }
}
} // namespace

void FOnlineJsonSerializerBase::SerializeRecord(const FString& Name, FOnlineJsonSerializable& Record)
{
    if (IsSaving())
    {
        StartObject(Name);
        Record.Serialize(*this, true);
        EndObject();
        return;
    }
    const TSharedPtr<FJsonObject>* Nested = nullptr;
    if (GetObject() && GetObject()->TryGetObjectField(Name, Nested))
    {
        Record.FromJson(*Nested);
    }
}

void FOnlineJsonSerializerBase::SerializeDate(const FString& Name, FDateTime& Date)
{
    const FString Written = Date.ToIso8601();
    FString Text = Written;
    Serialize(Name, Text);
    if (IsLoading() && !Text.Equals(Written, ESearchCase::CaseSensitive))
    {
        FDateTime::ParseIso8601(*Text, Date);
    }
}

TArray<TSharedPtr<FJsonObject>> FOnlineJsonSerializerBase::ObjectsOfArrayField(const FString& Name) const
{
    TArray<TSharedPtr<FJsonObject>> Objects;
    if (!GetObject())
    {
        return Objects;
    }
    for (const TSharedPtr<FJsonValue>& Element : GetObject()->GetArrayField(Name))
    {
        const TSharedPtr<FJsonObject>* Object = nullptr;
        if (Element && Element->TryGetObject(Object))
        {
            Objects.Add(*Object);
        }
    }
    return Objects;
}

const FJsonValue* FOnlineJsonSerializerReader::Find(const FString& Name, EJson Kind) const
{
    if (!Object)
    {
        return nullptr;
    }
    const TSharedPtr<FJsonValue>* Field = Object->Values.Find(Name);
    if (!Field || !*Field || (*Field)->Type != Kind)
    {
        return nullptr;
    }
    return Field->Get();
}

template <typename NumberType>
void FOnlineJsonSerializerReader::ReadNumber(const FString& Name, NumberType& Value) const
{
    if (const FJsonValue* Field = Find(Name, EJson::Number))
    {
        Value = ConvertNumber<NumberType>(Field->AsNumber());
    }
}

template <typename NumberType>
void FOnlineJsonSerializerReader::ReadNumberArray(const FString& Name, TArray<NumberType>& Array) const
{
    const FJsonValue* Field = Find(Name, EJson::Array);
    if (!Field)
    {
        return;
    }
    for (const TSharedPtr<FJsonValue>& Element : Field->AsArray())
    {
        if (Element && Element->Type == EJson::Number)
        {
            Array.Add(ConvertNumber<NumberType>(Element->AsNumber()));
        }
    }
}

void FOnlineJsonSerializerReader::Serialize(const FString& Name, FString& Value)
{
    if (const FJsonValue* Field = Find(Name, EJson::String))
    {
        Value = Field->AsString();
    }
}

void FOnlineJsonSerializerReader::Serialize(const FString& Name, bool& Value)
{
    if (const FJsonValue* Field = Find(Name, EJson::Boolean))
    {
        Value = Field->AsBool();
    }
}

void FOnlineJsonSerializerReader::Serialize(const FString& Name, int32& Value)
{
    ReadNumber(Name, Value);
}

void FOnlineJsonSerializerReader::Serialize(const FString& Name, uint32& Value)
{
    ReadNumber(Name, Value);
}

void FOnlineJsonSerializerReader::Serialize(const FString& Name, int64& Value)
{
    ReadNumber(Name, Value);
}

void FOnlineJsonSerializerReader::Serialize(const FString& Name, float& Value)
{
    ReadNumber(Name, Value);
}

void FOnlineJsonSerializerReader::Serialize(const FString& Name, double& Value)
{
    ReadNumber(Name, Value);
}

void FOnlineJsonSerializerReader::SerializeArray(const FString& Name, TArray<FString>& Array)
{
    const FJsonValue* Field = Find(Name, EJson::Array);
    if (!Field)
    {
        return;
    }
    for (const TSharedPtr<FJsonValue>& Element : Field->AsArray())
    {
        if (Element && Element->Type == EJson::String)
        {
            Array.Add(Element->AsString());
        }
    }
}

void FOnlineJsonSerializerReader::SerializeArray(const FString& Name, TArray<int32>& Array)
{
    ReadNumberArray(Name, Array);
}

void FOnlineJsonSerializerReader::SerializeArray(const FString& Name, TArray<uint32>& Array)
{
    ReadNumberArray(Name, Array);
}

void FOnlineJsonSerializerReader::SerializeArray(const FString& Name, TArray<int64>& Array)
{
    ReadNumberArray(Name, Array);
}

void FOnlineJsonSerializerReader::SerializeArray(const FString& Name, TArray<float>& Array)
{
    ReadNumberArray(Name, Array);
}

void FOnlineJsonSerializerReader::SerializeArray(const FString& Name, TArray<double>& Array)
{
    ReadNumberArray(Name, Array);
}

void FOnlineJsonSerializerReader::SerializeMap(const FString& Name, TMap<FString, FString>& Map)
{
    const FJsonValue* Field = Find(Name, EJson::Object);
    if (!Field || !Field->AsObject())
    {
        return;
    }
    for (const auto& Member : Field->AsObject()->Values)
    {
        if (Member.Value && Member.Value->Type == EJson::String)
        {
            Map.Add(Member.Key, Member.Value->AsString());
        }
    }
}

void FOnlineJsonSerializerReader::SerializeObject(const FString& Name, TSharedPtr<FJsonObject>& Value)
{
    const FJsonValue* Field = Find(Name, EJson::Object);
    if (Field && Field->AsObject())
    {
        Value = Field->AsObject();
    }
}

const TSharedPtr<FJsonObject>& FOnlineJsonSerializerWriter::GetObject() const
{
    return NoObject;
}

void FOnlineJsonSerializerWriter::SerializeMap(const FString& Name, TMap<FString, FString>& Map)
{
    Writer.WriteObjectStart(Name);
    for (const auto& Member : Map)
    {
        Writer.WriteValue(Member.Key, Member.Value);
    }
    Writer.WriteObjectEnd();
}

void FOnlineJsonSerializerWriter::SerializeObject(const FString& Name, TSharedPtr<FJsonObject>& Value)
{
    if (!Value)
    {
        return;
    }
    const int32 Depth = FJsonSerializer::DepthOf(Writer) + 1;
    FJsonSerializer::Finish(Writer, FJsonSerializer::WriteObject(Writer, &Name, *Value, Depth), false);
}

FString FOnlineJsonSerializable::ToJson(bool bPrettyPrint) const
{
    FString Json;
    // Saving only reads the fields; the list is shared with loading, which is why Serialize is not const.
    auto& Self = const_cast<FOnlineJsonSerializable&>(*this);
    bool bClosed = false;
    if (bPrettyPrint)
    {
        auto Writer = TJsonWriterFactory<TCHAR, TPrettyJsonPrintPolicy<TCHAR>>::Create(&Json);
        FOnlineJsonSerializerWriter Serializer(Writer);
        Self.Serialize(Serializer, false);
        bClosed = Writer->Close();
    }
    else
    {
        auto Writer = TJsonWriterFactory<TCHAR, TCondensedJsonPrintPolicy<TCHAR>>::Create(&Json);
        FOnlineJsonSerializerWriter Serializer(Writer);
        Self.Serialize(Serializer, false);
        bClosed = Writer->Close();
    }
    return bClosed ? Json : FString();
}

bool FOnlineJsonSerializable::FromJson(const FString& Json)
{
    TSharedPtr<FJsonObject> Object;
    if (!FJsonSerializer::Deserialize(TJsonReaderFactory<>::Create(Json), Object))
    {
        return false;
    }
    return FromJson(Object);
}

bool FOnlineJsonSerializable::FromJson(const TSharedPtr<FJsonObject>& JsonObject)
{
    if (!JsonObject)
    {
        return false;
    }
    FOnlineJsonSerializerReader Serializer(JsonObject);
    Serialize(Serializer, false);
    return true;
}
