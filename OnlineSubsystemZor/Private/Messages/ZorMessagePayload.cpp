#include "Messages/ZorMessagePayload.h"

#include <bit>

namespace
{
constexpr int32 LengthBytes = 4;

/** Calls Unit once per UTF-16 code unit of the UTF-8 text, with the byte that stands for it. */
template <typename FunctionType> void ForEachTextUnit(const FString& Text, FunctionType Unit)
{
    const std::string& Bytes = Text.ToStdString();
    for (size_t Index = 0; Index < Bytes.size();)
    {
        const uint8 Lead = static_cast<uint8>(Bytes[Index]);
        if (Lead < 0x80)
        {
            Unit(Lead);
            ++Index;
            continue;
        }
        // Lead bytes of four-byte sequences encode characters outside the basic plane: two UTF-16 units.
        const int32 Width = Lead >= 0xF8 ? 1 : Lead >= 0xF0 ? 4 : Lead >= 0xE0 ? 3 : Lead >= 0xC0 ? 2 : 1;
        Unit('?');
        if (Width == 4)
        {
            Unit('?');
        }
        Index += 1;
        for (int32 Continuation = 1; Continuation < Width && Index < Bytes.size() &&
                                     (static_cast<uint8>(Bytes[Index]) & 0xC0) == 0x80;
             ++Continuation)
        {
            ++Index;
        }
    }
}

int64 TextUnits(const FString& Text)
{
    int64 Units = 0;
    ForEachTextUnit(Text, [&Units](uint8) { ++Units; });
    return Units;
}

int64 ValueSize(const FVariantData& Value)
{
    switch (Value.GetType())
    {
    case EOnlineKeyValuePairDataType::Int32:
    case EOnlineKeyValuePairDataType::Float:
        return 4;
    case EOnlineKeyValuePairDataType::Int64:
    case EOnlineKeyValuePairDataType::Double:
        return 8;
    case EOnlineKeyValuePairDataType::String:
    {
        FString Text;
        Value.GetValue(Text);
        return LengthBytes + TextUnits(Text);
    }
    case EOnlineKeyValuePairDataType::Blob:
    {
        TArray<uint8> Blob;
        Value.GetValue(Blob);
        return LengthBytes + Blob.Num();
    }
    default:
        return 0;
    }
}

class FPayloadWriter
{
public:
    explicit FPayloadWriter(TArray<uint8>& InBytes) : Bytes(InBytes) {}

    void Byte(uint8 Value) { Bytes.Add(Value); }
    void Number(uint64 Bits, int32 Size)
    {
        for (int32 Shift = (Size - 1) * 8; Shift >= 0; Shift -= 8)
        {
            Byte(static_cast<uint8>(Bits >> Shift));
        }
    }
    void Text(const FString& Value)
    {
        Number(static_cast<uint32>(TextUnits(Value)), LengthBytes);
        ForEachTextUnit(Value, [this](uint8 Unit) { Byte(Unit); });
    }
    void Value(const FVariantData& Value)
    {
        Byte(static_cast<uint8>(Value.GetType()));
        switch (Value.GetType())
        {
        case EOnlineKeyValuePairDataType::Int32:
        {
            int32 Number32 = 0;
            Value.GetValue(Number32);
            Number(static_cast<uint32>(Number32), 4);
            break;
        }
        case EOnlineKeyValuePairDataType::Int64:
        {
            uint64 Number64 = 0;
            Value.GetValue(Number64);
            Number(Number64, 8);
            break;
        }
        case EOnlineKeyValuePairDataType::Double:
        {
            double Real = 0.0;
            Value.GetValue(Real);
            Number(std::bit_cast<uint64>(Real), 8);
            break;
        }
        case EOnlineKeyValuePairDataType::Float:
        {
            float Real = 0.0f;
            Value.GetValue(Real);
            Number(std::bit_cast<uint32>(Real), 4);
            break;
        }
        case EOnlineKeyValuePairDataType::String:
        {
            FString String;
            Value.GetValue(String);
            Text(String);
            break;
        }
        case EOnlineKeyValuePairDataType::Blob:
        {
            TArray<uint8> Blob;
            Value.GetValue(Blob);
            Number(static_cast<uint32>(Blob.Num()), LengthBytes);
            Bytes.Append(Blob);
            break;
        }
        default:
            break;
        }
    }

private:
    TArray<uint8>& Bytes;
};

/** Walks untrusted bytes; every read checks what is left first and fails rather than run past the end. */
class FPayloadReader
{
public:
    explicit FPayloadReader(const TArray<uint8>& InBytes) : Bytes(InBytes) {}

    bool Byte(uint8& Out)
    {
        if (Left() < 1)
        {
            return false;
        }
        Out = Bytes[Position++];
        return true;
    }
    bool Number(uint64& Out, int32 Size)
    {
        if (Left() < Size)
        {
            return false;
        }
        Out = 0;
        for (int32 Index = 0; Index < Size; ++Index)
        {
            Out = (Out << 8) | Bytes[Position++];
        }
        return true;
    }
    bool Length(int32& Out)
    {
        uint64 Bits = 0;
        if (!Number(Bits, LengthBytes))
        {
            return false;
        }
        Out = static_cast<int32>(static_cast<uint32>(Bits));
        return true;
    }
    bool Text(FString& Out)
    {
        int32 Units = 0;
        if (!Length(Units))
        {
            return false;
        }
        Out.Empty();
        if (Units < 1)
        {
            return true;
        }
        if (Left() < Units)
        {
            return false;
        }
        bool bCut = false;
        for (int32 Index = 0; Index < Units; ++Index)
        {
            const uint8 Unit = Bytes[Position++];
            bCut = bCut || Unit == 0;
            if (!bCut)
            {
                Out.AppendChar(Unit > 127 ? '?' : static_cast<char>(Unit));
            }
        }
        return true;
    }
    bool Blob(TArray<uint8>& Out)
    {
        int32 Size = 0;
        if (!Length(Size) || Size < 0 || Left() < Size)
        {
            return false;
        }
        Out = TArray<uint8>(Bytes.GetData() + Position, Size);
        Position += Size;
        return true;
    }
    bool Value(FVariantData& Out)
    {
        uint8 Code = 0;
        if (!Byte(Code))
        {
            return false;
        }
        switch (static_cast<EOnlineKeyValuePairDataType>(Code))
        {
        case EOnlineKeyValuePairDataType::Int32:
            return Fixed(4, [&Out](uint64 Bits)
                         { Out.SetValue(static_cast<int32>(static_cast<uint32>(Bits))); });
        case EOnlineKeyValuePairDataType::Int64:
            return Fixed(8, [&Out](uint64 Bits) { Out.SetValue(Bits); });
        case EOnlineKeyValuePairDataType::Double:
            return Fixed(8, [&Out](uint64 Bits) { Out.SetValue(std::bit_cast<double>(Bits)); });
        case EOnlineKeyValuePairDataType::Float:
            return Fixed(4, [&Out](uint64 Bits)
                         { Out.SetValue(std::bit_cast<float>(static_cast<uint32>(Bits))); });
        case EOnlineKeyValuePairDataType::String:
            return Variable<FString>(Out, &FPayloadReader::Text);
        case EOnlineKeyValuePairDataType::Blob:
            return Variable<TArray<uint8>>(Out, &FPayloadReader::Blob);
        default:
            Out.Empty();
            return true;
        }
    }

private:
    template <typename SetterType> bool Fixed(int32 Size, SetterType Set)
    {
        uint64 Bits = 0;
        if (!Number(Bits, Size))
        {
            return false;
        }
        Set(Bits);
        return true;
    }
    template <typename ValueType> bool Variable(FVariantData& Out, bool (FPayloadReader::*Read)(ValueType&))
    {
        ValueType Result;
        if (!(this->*Read)(Result))
        {
            return false;
        }
        Out.SetValue(Result);
        return true;
    }

    int64 Left() const { return static_cast<int64>(Bytes.Num()) - Position; }

    const TArray<uint8>& Bytes;
    int32 Position = 0;
};
} // namespace

int64 FZorMessagePayload::GetByteSize() const
{
    int64 Size = LengthBytes;
    for (const FOnlineMessagePayloadEntry& Entry : GetEntries())
    {
        Size += LengthBytes + TextUnits(Entry.Key) + 1 + ValueSize(Entry.Value);
    }
    return Size;
}

bool FZorMessagePayload::ToBytes(TArray<uint8>& OutBytes) const
{
    OutBytes.Empty();
    const int64 Size = GetByteSize();
    if (Size > MaxBytes)
    {
        return false;
    }
    OutBytes.Reserve(static_cast<int32>(Size));
    FPayloadWriter Writer(OutBytes);
    Writer.Number(static_cast<uint32>(Num()), LengthBytes);
    for (const FOnlineMessagePayloadEntry& Entry : GetEntries())
    {
        Writer.Text(Entry.Key);
        Writer.Value(Entry.Value);
    }
    return true;
}

void FZorMessagePayload::FromBytes(const TArray<uint8>& Bytes)
{
    Empty();
    FPayloadReader Reader(Bytes);
    int32 Count = 0;
    if (!Reader.Length(Count))
    {
        return;
    }
    for (int32 Index = 0; Index < Count; ++Index)
    {
        FString Key;
        FVariantData Value;
        if (!Reader.Text(Key) || !Reader.Value(Value))
        {
            return;
        }
        SetAttribute(Key, Value);
    }
}
