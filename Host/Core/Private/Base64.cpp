#include "Core/Base64.h"

#include <array>
#include <string>

namespace
{
constexpr char Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr uint8 Invalid = 0xFF;

constexpr std::array<uint8, 256> MakeDecodeTable()
{
    std::array<uint8, 256> Table{};
    Table.fill(Invalid);
    for (uint8 Index = 0; Index < 64; ++Index)
    {
        Table[static_cast<uint8>(Alphabet[Index])] = Index;
    }
    return Table;
}
constexpr std::array<uint8, 256> DecodeTable = MakeDecodeTable();

int32 PaddingOf(const std::string& Text)
{
    if (Text.ends_with("=="))
    {
        return 2;
    }
    return Text.ends_with("=") ? 1 : 0;
}
} // namespace

FString FBase64::Encode(const FString& Source)
{
    return Encode(reinterpret_cast<const uint8*>(*Source), static_cast<uint32>(Source.Len()));
}

FString FBase64::Encode(const TArray<uint8>& Source)
{
    return Encode(Source.GetData(), static_cast<uint32>(Source.Num()));
}

FString FBase64::Encode(const uint8* Source, uint32 Length)
{
    std::string Out;
    Out.reserve((static_cast<size_t>(Length) + 2) / 3 * 4);
    for (uint32 Index = 0; Index < Length; Index += 3)
    {
        const uint32 Left = Length - Index;
        const uint32 Group = (Source[Index] << 16) | (Left > 1 ? Source[Index + 1] << 8 : 0) |
                             (Left > 2 ? Source[Index + 2] : 0);
        Out.push_back(Alphabet[(Group >> 18) & 63]);
        Out.push_back(Alphabet[(Group >> 12) & 63]);
        Out.push_back(Left > 1 ? Alphabet[(Group >> 6) & 63] : '=');
        Out.push_back(Left > 2 ? Alphabet[Group & 63] : '=');
    }
    return FString(std::move(Out));
}

bool FBase64::Decode(const FString& Source, TArray<uint8>& Dest)
{
    Dest.Reset();
    const std::string& Text = Source.ToStdString();
    if (Text.size() % 4 != 0)
    {
        return false;
    }
    const int32 Padding = PaddingOf(Text);
    const size_t DataChars = Text.size() - Padding;
    TArray<uint8> Bytes;
    Bytes.Reserve(static_cast<int32>(Text.size() / 4 * 3));
    uint32 Group = 0;
    for (size_t Index = 0; Index < DataChars; ++Index)
    {
        const uint8 Value = DecodeTable[static_cast<uint8>(Text[Index])];
        if (Value == Invalid)
        {
            return false;
        }
        Group = (Group << 6) | Value;
        if (Index % 4 == 3)
        {
            Bytes.Add(static_cast<uint8>(Group >> 16));
            Bytes.Add(static_cast<uint8>(Group >> 8));
            Bytes.Add(static_cast<uint8>(Group));
            Group = 0;
        }
    }
    if (Padding == 2)
    {
        Bytes.Add(static_cast<uint8>(Group >> 4));
    }
    else if (Padding == 1)
    {
        Bytes.Add(static_cast<uint8>(Group >> 10));
        Bytes.Add(static_cast<uint8>(Group >> 2));
    }
    Dest = std::move(Bytes);
    return true;
}

bool FBase64::Decode(const FString& Source, FString& Dest)
{
    TArray<uint8> Bytes;
    if (!Decode(Source, Bytes))
    {
        Dest.Empty();
        return false;
    }
    Dest = FString(reinterpret_cast<const char*>(Bytes.GetData()), Bytes.Num());
    return true;
}
