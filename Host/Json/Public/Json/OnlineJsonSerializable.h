#pragma once

#include "Core/DateTime.h"
#include "Json/JsonSerializer.h"

class FOnlineJsonSerializable;

/**
 * One field list serves reading and writing: a record's Serialize names each field once and the serializer
 * either fills the field from a JSON object or writes it.
 *
 * Reading never fails: a missing key or a value of another kind leaves the field as it was. Numbers are
 * truncated toward zero and clamped to the field's range (NaN reads as 0 into integers); doubles are clamped
 * to the float range for float fields. Arrays and maps read from JSON are appended to what the field holds;
 * array elements and map members of another kind are skipped.
 */
class FOnlineJsonSerializerBase
{
public:
    virtual ~FOnlineJsonSerializerBase() = default;

    virtual bool IsLoading() const = 0;
    bool IsSaving() const { return !IsLoading(); }
    /** The object being read; empty while saving. For fields that need work of their own. */
    virtual const TSharedPtr<FJsonObject>& GetObject() const = 0;

    /** Open and close an object or array while saving; nothing while loading. */
    virtual void StartObject() = 0;
    virtual void StartObject(const FString& Name) = 0;
    virtual void EndObject() = 0;
    virtual void StartArray() = 0;
    virtual void StartArray(const FString& Name) = 0;
    virtual void EndArray() = 0;

    virtual void Serialize(const FString& Name, FString& Value) = 0;
    virtual void Serialize(const FString& Name, bool& Value) = 0;
    virtual void Serialize(const FString& Name, int32& Value) = 0;
    virtual void Serialize(const FString& Name, uint32& Value) = 0;
    virtual void Serialize(const FString& Name, int64& Value) = 0;
    virtual void Serialize(const FString& Name, float& Value) = 0;
    virtual void Serialize(const FString& Name, double& Value) = 0;

    virtual void SerializeArray(const FString& Name, TArray<FString>& Array) = 0;
    virtual void SerializeArray(const FString& Name, TArray<int32>& Array) = 0;
    virtual void SerializeArray(const FString& Name, TArray<uint32>& Array) = 0;
    virtual void SerializeArray(const FString& Name, TArray<int64>& Array) = 0;
    virtual void SerializeArray(const FString& Name, TArray<float>& Array) = 0;
    virtual void SerializeArray(const FString& Name, TArray<double>& Array) = 0;

    /** A JSON object of string members. */
    virtual void SerializeMap(const FString& Name, TMap<FString, FString>& Map) = 0;
    /** A raw nested object, shared as read; an empty pointer is not written. */
    virtual void SerializeObject(const FString& Name, TSharedPtr<FJsonObject>& Object) = 0;

    /** A nested record as an object under Name. */
    void SerializeRecord(const FString& Name, FOnlineJsonSerializable& Record);

    /** An array of records; reading appends one new element per object in the JSON array. */
    template <typename ElementType>
    void SerializeRecordArray(const FString& Name, TArray<ElementType>& Array);

    /** A date-time as ISO 8601 text; text that does not parse leaves the field as it was. */
    void SerializeDate(const FString& Name, FDateTime& Date);
    /** A display text (any type with FromString and ToString) carried as a JSON string. */
    template <typename TextType> void SerializeText(const FString& Name, TextType& Text);

private:
    TArray<TSharedPtr<FJsonObject>> ObjectsOfArrayField(const FString& Name) const;
};

class FOnlineJsonSerializerReader final : public FOnlineJsonSerializerBase
{
public:
    explicit FOnlineJsonSerializerReader(TSharedPtr<FJsonObject> InObject) : Object(std::move(InObject)) {}

    bool IsLoading() const override { return true; }
    const TSharedPtr<FJsonObject>& GetObject() const override { return Object; }

    void StartObject() override {}
    void StartObject(const FString&) override {}
    void EndObject() override {}
    void StartArray() override {}
    void StartArray(const FString&) override {}
    void EndArray() override {}

    void Serialize(const FString& Name, FString& Value) override;
    void Serialize(const FString& Name, bool& Value) override;
    void Serialize(const FString& Name, int32& Value) override;
    void Serialize(const FString& Name, uint32& Value) override;
    void Serialize(const FString& Name, int64& Value) override;
    void Serialize(const FString& Name, float& Value) override;
    void Serialize(const FString& Name, double& Value) override;

    void SerializeArray(const FString& Name, TArray<FString>& Array) override;
    void SerializeArray(const FString& Name, TArray<int32>& Array) override;
    void SerializeArray(const FString& Name, TArray<uint32>& Array) override;
    void SerializeArray(const FString& Name, TArray<int64>& Array) override;
    void SerializeArray(const FString& Name, TArray<float>& Array) override;
    void SerializeArray(const FString& Name, TArray<double>& Array) override;

    void SerializeMap(const FString& Name, TMap<FString, FString>& Map) override;
    void SerializeObject(const FString& Name, TSharedPtr<FJsonObject>& Value) override;

private:
    const FJsonValue* Find(const FString& Name, EJson Kind) const;
    template <typename NumberType> void ReadNumber(const FString& Name, NumberType& Value) const;
    template <typename NumberType> void ReadNumberArray(const FString& Name, TArray<NumberType>& Array) const;

    TSharedPtr<FJsonObject> Object;
};

class FOnlineJsonSerializerWriter final : public FOnlineJsonSerializerBase
{
public:
    /** The writer must outlive this serializer. */
    explicit FOnlineJsonSerializerWriter(FJsonWriterBase& InWriter) : Writer(InWriter) {}
    template <typename CharType, typename PrintPolicy>
    explicit FOnlineJsonSerializerWriter(const TSharedRef<TJsonWriter<CharType, PrintPolicy>>& InWriter)
        : Writer(InWriter.Get())
    {
    }

    bool IsLoading() const override { return false; }
    const TSharedPtr<FJsonObject>& GetObject() const override;

    void StartObject() override { Writer.WriteObjectStart(); }
    void StartObject(const FString& Name) override { Writer.WriteObjectStart(Name); }
    void EndObject() override { Writer.WriteObjectEnd(); }
    void StartArray() override { Writer.WriteArrayStart(); }
    void StartArray(const FString& Name) override { Writer.WriteArrayStart(Name); }
    void EndArray() override { Writer.WriteArrayEnd(); }

    void Serialize(const FString& Name, FString& Value) override { Writer.WriteValue(Name, Value); }
    void Serialize(const FString& Name, bool& Value) override { Writer.WriteValue(Name, Value); }
    void Serialize(const FString& Name, int32& Value) override { Writer.WriteValue(Name, Value); }
    void Serialize(const FString& Name, uint32& Value) override { Writer.WriteValue(Name, Value); }
    void Serialize(const FString& Name, int64& Value) override { Writer.WriteValue(Name, Value); }
    void Serialize(const FString& Name, float& Value) override { Writer.WriteValue(Name, Value); }
    void Serialize(const FString& Name, double& Value) override { Writer.WriteValue(Name, Value); }

    void SerializeArray(const FString& Name, TArray<FString>& Array) override { WriteArray(Name, Array); }
    void SerializeArray(const FString& Name, TArray<int32>& Array) override { WriteArray(Name, Array); }
    void SerializeArray(const FString& Name, TArray<uint32>& Array) override { WriteArray(Name, Array); }
    void SerializeArray(const FString& Name, TArray<int64>& Array) override { WriteArray(Name, Array); }
    void SerializeArray(const FString& Name, TArray<float>& Array) override { WriteArray(Name, Array); }
    void SerializeArray(const FString& Name, TArray<double>& Array) override { WriteArray(Name, Array); }

    void SerializeMap(const FString& Name, TMap<FString, FString>& Map) override;
    void SerializeObject(const FString& Name, TSharedPtr<FJsonObject>& Value) override;

private:
    template <typename ElementType> void WriteArray(const FString& Name, const TArray<ElementType>& Array)
    {
        Writer.WriteArrayStart(Name);
        for (const ElementType& Element : Array)
        {
            Writer.WriteValue(Element);
        }
        Writer.WriteArrayEnd();
    }

    FJsonWriterBase& Writer;
};

/**
 * Base of records that travel as JSON objects. A record lists its fields once:
 *
 *     BEGIN_ONLINE_JSON_SERIALIZER
 *         ONLINE_JSON_SERIALIZE("id", Id);
 *         ONLINE_JSON_SERIALIZE_ARRAY("tags", Tags);
 *         ONLINE_JSON_SERIALIZE_SERIALIZABLE("owner", Owner);
 *     END_ONLINE_JSON_SERIALIZER
 *
 * Fields are written in list order. A nested record whose keys stand directly in the enclosing object, with
 * no object of its own, is listed by calling its Serialize(Serializer, true) inside the list.
 */
class FOnlineJsonSerializable
{
public:
    FOnlineJsonSerializable() = default;
    FOnlineJsonSerializable(const FOnlineJsonSerializable&) = default;
    FOnlineJsonSerializable& operator=(const FOnlineJsonSerializable&) = default;
    virtual ~FOnlineJsonSerializable() = default;

    /** The record as JSON text; empty when the record's field list misuses the writer. */
    FString ToJson(bool bPrettyPrint = true) const;
    /** False when the text is not a JSON object; fields the object lacks keep their values. */
    bool FromJson(const FString& Json);
    /** False for an empty pointer. */
    bool FromJson(const TSharedPtr<FJsonObject>& JsonObject);

    /** Lists the record's fields; bFlatObject leaves out the record's own braces. */
    virtual void Serialize(FOnlineJsonSerializerBase& Serializer, bool bFlatObject) = 0;
};

template <typename ElementType>
void FOnlineJsonSerializerBase::SerializeRecordArray(const FString& Name, TArray<ElementType>& Array)
{
    if (IsSaving())
    {
        StartArray(Name);
        for (FOnlineJsonSerializable& Element : Array)
        {
            Element.Serialize(*this, false);
        }
        EndArray();
        return;
    }
    for (const TSharedPtr<FJsonObject>& Object : ObjectsOfArrayField(Name))
    {
        Array.AddDefaulted_GetRef().FromJson(Object);
    }
}

template <typename TextType>
void FOnlineJsonSerializerBase::SerializeText(const FString& Name, TextType& Text)
{
    FString Value = Text.ToString();
    Serialize(Name, Value);
    if (IsLoading() && !Value.Equals(Text.ToString(), ESearchCase::CaseSensitive))
    {
        Text = TextType::FromString(Value);
    }
}

#define BEGIN_ONLINE_JSON_SERIALIZER                                                                         \
    void Serialize(FOnlineJsonSerializerBase& Serializer, bool bFlatObject) override                         \
    {                                                                                                        \
        if (!bFlatObject)                                                                                    \
        {                                                                                                    \
            Serializer.StartObject();                                                                        \
        }

#define END_ONLINE_JSON_SERIALIZER                                                                           \
    if (!bFlatObject)                                                                                        \
    {                                                                                                        \
        Serializer.EndObject();                                                                              \
    }                                                                                                        \
    }

#define ONLINE_JSON_SERIALIZE(JsonName, JsonValue) Serializer.Serialize(TEXT(JsonName), JsonValue)
#define ONLINE_JSON_SERIALIZE_ARRAY(JsonName, JsonArray) Serializer.SerializeArray(TEXT(JsonName), JsonArray)
#define ONLINE_JSON_SERIALIZE_MAP(JsonName, JsonMap) Serializer.SerializeMap(TEXT(JsonName), JsonMap)
#define ONLINE_JSON_SERIALIZE_SERIALIZABLE(JsonName, JsonRecord)                                             \
    Serializer.SerializeRecord(TEXT(JsonName), JsonRecord)
#define ONLINE_JSON_SERIALIZE_ARRAY_SERIALIZABLE(JsonName, JsonArray, ElementType)                           \
    Serializer.SerializeRecordArray<ElementType>(TEXT(JsonName), JsonArray)
#define ONLINE_JSON_SERIALIZE_OBJECT_SERIALIZABLE(JsonName, JsonObject)                                      \
    Serializer.SerializeObject(TEXT(JsonName), JsonObject)
#define ONLINE_JSON_SERIALIZE_DATE(JsonName, JsonDate) Serializer.SerializeDate(TEXT(JsonName), JsonDate)
#define ONLINE_JSON_SERIALIZE_TEXT(JsonName, JsonText) Serializer.SerializeText(TEXT(JsonName), JsonText)
