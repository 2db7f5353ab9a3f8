#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
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

/**
 * UTF-8 text. Equality, ordering and hashing ignore ASCII letter case, as the host's text keys do.
 *
 * Up to 31 bytes live inside the object itself, so most keys and field values never allocate; longer text
 * moves to the heap. The text is always followed by a NUL byte.
 */
class FString
{
public:
    static constexpr int32 INDEX_NONE_VALUE = -1;

    FString() { SetInlineSize(0); }
    FString(const char* Text) : FString(std::string_view(Text ? Text : "")) {}
    FString(const char* Text, int32 Length) : FString(std::string_view(Text, static_cast<size_t>(Length))) {}
    FString(const std::string& Text) : FString(std::string_view(Text)) {}
    FString(std::string_view Text)
    {
        SetInlineSize(0);
        AppendView(Text);
    }
    FString(const FString& Other)
    {
        if (!Other.IsHeap())
        {
            std::memcpy(Bytes, Other.Bytes, sizeof(Bytes));
            return;
        }
        SetInlineSize(0);
        AppendView(Other.View());
    }
    FString(FString&& Other) noexcept
    {
        std::memcpy(Bytes, Other.Bytes, sizeof(Bytes));
        Other.SetInlineSize(0);
    }
    FString& operator=(const FString& Other);
    FString& operator=(FString&& Other) noexcept;
    ~FString()
    {
        if (IsHeap())
        {
            delete[] HeapData();
        }
    }

    static FString Printf(const char* Format, ...) __attribute__((format(printf, 1, 2)));
    static FString FromInt(int64 Value) { return FString(std::to_string(Value)); }
    static FString SanitizeFloat(double Value);
    static FString Join(const TArray<FString>& Parts, const char* Separator);

    const char* operator*() const { return Data(); }
    /** A copy; for reading in place use View() or operator*. */
    std::string ToStdString() const { return std::string(View()); }
    std::string_view View() const { return std::string_view(Data(), Size()); }

    int32 Len() const { return static_cast<int32>(Size()); }
    bool IsEmpty() const { return Size() == 0; }
    void Empty() { SetSize(0); }
    void Reserve(int32 Count)
    {
        if (Count > 0 && static_cast<size_t>(Count) > Capacity())
        {
            Grow(static_cast<size_t>(Count), {});
        }
    }
    char operator[](int32 Index) const { return Data()[Index]; }
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
        AppendView(Other.View());
        return *this;
    }
    FString& AppendChars(const char* Text, int32 Count)
    {
        AppendView(std::string_view(Text, static_cast<size_t>(Count)));
        return *this;
    }
    FString& AppendChar(char Ch)
    {
        AppendView(std::string_view(&Ch, 1));
        return *this;
    }
    FString& operator+=(const FString& Other) { return Append(Other); }
    FString& operator+=(const char* Other)
    {
        AppendView(Other);
        return *this;
    }
    FString& operator+=(char Ch) { return AppendChar(Ch); }

    friend FString operator+(const FString& A, const FString& B) { return Concat(A.View(), B.View()); }
    friend FString operator+(const FString& A, const char* B) { return Concat(A.View(), B); }
    friend FString operator+(const char* A, const FString& B) { return Concat(A, B.View()); }

    friend bool operator==(const FString& A, const FString& B)
    {
        return A.Equals(B, ESearchCase::IgnoreCase);
    }
    friend bool operator==(const FString& A, const char* B)
    {
        return A.Equals(FString(B), ESearchCase::IgnoreCase);
    }
    friend bool operator<(const FString& A, const FString& B) { return A.Compare(B) < 0; }

    const char* begin() const { return Data(); }
    const char* end() const { return Data() + Size(); }

private:
    static constexpr size_t InlineCapacity = 31;
    /** In the last byte: heap text. Inline text keeps 31 minus its size there, so a full buffer ends in NUL.
     */
    static constexpr unsigned char HeapMark = 0xFF;
    static constexpr size_t SizeOffset = sizeof(char*);
    static constexpr size_t CapacityOffset = SizeOffset + sizeof(size_t);

    static FString Concat(std::string_view A, std::string_view B);

    bool IsHeap() const { return static_cast<unsigned char>(Bytes[InlineCapacity]) == HeapMark; }
    template <typename FieldType> FieldType HeapField(size_t Offset) const
    {
        FieldType Field;
        std::memcpy(&Field, Bytes + Offset, sizeof(Field));
        return Field;
    }
    template <typename FieldType> void SetHeapField(size_t Offset, FieldType Field)
    {
        std::memcpy(Bytes + Offset, &Field, sizeof(Field));
    }
    char* HeapData() const { return HeapField<char*>(0); }
    const char* Data() const { return IsHeap() ? HeapData() : Bytes; }
    char* MutableData() { return IsHeap() ? HeapData() : Bytes; }
    size_t Size() const
    {
        return IsHeap() ? HeapField<size_t>(SizeOffset)
                        : InlineCapacity - static_cast<unsigned char>(Bytes[InlineCapacity]);
    }
    size_t Capacity() const { return IsHeap() ? HeapField<size_t>(CapacityOffset) : InlineCapacity; }
    void SetInlineSize(size_t NewSize)
    {
        Bytes[NewSize] = '\0';
        Bytes[InlineCapacity] = static_cast<char>(InlineCapacity - NewSize);
    }
    /** NewSize must be within the capacity. */
    void SetSize(size_t NewSize)
    {
        if (!IsHeap())
        {
            SetInlineSize(NewSize);
            return;
        }
        SetHeapField(SizeOffset, NewSize);
        HeapData()[NewSize] = '\0';
    }
    /** Moves the text to a heap buffer of NewCapacity and appends Appended. */
    void Grow(size_t NewCapacity, std::string_view Appended);
    void AppendView(std::string_view Text)
    {
        const size_t OldSize = Size();
        const size_t NewSize = OldSize + Text.size();
        if (NewSize > Capacity())
        {
            Grow(std::max(NewSize, Capacity() * 2), Text);
            return;
        }
        if (!Text.empty())
        {
            std::memmove(MutableData() + OldSize, Text.data(), Text.size());
        }
        SetSize(NewSize);
    }

    alignas(char*) char Bytes[InlineCapacity + 1];
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
