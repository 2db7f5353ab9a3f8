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
    while (Result.Data.size() > 1 && Result.Data.back() == '0' && Result.Data[Result.Data.size() - 2] != '.')
    {
        Result.Data.pop_back();
    }
    return Result;
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
    return RangeEquals(Data, Other.Data, Case);
}

int32 FString::Compare(const FString& Other, ESearchCase::Type Case) const
{
    const size_t Common = std::min(Data.size(), Other.Data.size());
    for (size_t Index = 0; Index < Common; ++Index)
    {
        const unsigned char A = Case == ESearchCase::IgnoreCase ? LowerAscii(Data[Index]) : Data[Index];
        const unsigned char B = Case == ESearchCase::IgnoreCase ? LowerAscii(Other.Data[Index]) : Other.Data[Index];
        if (A != B)
        {
            return A < B ? -1 : 1;
        }
    }
    if (Data.size() == Other.Data.size())
    {
        return 0;
    }
    return Data.size() < Other.Data.size() ? -1 : 1;
}

bool FString::StartsWith(const FString& Prefix, ESearchCase::Type Case) const
{
    return Prefix.Data.size() <= Data.size() && RangeEquals(View().substr(0, Prefix.Data.size()), Prefix.Data, Case);
}

bool FString::EndsWith(const FString& Suffix, ESearchCase::Type Case) const
{
    return Suffix.Data.size() <= Data.size() &&
           RangeEquals(View().substr(Data.size() - Suffix.Data.size()), Suffix.Data, Case);
}

bool FString::Contains(const FString& Sub, ESearchCase::Type Case) const
{
    return FindIn(Data, Sub.Data, Case, 0) != INDEX_NONE;
}

int32 FString::Find(const FString& Sub, ESearchCase::Type Case, ESearchDir::Type Dir, int32 StartPosition) const
{
    if (Dir == ESearchDir::FromStart)
    {
        return FindIn(Data, Sub.Data, Case, StartPosition < 0 ? 0 : static_cast<size_t>(StartPosition));
    }
    const size_t Before = StartPosition < 0 ? Data.size() : static_cast<size_t>(StartPosition);
    return FindLastIn(Data, Sub.Data, Case, Before);
}

bool FString::FindChar(char Ch, int32& OutIndex) const
{
    const size_t Pos = Data.find(Ch);
    OutIndex = Pos == std::string::npos ? INDEX_NONE : static_cast<int32>(Pos);
    return OutIndex != INDEX_NONE;
}

bool FString::FindLastChar(char Ch, int32& OutIndex) const
{
    const size_t Pos = Data.rfind(Ch);
    OutIndex = Pos == std::string::npos ? INDEX_NONE : static_cast<int32>(Pos);
    return OutIndex != INDEX_NONE;
}

FString FString::Left(int32 Count) const
{
    return FString(Data.substr(0, static_cast<size_t>(std::clamp(Count, 0, Len()))));
}

FString FString::Right(int32 Count) const
{
    const int32 Kept = std::clamp(Count, 0, Len());
    return FString(Data.substr(Data.size() - Kept));
}

FString FString::Mid(int32 Start, int32 Count) const
{
    const int32 From = std::clamp(Start, 0, Len());
    const int64 To = std::clamp<int64>(static_cast<int64>(Start) + std::max(Count, 0), From, Len());
    return FString(Data.substr(From, static_cast<size_t>(To - From)));
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
    std::string Result = Data;
    std::transform(Result.begin(), Result.end(), Result.begin(), LowerAscii);
    return FString(std::move(Result));
}

FString FString::ToUpper() const
{
    std::string Result = Data;
    std::transform(Result.begin(), Result.end(), Result.begin(), UpperAscii);
    return FString(std::move(Result));
}

FString FString::TrimStartAndEnd() const
{
    size_t First = 0;
    size_t Last = Data.size();
    while (First < Last && IsBlank(Data[First]))
    {
        ++First;
    }
    while (Last > First && IsBlank(Data[Last - 1]))
    {
        --Last;
    }
    return FString(Data.substr(First, Last - First));
}

FString FString::TrimQuotes() const
{
    if (Data.size() >= 2 && Data.front() == '"' && Data.back() == '"')
    {
        return FString(Data.substr(1, Data.size() - 2));
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
    for (int32 Hit = FindIn(Data, From.Data, Case, 0); Hit != INDEX_NONE;
         Hit = FindIn(Data, From.Data, Case, Cursor))
    {
        Result.append(Data, Cursor, static_cast<size_t>(Hit) - Cursor);
        Result += To.Data;
        Cursor = static_cast<size_t>(Hit) + From.Data.size();
        ++Count;
    }
    if (Count > 0)
    {
        Result.append(Data, Cursor, std::string::npos);
        Data = std::move(Result);
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
        const size_t Hit = Data.find(Sep, Cursor);
        const std::string_view Piece = View().substr(Cursor, Hit == std::string::npos ? std::string::npos : Hit - Cursor);
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
    if (Data.empty())
    {
        return false;
    }
    size_t Index = (Data[0] == '-' || Data[0] == '+') ? 1 : 0;
    bool bDigits = false;
    bool bDot = false;
    for (; Index < Data.size(); ++Index)
    {
        if (std::isdigit(static_cast<unsigned char>(Data[Index])))
        {
            bDigits = true;
        }
        else if (Data[Index] == '.' && !bDot)
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

uint32 GetTypeHash(const FString& Text)
{
    uint32 Hash = 2166136261u;
    for (char Ch : Text)
    {
        Hash = (Hash ^ static_cast<unsigned char>(LowerAscii(Ch))) * 16777619u;
    }
    return Hash;
}

int32 FCString::Atoi(const char* Text)
{
    const long long Value = std::strtoll(Text, nullptr, 10);
    return static_cast<int32>(std::clamp<long long>(Value, std::numeric_limits<int32>::min(),
                                                    std::numeric_limits<int32>::max()));
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
