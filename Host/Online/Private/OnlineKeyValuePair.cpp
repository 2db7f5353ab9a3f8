#include "Online/OnlineKeyValuePair.h"

#include <bit>

const char* LexToString(EOnlineKeyValuePairDataType Type)
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
    case EOnlineKeyValuePairDataType::MAX:
        break;
    }
    return "Unknown";
}

void FVariantData::Empty()
{
    Type = EOnlineKeyValuePairDataType::Empty;
    Bits = 0;
    Text.Empty();
    Bytes.Empty();
}

void FVariantData::SetValue(int32 Value)
{
    Empty();
    Type = EOnlineKeyValuePairDataType::Int32;
    Bits = static_cast<uint32>(Value);
}

void FVariantData::SetValue(int64 Value)
{
    SetValue(static_cast<uint64>(Value));
}

void FVariantData::SetValue(uint64 Value)
{
    Empty();
    Type = EOnlineKeyValuePairDataType::Int64;
    Bits = Value;
}

void FVariantData::SetValue(double Value)
{
    Empty();
    Type = EOnlineKeyValuePairDataType::Double;
    Bits = std::bit_cast<uint64>(Value);
}

void FVariantData::SetValue(float Value)
{
    Empty();
    Type = EOnlineKeyValuePairDataType::Float;
    Bits = std::bit_cast<uint32>(Value);
}

void FVariantData::SetValue(bool Value)
{
    Empty();
    Type = EOnlineKeyValuePairDataType::Bool;
    Bits = Value ? 1 : 0;
}

void FVariantData::SetValue(const FString& Value)
{
    Empty();
    Type = EOnlineKeyValuePairDataType::String;
    Text = Value;
}

void FVariantData::SetValue(const TArray<uint8>& Value)
{
    Empty();
    Type = EOnlineKeyValuePairDataType::Blob;
    Bytes = Value;
}

bool FVariantData::GetValue(int32& Out) const
{
    if (Type != EOnlineKeyValuePairDataType::Int32)
    {
        return false;
    }
    Out = static_cast<int32>(static_cast<uint32>(Bits));
    return true;
}

bool FVariantData::GetValue(int64& Out) const
{
    if (Type != EOnlineKeyValuePairDataType::Int64)
    {
        return false;
    }
    Out = static_cast<int64>(Bits);
    return true;
}

bool FVariantData::GetValue(uint64& Out) const
{
    if (Type != EOnlineKeyValuePairDataType::Int64)
    {
        return false;
    }
    Out = Bits;
    return true;
}

bool FVariantData::GetValue(double& Out) const
{
    if (Type != EOnlineKeyValuePairDataType::Double)
    {
        return false;
    }
    Out = std::bit_cast<double>(Bits);
    return true;
}

bool FVariantData::GetValue(float& Out) const
{
    if (Type != EOnlineKeyValuePairDataType::Float)
    {
        return false;
    }
    Out = std::bit_cast<float>(static_cast<uint32>(Bits));
    return true;
}

bool FVariantData::GetValue(bool& Out) const
{
    if (Type != EOnlineKeyValuePairDataType::Bool)
    {
        return false;
    }
    Out = Bits != 0;
    return true;
}

bool FVariantData::GetValue(FString& Out) const
{
    if (Type != EOnlineKeyValuePairDataType::String)
    {
        return false;
    }
    Out = Text;
    return true;
}

bool FVariantData::GetValue(TArray<uint8>& Out) const
{
    if (Type != EOnlineKeyValuePairDataType::Blob)
    {
        return false;
    }
    Out = Bytes;
    return true;
}

FString FVariantData::ToString() const
{
    switch (Type)
    {
    case EOnlineKeyValuePairDataType::Int32:
        return FString::FromInt(static_cast<int32>(static_cast<uint32>(Bits)));
    case EOnlineKeyValuePairDataType::Int64:
        return FString::FromInt(static_cast<int64>(Bits));
    case EOnlineKeyValuePairDataType::Double:
        return FString::SanitizeFloat(std::bit_cast<double>(Bits));
    case EOnlineKeyValuePairDataType::Float:
        return FString::SanitizeFloat(std::bit_cast<float>(static_cast<uint32>(Bits)));
    case EOnlineKeyValuePairDataType::Bool:
        return Bits != 0 ? "true" : "false";
    case EOnlineKeyValuePairDataType::String:
        return Text;
    case EOnlineKeyValuePairDataType::Blob:
        return FString::Printf("%d byte(s)", Bytes.Num());
    case EOnlineKeyValuePairDataType::Empty:
    case EOnlineKeyValuePairDataType::MAX:
        break;
    }
    return FString();
}

bool FVariantData::operator==(const FVariantData& Other) const
{
    return Type == Other.Type && Bits == Other.Bits && Text.Equals(Other.Text, ESearchCase::CaseSensitive) &&
           Bytes == Other.Bytes;
}
