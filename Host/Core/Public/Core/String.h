#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "Core/Types.h"

template <typename T> class TArray;

namespace ESearchCase
{
enum Type
{
    CaseSensitive,
    IgnoreCase,
};
}

namespace ESearchDir
{
enum Type
{
    FromStart,
    FromEnd,
};
}

/** UTF-8 text. Equality, ordering and hashing ignore ASCII letter case, as the host's text keys do. */
class FString
{
public:
    static constexpr int32 INDEX_NONE_VALUE = -1;

    FString() = default;
    FString(const char* Text) : Data(Text ? Text : "") {}
    FString(const char* Text, int32 Length) : Data(Text, Length) {}
    FString(std::string Text) : Data(std::move(Text)) {}
    FString(std::string_view Text) : Data(Text) {}

    static FString Printf(const char* Format, ...) __attribute__((format(printf, 1, 2)));
    static FString FromInt(int64 Value) { return FString(std::to_string(Value)); }
    static FString SanitizeFloat(double Value);
    static FString Join(const TArray<FString>& Parts, const char* Separator);

    const char* operator*() const { return Data.c_str(); }
    const std::string& ToStdString() const { return Data; }
    std::string_view View() const { return Data; }

    int32 Len() const { return static_cast<int32>(Data.size()); }
    bool IsEmpty() const { return Data.empty(); }
    void Empty() { Data.clear(); }
    void Reserve(int32 Count) { Data.reserve(Count); }
    char operator[](int32 Index) const { return Data[Index]; }

    bool Equals(const FString& Other, ESearchCase::Type Case = ESearchCase::CaseSensitive) const;
    int32 Compare(const FString& Other, ESearchCase::Type Case = ESearchCase::IgnoreCase) const;

    bool StartsWith(const FString& Prefix, ESearchCase::Type Case = ESearchCase::IgnoreCase) const;
    bool EndsWith(const FString& Suffix, ESearchCase::Type Case = ESearchCase::IgnoreCase) const;
    bool Contains(const FString& Sub, ESearchCase::Type Case = ESearchCase::IgnoreCase) const;
    int32 Find(const FString& Sub, ESearchCase::Type Case = ESearchCase::IgnoreCase,
               ESearchDir::Type Dir = ESearchDir::FromStart, int32 StartPosition = -1) const;
    bool FindChar(char Ch, int32& OutIndex) const;
    bool FindLastChar(char Ch, int32& OutIndex) const;

    FString Left(int32 Count) const;
    FString Right(int32 Count) const;
    FString Mid(int32 Start, int32 Count = INT32_MAX) const;
    FString LeftChop(int32 Count) const;
    FString RightChop(int32 Count) const;

    FString ToLower() const;
    FString ToUpper() const;
    FString TrimStartAndEnd() const;
    FString TrimQuotes() const;

    /** Replaces every occurrence; an empty search text changes nothing. */
    FString Replace(const FString& From, const FString& To,
                    ESearchCase::Type Case = ESearchCase::IgnoreCase) const;
    int32 ReplaceInline(const FString& From, const FString& To,
                        ESearchCase::Type Case = ESearchCase::IgnoreCase);

    bool Split(const FString& Delimiter, FString* OutLeft, FString* OutRight,
               ESearchCase::Type Case = ESearchCase::IgnoreCase,
               ESearchDir::Type Dir = ESearchDir::FromStart) const;
    int32 ParseIntoArray(TArray<FString>& OutParts, const char* Delimiter, bool bCullEmpty = true) const;

    bool IsNumeric() const;

    FString& Append(const FString& Other)
    {
        Data += Other.Data;
        return *this;
    }
    FString& AppendChars(const char* Text, int32 Count)
    {
        Data.append(Text, static_cast<size_t>(Count));
        return *this;
    }
    FString& AppendChar(char Ch)
    {
        Data.push_back(Ch);
        return *this;
    }
    FString& operator+=(const FString& Other) { return Append(Other); }
    FString& operator+=(const char* Other)
    {
        Data += Other;
        return *this;
    }
    FString& operator+=(char Ch) { return AppendChar(Ch); }

    friend FString operator+(const FString& A, const FString& B) { return FString(A.Data + B.Data); }
    friend FString operator+(const FString& A, const char* B) { return FString(A.Data + B); }
    friend FString operator+(const char* A, const FString& B) { return FString(A + B.Data); }

    friend bool operator==(const FString& A, const FString& B)
    {
        return A.Equals(B, ESearchCase::IgnoreCase);
    }
    friend bool operator==(const FString& A, const char* B)
    {
        return A.Equals(FString(B), ESearchCase::IgnoreCase);
    }
    friend bool operator<(const FString& A, const FString& B) { return A.Compare(B) < 0; }

    auto begin() const { return Data.begin(); }
    auto end() const { return Data.end(); }

private:
    std::string Data;
};

/** Case-insensitive hash, matching FString equality. */
uint32 GetTypeHash(const FString& Text);

template <> struct std::hash<FString>
{
    size_t operator()(const FString& Text) const { return GetTypeHash(Text); }
};

inline FString LexToString(int32 Value)
{
    return FString::FromInt(Value);
}
inline FString LexToString(const FString& Value)
{
    return Value;
}

/** C-string helpers the engine exposes as FCString. */
struct FCString
{
    static int32 Atoi(const char* Text);
    static int64 Atoi64(const char* Text);
    static double Atod(const char* Text);
    static bool ToBool(const char* Text);
};

#define TEXT(x) x
using FName = FString;
