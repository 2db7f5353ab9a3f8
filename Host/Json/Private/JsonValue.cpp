#include "Json/JsonValue.h"

#include "JsonPrivate.h"
#include "Json/JsonObject.h"

namespace
{
const TArray<TSharedPtr<FJsonValue>> EmptyArray;
const TSharedPtr<FJsonObject> EmptyObject;

bool CompareArrays(const TArray<TSharedPtr<FJsonValue>>& Lhs, const TArray<TSharedPtr<FJsonValue>>& Rhs);
bool CompareObjects(const TSharedPtr<FJsonObject>& Lhs, const TSharedPtr<FJsonObject>& Rhs);

/** Containers may hold empty pointers; those compare as JSON null. */
bool CompareSlots(const TSharedPtr<FJsonValue>& Lhs, const TSharedPtr<FJsonValue>& Rhs)
{
    static const FJsonValueNull NullValue;
    const FJsonValue& Null = NullValue;
    return FJsonValue::CompareEqual(Lhs ? *Lhs : Null, Rhs ? *Rhs : Null);
}

bool CompareArrays(const TArray<TSharedPtr<FJsonValue>>& Lhs, const TArray<TSharedPtr<FJsonValue>>& Rhs)
{
    if (Lhs.Num() != Rhs.Num())
    {
        return false;
    }
    for (int32 Index = 0; Index < Lhs.Num(); ++Index)
    {
        if (!CompareSlots(Lhs[Index], Rhs[Index]))
        {
            return false;
        }
    }
    return true;
}

bool CompareObjects(const TSharedPtr<FJsonObject>& Lhs, const TSharedPtr<FJsonObject>& Rhs)
{
    if (!Lhs || !Rhs)
    {
        return !Lhs && !Rhs;
    }
    if (Lhs->Values.Num() != Rhs->Values.Num())
    {
        return false;
    }
    for (const auto& Field : Lhs->Values)
    {
        const TSharedPtr<FJsonValue>* Other = Rhs->Values.Find(Field.Key);
        if (!Other || !CompareSlots(Field.Value, *Other))
        {
            return false;
        }
    }
    return true;
}
} // namespace

void JsonPrivate::Release(TSharedPtr<FJsonValue>& Value, FJsonReleaseQueue& Pending)
{
    const bool bLastContainer =
        Value && (Value->Type == EJson::Array || Value->Type == EJson::Object) && Value.use_count() == 1;
    if (bLastContainer)
    {
        Pending.push_back(std::move(Value));
        return;
    }
    Value.reset();
}

void JsonPrivate::ReleaseTree(FJsonReleaseQueue& Pending)
{
    while (!Pending.empty())
    {
        TSharedPtr<FJsonValue> Value = std::move(Pending.back());
        Pending.pop_back();
        if (Value && Value.use_count() == 1)
        {
            Value->TakeChildren(Pending);
        }
    }
}

const TArray<TSharedPtr<FJsonValue>>& FJsonValue::AsArray() const
{
    return EmptyArray;
}

const TSharedPtr<FJsonObject>& FJsonValue::AsObject() const
{
    return EmptyObject;
}

bool FJsonValue::TryGetString(FString& OutString) const
{
    if (Type != EJson::String && Type != EJson::Number && Type != EJson::Boolean)
    {
        return false;
    }
    OutString = AsString();
    return true;
}

bool FJsonValue::TryGetNumber(double& OutNumber) const
{
    if (Type != EJson::Number)
    {
        return false;
    }
    OutNumber = AsNumber();
    return true;
}

bool FJsonValue::TryGetNumber(int32& OutNumber) const
{
    return Type == EJson::Number && JsonPrivate::ToWholeNumber(AsNumber(), OutNumber);
}

bool FJsonValue::TryGetNumber(int64& OutNumber) const
{
    return Type == EJson::Number && JsonPrivate::ToWholeNumber(AsNumber(), OutNumber);
}

bool FJsonValue::TryGetNumber(uint32& OutNumber) const
{
    return Type == EJson::Number && JsonPrivate::ToWholeNumber(AsNumber(), OutNumber);
}

bool FJsonValue::TryGetBool(bool& OutBool) const
{
    if (Type != EJson::Boolean)
    {
        return false;
    }
    OutBool = AsBool();
    return true;
}

bool FJsonValue::TryGetArray(const TArray<TSharedPtr<FJsonValue>>*& OutArray) const
{
    if (Type != EJson::Array)
    {
        return false;
    }
    OutArray = &AsArray();
    return true;
}

bool FJsonValue::TryGetObject(const TSharedPtr<FJsonObject>*& OutObject) const
{
    if (Type != EJson::Object || !AsObject())
    {
        return false;
    }
    OutObject = &AsObject();
    return true;
}

bool FJsonValue::CompareEqual(const FJsonValue& Lhs, const FJsonValue& Rhs)
{
    if (Lhs.Type != Rhs.Type)
    {
        return false;
    }
    switch (Lhs.Type)
    {
    case EJson::None:
    case EJson::Null:
        return true;
    case EJson::String:
        return Lhs.AsString().Equals(Rhs.AsString(), ESearchCase::CaseSensitive);
    case EJson::Number:
        return Lhs.AsNumber() == Rhs.AsNumber();
    case EJson::Boolean:
        return Lhs.AsBool() == Rhs.AsBool();
    case EJson::Array:
        return CompareArrays(Lhs.AsArray(), Rhs.AsArray());
    case EJson::Object:
        return CompareObjects(Lhs.AsObject(), Rhs.AsObject());
    }
    return false;
}

FString FJsonValueNumber::AsString() const
{
    FString Text;
    JsonPrivate::AppendNumber(Text, Value);
    return Text;
}

FJsonValueArray::~FJsonValueArray()
{
    // An array emptied while its tree was released has nothing left, and an empty queue still allocates.
    if (Value.IsEmpty())
    {
        return;
    }
    FJsonReleaseQueue Pending;
    FJsonValueArray::TakeChildren(Pending);
    JsonPrivate::ReleaseTree(Pending);
}

void FJsonValueArray::TakeChildren(FJsonReleaseQueue& Pending)
{
    for (TSharedPtr<FJsonValue>& Element : Value)
    {
        JsonPrivate::Release(Element, Pending);
    }
    Value.Empty();
}

void FJsonValueObject::TakeChildren(FJsonReleaseQueue& Pending)
{
    if (!Value || Value.use_count() != 1)
    {
        return;
    }
    for (auto& Field : Value->Values)
    {
        JsonPrivate::Release(Field.Value, Pending);
    }
    Value->Values.Empty();
}
