#include "Online/OnlineVariantData.h"

const char* ToString(EOnlineKeyValuePairDataType Type)
{
    switch (Type)
    {
    case EOnlineKeyValuePairDataType::Empty:
        return "Empty";
    case EOnlineKeyValuePairDataType::Int32:
        return "Int32";
    case EOnlineKeyValuePairDataType::Int64:
        return "Int64";
    case EOnlineKeyValuePairDataType::Double:
        return "Double";
    case EOnlineKeyValuePairDataType::String:
        return "String";
    case EOnlineKeyValuePairDataType::Float:
        return "Float";
    case EOnlineKeyValuePairDataType::Blob:
        return "Blob";
    case EOnlineKeyValuePairDataType::Bool:
        return "Bool";
    }
    return "Unknown";
}

void FVariantData::Empty()
{
    *this = FVariantData();
}

void FVariantData::SetValue(int32 Value)
{
    Empty();
    Type = EOnlineKeyValuePairDataType::Int32;
    IntValue = Value;
}

void FVariantData::SetValue(int64 Value)
{
    Empty();
    Type = EOnlineKeyValuePairDataType::Int64;
    IntValue = Value;
}

void FVariantData::SetValue(double Value)
{
    Empty();
    Type = EOnlineKeyValuePairDataType::Double;
    RealValue = Value;
}

void FVariantData::SetValue(float Value)
{
    Empty();
    Type = EOnlineKeyValuePairDataType::Float;
    RealValue = Value;
}

void FVariantData::SetValue(bool Value)
{
    Empty();
    Type = EOnlineKeyValuePairDataType::Bool;
    IntValue = Value ? 1 : 0;
}

void FVariantData::SetValue(const FString& Value)
{
    Empty();
    Type = EOnlineKeyValuePairDataType::String;
    TextValue = Value;
}

void FVariantData::SetValue(const TArray<uint8>& Value)
{
    Empty();
    Type = EOnlineKeyValuePairDataType::Blob;
    BlobValue = Value;
}

bool FVariantData::GetValue(int32& Out) const
{
    if (Type != EOnlineKeyValuePairDataType::Int32)
    {
        return false;
    }
    Out = static_cast<int32>(IntValue);
    return true;
}

bool FVariantData::GetValue(int64& Out) const
{
    if (Type != EOnlineKeyValuePairDataType::Int64)
    {
        return false;
    }
    Out = IntValue;
    return true;
}

bool FVariantData::GetValue(double& Out) const
{
    if (Type != EOnlineKeyValuePairDataType::Double)
    {
        return false;
    }
    Out = RealValue;
    return true;
}

bool FVariantData::GetValue(float& Out) const
{
    if (Type != EOnlineKeyValuePairDataType::Float)
    {
        return false;
    }
    Out = static_cast<float>(RealValue);
    return true;
}

bool FVariantData::GetValue(bool& Out) const
{
    if (Type != EOnlineKeyValuePairDataType::Bool)
    {
        return false;
    }
    Out = IntValue != 0;
    return true;
}

bool FVariantData::GetValue(FString& Out) const
{
    if (Type != EOnlineKeyValuePairDataType::String)
    {
        return false;
    }
    Out = TextValue;
    return true;
}

bool FVariantData::GetValue(TArray<uint8>& Out) const
{
    if (Type != EOnlineKeyValuePairDataType::Blob)
    {
        return false;
    }
    Out = BlobValue;
    return true;
}

FString FVariantData::ToString() const
{
    switch (Type)
    {
    case EOnlineKeyValuePairDataType::Int32:
    case EOnlineKeyValuePairDataType::Int64:
        return FString::FromInt(IntValue);
    case EOnlineKeyValuePairDataType::Double:
    case EOnlineKeyValuePairDataType::Float:
        return FString::SanitizeFloat(RealValue);
    case EOnlineKeyValuePairDataType::String:
        return TextValue;
    case EOnlineKeyValuePairDataType::Bool:
        return IntValue ? "true" : "false";
    case EOnlineKeyValuePairDataType::Blob:
        return FString::Printf("%d byte(s)", BlobValue.Num());
    case EOnlineKeyValuePairDataType::Empty:
        break;
    }
    return FString();
}

bool FVariantData::operator==(const FVariantData& Other) const
{
    return Type == Other.Type && IntValue == Other.IntValue && RealValue == Other.RealValue &&
           TextValue.Equals(Other.TextValue, ESearchCase::CaseSensitive) && BlobValue == Other.BlobValue;
}
