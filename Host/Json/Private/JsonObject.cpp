#include "Json/JsonObject.h"

#include "JsonPrivate.h"
#include "JsonTrailingRoom.h"

namespace
{
const TArray<TSharedPtr<FJsonValue>> EmptyArray;
const TSharedPtr<FJsonObject> EmptyObject;

using FFieldMap = decltype(FJsonObject::Values);
static_assert(FFieldMap::RoomAlignment <= JsonPrivate::TrailingRoomAlignment);

TSharedPtr<FJsonValue> DuplicateValue(const TSharedPtr<FJsonValue>& Source)
{
    if (!Source)
    {
        return Source;
    }
    if (Source->Type == EJson::Object)
    {
        return MakeShared<FJsonValueObject>(FJsonObject::Duplicate(Source->AsObject()));
    }
    if (Source->Type != EJson::Array)
    {
        return Source;
    }
    TArray<TSharedPtr<FJsonValue>> Elements;
    Elements.Reserve(Source->AsArray().Num());
    for (const TSharedPtr<FJsonValue>& Element : Source->AsArray())
    {
        Elements.Add(DuplicateValue(Element));
    }
    return MakeShared<FJsonValueArray>(std::move(Elements));
}
} // namespace

TSharedPtr<FJsonObject> JsonPrivate::MakeObject(int32 FieldCount)
{
    if (FieldCount <= 0)
    {
        return MakeShared<FJsonObject>();
    }
    void* Room = nullptr;
    TSharedPtr<FJsonObject> Object =
        JsonPrivate::MakeSharedWithRoom<FJsonObject>(FFieldMap::RoomBytes(FieldCount), Room);
    Object->Values.AdoptRoom(Room, FieldCount);
    return Object;
}

FJsonObject::~FJsonObject()
{
    if (Values.IsEmpty())
    {
        return;
    }
    FJsonReleaseQueue Pending;
    for (auto& Field : Values)
    {
        JsonPrivate::Release(Field.Value, Pending);
    }
    Values.Empty();
    JsonPrivate::ReleaseTree(Pending);
}

const FJsonValue* FJsonObject::FindValue(const FString& FieldName) const
{
    const TSharedPtr<FJsonValue>* Field = Values.Find(FieldName);
    return Field ? Field->Get() : nullptr;
}

bool FJsonObject::HasField(const FString& FieldName) const
{
    return FindValue(FieldName) != nullptr;
}

bool FJsonObject::HasFieldOfType(const FString& FieldName, EJson JsonType) const
{
    const FJsonValue* Value = FindValue(FieldName);
    return Value && Value->Type == JsonType;
}

TSharedPtr<FJsonValue> FJsonObject::TryGetField(const FString& FieldName) const
{
    return Values.FindRef(FieldName);
}

FString FJsonObject::GetStringField(const FString& FieldName) const
{
    const FJsonValue* Value = FindValue(FieldName);
    return Value ? Value->AsString() : FString();
}

double FJsonObject::GetNumberField(const FString& FieldName) const
{
    const FJsonValue* Value = FindValue(FieldName);
    return Value ? Value->AsNumber() : 0.0;
}

int32 FJsonObject::GetIntegerField(const FString& FieldName) const
{
    return JsonPrivate::SaturateToInt<int32>(GetNumberField(FieldName));
}

bool FJsonObject::GetBoolField(const FString& FieldName) const
{
    const FJsonValue* Value = FindValue(FieldName);
    return Value && Value->AsBool();
}

const TSharedPtr<FJsonObject>& FJsonObject::GetObjectField(const FString& FieldName) const
{
    const FJsonValue* Value = FindValue(FieldName);
    return Value ? Value->AsObject() : EmptyObject;
}

const TArray<TSharedPtr<FJsonValue>>& FJsonObject::GetArrayField(const FString& FieldName) const
{
    const FJsonValue* Value = FindValue(FieldName);
    return Value ? Value->AsArray() : EmptyArray;
}

bool FJsonObject::TryGetStringField(const FString& FieldName, FString& OutString) const
{
    const FJsonValue* Value = FindValue(FieldName);
    return Value && Value->TryGetString(OutString);
}

bool FJsonObject::TryGetNumberField(const FString& FieldName, double& OutNumber) const
{
    const FJsonValue* Value = FindValue(FieldName);
    return Value && Value->TryGetNumber(OutNumber);
}

bool FJsonObject::TryGetNumberField(const FString& FieldName, int32& OutNumber) const
{
    const FJsonValue* Value = FindValue(FieldName);
    return Value && Value->TryGetNumber(OutNumber);
}

bool FJsonObject::TryGetNumberField(const FString& FieldName, int64& OutNumber) const
{
    const FJsonValue* Value = FindValue(FieldName);
    return Value && Value->TryGetNumber(OutNumber);
}

bool FJsonObject::TryGetNumberField(const FString& FieldName, uint32& OutNumber) const
{
    const FJsonValue* Value = FindValue(FieldName);
    return Value && Value->TryGetNumber(OutNumber);
}

bool FJsonObject::TryGetBoolField(const FString& FieldName, bool& OutBool) const
{
    const FJsonValue* Value = FindValue(FieldName);
    return Value && Value->TryGetBool(OutBool);
}

bool FJsonObject::TryGetObjectField(const FString& FieldName, const TSharedPtr<FJsonObject>*& OutObject) const
{
    const FJsonValue* Value = FindValue(FieldName);
    return Value && Value->TryGetObject(OutObject);
}

bool FJsonObject::TryGetArrayField(const FString& FieldName,
                                   const TArray<TSharedPtr<FJsonValue>>*& OutArray) const
{
    const FJsonValue* Value = FindValue(FieldName);
    return Value && Value->TryGetArray(OutArray);
}

void FJsonObject::SetField(const FString& FieldName, const TSharedPtr<FJsonValue>& Value)
{
    Values.Add(FieldName, Value);
}

void FJsonObject::SetStringField(const FString& FieldName, const FString& Value)
{
    Values.Add(FieldName, MakeShared<FJsonValueString>(Value));
}

void FJsonObject::SetNumberField(const FString& FieldName, double Value)
{
    Values.Add(FieldName, MakeShared<FJsonValueNumber>(Value));
}

void FJsonObject::SetBoolField(const FString& FieldName, bool Value)
{
    Values.Add(FieldName, MakeShared<FJsonValueBoolean>(Value));
}

void FJsonObject::SetObjectField(const FString& FieldName, const TSharedPtr<FJsonObject>& Value)
{
    Values.Add(FieldName, MakeShared<FJsonValueObject>(Value));
}

void FJsonObject::SetArrayField(const FString& FieldName, const TArray<TSharedPtr<FJsonValue>>& Value)
{
    Values.Add(FieldName, MakeShared<FJsonValueArray>(Value));
}

void FJsonObject::RemoveField(const FString& FieldName)
{
    Values.Remove(FieldName);
}

TSharedPtr<FJsonObject> FJsonObject::Duplicate(const TSharedPtr<const FJsonObject>& Source)
{
    if (!Source)
    {
        return nullptr;
    }
    TSharedPtr<FJsonObject> Copy = JsonPrivate::MakeObject(Source->Values.Num());
    for (const auto& Field : Source->Values)
    {
        Copy->Values.Add(Field.Key, DuplicateValue(Field.Value));
    }
    return Copy;
}
