#include "Core/String.h"

#include <algorithm>
#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "Core/Array.h"

namespace
{
char LowerAscii(char Ch)
{
    return (Ch >= 'A' && Ch <= 'Z') ? static_cast<char>(Ch - 'A' + 'a') : Ch;
}

char UpperAscii(char Ch)
{
    return (Ch >= 'a' && Ch <= 'z') ? static_cast<char>(Ch - 'a' + 'A') : Ch;
}

bool CharsEqual(char A, char B, ESearchCase::Type Case)
{
    return Case == ESearchCase::CaseSensitive ? A == B : LowerAscii(A) == LowerAscii(B);
}

bool RangeEquals(std::string_view A, std::string_view B, ESearchCase::Type Case)
{
    if (A.size() != B.size())
    {
        return false;
    }
    for (size_t Index = 0; Index < A.size(); ++Index)
    {
        if (!CharsEqual(A[Index], B[Index], Case))
        {
            return false;
        }
    }
    return true;
}

int32 FindIn(std::string_view Text, std::string_view Sub, ESearchCase::Type Case, size_t From)
{
    if (Sub.size() > Text.size())
    {
        return INDEX_NONE;
    }
    for (size_t Index = From; Index + Sub.size() <= Text.size(); ++Index)
    {
        if (RangeEquals(Text.substr(Index, Sub.size()), Sub, Case))
        {
            return static_cast<int32>(Index);
        }
    }
    return INDEX_NONE;
}

int32 FindLastIn(std::string_view Text, std::string_view Sub, ESearchCase::Type Case, size_t Before)
{
    if (Sub.size() > Text.size())
    {
        return INDEX_NONE;
    }
    size_t Index = std::min(Before, Text.size() - Sub.size());
    for (;; --Index)
    {
        if (RangeEquals(Text.substr(Index, Sub.size()), Sub, Case))
        {
            return static_cast<int32>(Index);
        }
        if (Index == 0)
        {
            return INDEX_NONE;
        }
    }
}

bool IsBlank(char Ch)
{
    return Ch == ' ' || Ch == '\t' || Ch == '\r' || Ch == '\n';
}
} // namespace

FString& FString::operator=(const FString& Other)
{
    if (this != &Other)
    {
        SetSize(0);
        AppendView(Other.View());
    }
    return *this;
}

FString& FString::operator=(FString&& Other) noexcept
{
    if (this != &Other)
    {
        if (IsHeap())
        {
            delete[] HeapData();
        }
        std::memcpy(Bytes, Other.Bytes, sizeof(Bytes));
        Other.SetInlineSize(0);
    }
    return *this;
}

void FString::Grow(size_t NewCapacity, std::string_view Appended)
{
    // Appended may lie inside this string, so the old buffer goes only after both copies.
    const size_t OldSize = Size();
    char* NewData = new char[NewCapacity + 1];
    std::memcpy(NewData, Data(), OldSize);
    if (!Appended.empty())
    {
        std::memcpy(NewData + OldSize, Appended.data(), Appended.size());
    }
    NewData[OldSize + Appended.size()] = '\0';
    if (IsHeap())
    {
        delete[] HeapData();
    }
    SetHeapField(0, NewData);
    SetHeapField(SizeOffset, OldSize + Appended.size());
    SetHeapField(CapacityOffset, NewCapacity);
    Bytes[InlineCapacity] = static_cast<char>(HeapMark);
}

FString FString::Concat(std::string_view A, std::string_view B)
{
    FString Result;
    Result.Reserve(static_cast<int32>(A.size() + B.size()));
    Result.AppendView(A);
    Result.AppendView(B);
    return Result;
}

FString FString::Printf(const char* Format, ...)
{
    char Stack[512];
    va_list Args;
    va_start(Args, Format);
    va_list Copy;
    va_copy(Copy, Args);
    const int Needed = std::vsnprintf(Stack, sizeof(Stack), Format, Args);
    va_end(Args);
    if (Needed < 0)
    {
        va_end(Copy);
        return FString();
    }
    if (static_cast<size_t>(Needed) < sizeof(Stack))
    {
        va_end(Copy);
        return FString(Stack, Needed);
    }
    std::string Result(static_cast<size_t>(Needed), '\0');
    std::vsnprintf(Result.data(), Result.size() + 1, Format, Copy);
    va_end(Copy);
    return FString(std::move(Result));
}

FString FString::SanitizeFloat(double Value)
{
    FString Result = Printf("%.6f", Value);
    std::string_view Digits = Result.View();
    while (Digits.size() > 1 && Digits.back() == '0' && Digits[Digits.size() - 2] != '.')
    {
        Digits.remove_suffix(1);
    }
    return FString(Digits);
}

FString FString::Join(const TArray<FString>& Parts, const char* Separator)
{
    FString Result;
    for (int32 Index = 0; Index < Parts.Num(); ++Index)
    {
        if (Index > 0)
        {
            Result += Separator;
        }
        Result += Parts[Index];
    }
    return Result;
}

bool FString::Equals(const FString& Other, ESearchCase::Type Case) const
{
    return RangeEquals(View(), Other.View(), Case);
}

int32 FString::Compare(const FString& Other, ESearchCase::Type Case) const
{
    const size_t Common = std::min(View().size(), Other.View().size());
    for (size_t Index = 0; Index < Common; ++Index)
    {
        const unsigned char A = Case == ESearchCase::IgnoreCase ? LowerAscii(View()[Index]) : View()[Index];
        const unsigned char B =
            Case == ESearchCase::IgnoreCase ? LowerAscii(Other.View()[Index]) : Other.View()[Index];
        if (A != B)
        {
            return A < B ? -1 : 1;
        }
    }
    if (View().size() == Other.View().size())
    {
        return 0;
    }
    return View().size() < Other.View().size() ? -1 : 1;
}

bool FString::StartsWith(const FString& Prefix, ESearchCase::Type Case) const
{
    return Prefix.View().size() <= View().size() &&
           RangeEquals(View().substr(0, Prefix.View().size()), Prefix.View(), Case);
}

bool FString::EndsWith(const FString& Suffix, ESearchCase::Type Case) const
{
    return Suffix.View().size() <= View().size() &&
           RangeEquals(View().substr(View().size() - Suffix.View().size()), Suffix.View(), Case);
}

bool FString::Contains(const FString& Sub, ESearchCase::Type Case) const
{
    return FindIn(View(), Sub.View(), Case, 0) != INDEX_NONE;
}

int32 FString::Find(const FString& Sub, ESearchCase::Type Case, ESearchDir::Type Dir,
                    int32 StartPosition) const
{
    if (Dir == ESearchDir::FromStart)
    {
        return FindIn(View(), Sub.View(), Case, StartPosition < 0 ? 0 : static_cast<size_t>(StartPosition));
    }
    const size_t Before = StartPosition < 0 ? View().size() : static_cast<size_t>(StartPosition);
    return FindLastIn(View(), Sub.View(), Case, Before);
}

bool FString::FindChar(char Ch, int32& OutIndex) const
{
    const size_t Pos = View().find(Ch);
    OutIndex = Pos == std::string::npos ? INDEX_NONE : static_cast<int32>(Pos);
    return OutIndex != INDEX_NONE;
}

bool FString::FindLastChar(char Ch, int32& OutIndex) const
{
    const size_t Pos = View().rfind(Ch);
    OutIndex = Pos == std::string::npos ? INDEX_NONE : static_cast<int32>(Pos);
    return OutIndex != INDEX_NONE;
}

FString FString::Left(int32 Count) const
{
    return FString(View().substr(0, static_cast<size_t>(std::clamp(Count, 0, Len()))));
}

FString FString::Right(int32 Count) const
{
    const int32 Kept = std::clamp(Count, 0, Len());
    return FString(View().substr(View().size() - Kept));
}

FString FString::Mid(int32 Start, int32 Count) const
{
    const int32 From = std::clamp(Start, 0, Len());
    const int64 To = std::clamp<int64>(static_cast<int64>(Start) + std::max(Count, 0), From, Len());
    return FString(View().substr(From, static_cast<size_t>(To - From)));
}

FString FString::LeftChop(int32 Count) const
{
    return Left(Len() - std::clamp(Count, 0, Len()));
}

FString FString::RightChop(int32 Count) const
{
    return Right(Len() - std::clamp(Count, 0, Len()));
}

FString FString::ToLower() const
{
    std::string Result(View());
    std::transform(Result.begin(), Result.end(), Result.begin(), LowerAscii);
    return FString(std::move(Result));
}

FString FString::ToUpper() const
{
    std::string Result(View());
    std::transform(Result.begin(), Result.end(), Result.begin(), UpperAscii);
    return FString(std::move(Result));
}

FString FString::TrimStartAndEnd() const
{
    size_t First = 0;
    size_t Last = View().size();
    while (First < Last && IsBlank(View()[First]))
    {
        ++First;
    }
    while (Last > First && IsBlank(View()[Last - 1]))
    {
        --Last;
    }
    return FString(View().substr(First, Last - First));
}

FString FString::TrimQuotes() const
{
    if (View().size() >= 2 && View().front() == '"' && View().back() == '"')
    {
        return FString(View().substr(1, View().size() - 2));
    }
    return *this;
}

FString FString::Replace(const FString& From, const FString& To, ESearchCase::Type Case) const
{
    FString Result = *this;
    Result.ReplaceInline(From, To, Case);
    return Result;
}

int32 FString::ReplaceInline(const FString& From, const FString& To, ESearchCase::Type Case)
{
    if (From.IsEmpty())
    {
        return 0;
    }
    std::string Result;
    int32 Count = 0;
    size_t Cursor = 0;
    for (int32 Hit = FindIn(View(), From.View(), Case, 0); Hit != INDEX_NONE;
         Hit = FindIn(View(), From.View(), Case, Cursor))
    {
        Result.append(View().substr(Cursor, static_cast<size_t>(Hit) - Cursor));
        Result += To.View();
        Cursor = static_cast<size_t>(Hit) + From.View().size();
        ++Count;
    }
    if (Count > 0)
    {
        Result.append(View().substr(Cursor));
        *this = FString(Result);
    }
    return Count;
}

bool FString::Split(const FString& Delimiter, FString* OutLeft, FString* OutRight, ESearchCase::Type Case,
                    ESearchDir::Type Dir) const
{
    const int32 At = Find(Delimiter, Case, Dir);
    if (At == INDEX_NONE)
    {
        return false;
    }
    if (OutLeft)
    {
        *OutLeft = Left(At);
    }
    if (OutRight)
    {
        *OutRight = Mid(At + Delimiter.Len());
    }
    return true;
}

int32 FString::ParseIntoArray(TArray<FString>& OutParts, const char* Delimiter, bool bCullEmpty) const
{
    OutParts.Reset();
    const std::string_view Sep(Delimiter);
    if (Sep.empty())
    {
        OutParts.Add(*this);
        return OutParts.Num();
    }
    size_t Cursor = 0;
    while (true)
    {
        const size_t Hit = View().find(Sep, Cursor);
        const std::string_view Piece =
            View().substr(Cursor, Hit == std::string::npos ? std::string::npos : Hit - Cursor);
        if (!Piece.empty() || !bCullEmpty)
        {
            OutParts.Add(FString(Piece));
        }
        if (Hit == std::string::npos)
        {
            break;
        }
        Cursor = Hit + Sep.size();
    }
    return OutParts.Num();
}

bool FString::IsNumeric() const
{
    if (View().empty())
    {
        return false;
    }
    size_t Index = (View()[0] == '-' || View()[0] == '+') ? 1 : 0;
    bool bDigits = false;
    bool bDot = false;
    for (; Index < View().size(); ++Index)
    {
        if (std::isdigit(static_cast<unsigned char>(View()[Index])))
        {
            bDigits = true;
        }
        else if (View()[Index] == '.' && !bDot)
        {
            bDot = true;
        }
        else
        {
            return false;
        }
    }
    return bDigits;
}

namespace
{
/** ASCII 'A' to 'Z' in each byte of Word become lower case; every other byte stays as it is. */
uint64 LowerAsciiWord(uint64 Word)
{
    constexpr uint64 Ones = 0x0101010101010101ull;
    constexpr uint64 HighBits = 0x8080808080808080ull;
    const uint64 Low7 = Word & ~HighBits;
    const uint64 AtLeastA = Low7 + (0x80 - 'A') * Ones;
    const uint64 AboveZ = Low7 + (0x7F - 'Z') * Ones;
    const uint64 Upper = (AtLeastA ^ AboveZ) & ~Word & HighBits;
    return Word | (Upper >> 2);
}

uint64 MixWord(uint64 Hash, uint64 Word)
{
    Hash = (Hash ^ Word) * 0x9E3779B97F4A7C15ull;
    return Hash ^ (Hash >> 29);
}
} // namespace

uint32 GetTypeHash(const FString& Text)
{
    const std::string_view Bytes = Text.View();
    uint64 Hash = 0xCBF29CE484222325ull ^ Bytes.size();
    size_t Index = 0;
    for (; Index + sizeof(uint64) <= Bytes.size(); Index += sizeof(uint64))
    {
        uint64 Word = 0;
        std::memcpy(&Word, Bytes.data() + Index, sizeof(Word));
        Hash = MixWord(Hash, LowerAsciiWord(Word));
    }
    if (Index < Bytes.size())
    {
        uint64 Word = 0;
        std::memcpy(&Word, Bytes.data() + Index, Bytes.size() - Index);
        Hash = MixWord(Hash, LowerAsciiWord(Word));
    }
    return static_cast<uint32>(Hash ^ (Hash >> 32));
}

int32 FCString::Atoi(const char* Text)
{
    const long long Value = std::strtoll(Text, nullptr, 10);
    return static_cast<int32>(
        std::clamp<long long>(Value, std::numeric_limits<int32>::min(), std::numeric_limits<int32>::max()));
}

int64 FCString::Atoi64(const char* Text)
{
    return std::strtoll(Text, nullptr, 10);
}

double FCString::Atod(const char* Text)
{
    return std::strtod(Text, nullptr);
}

bool FCString::ToBool(const char* Text)
{
    const FString Value(Text);
    return Value == "true" || Value == "yes" || Value == "on" || (Value.IsNumeric() && Atoi(Text) != 0);
}
