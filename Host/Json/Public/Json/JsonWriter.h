#pragma once

#include <type_traits>
#include <vector>

#include "Json/JsonTypes.h"

/**
 * Readable layout: each value after an opening brace or bracket or after a comma starts on a new line
 * ("\r\n") indented by one tab per open level, a key is followed by ": ", and a closing brace or bracket
 * stands on its own line at its parent's indent. Empty containers are written "{}" and "[]".
 */
template <typename CharType = TCHAR> struct TPrettyJsonPrintPolicy
{
    static void WriteLineTerminator(FString& Out) { Out += "\r\n"; }
    static void WriteTabs(FString& Out, int32 Count)
    {
        for (int32 Index = 0; Index < Count; ++Index)
        {
            Out += '\t';
        }
    }
    static void WriteSpace(FString& Out) { Out += ' '; }
};

/** No whitespace at all. */
template <typename CharType = TCHAR> struct TCondensedJsonPrintPolicy
{
    static void WriteLineTerminator(FString&) {}
    static void WriteTabs(FString&, int32) {}
    static void WriteSpace(FString&) {}
};

/**
 * Streams JSON into a string, appending as it goes. Strings are escaped (quote, backslash and every control
 * character below 0x20; '/' and non-ASCII text are written as they are) and byte sequences that are not UTF-8
 * become U+FFFD, so the output is always valid JSON text. Whole numbers within +-2^53 are written without a
 * fraction ("5"), others in the shortest form that reads back to the same value; NaN and infinities, which
 * JSON cannot hold, are written as null.
 *
 * Misuse (a value without a key inside an object, a key inside an array, a second top-level value, a closing
 * call that does not match) writes nothing further and makes Close return false.
 */
class FJsonWriterBase
{
public:
    virtual ~FJsonWriterBase() = default;
    FJsonWriterBase(const FJsonWriterBase&) = delete;
    FJsonWriterBase& operator=(const FJsonWriterBase&) = delete;

    void WriteObjectStart();
    void WriteObjectStart(const FString& Identifier);
    void WriteObjectEnd();
    void WriteArrayStart();
    void WriteArrayStart(const FString& Identifier);
    void WriteArrayEnd();

    void WriteValue(const FString& Value);
    void WriteValue(const char* Value);
    void WriteValue(bool Value);
    void WriteValue(int32 Value);
    void WriteValue(int64 Value);
    void WriteValue(uint32 Value);
    void WriteValue(double Value);
    void WriteValue(float Value);
    void WriteNull();

    void WriteValue(const FString& Identifier, const FString& Value);
    void WriteValue(const FString& Identifier, const char* Value);
    void WriteValue(const FString& Identifier, bool Value);
    void WriteValue(const FString& Identifier, int32 Value);
    void WriteValue(const FString& Identifier, int64 Value);
    void WriteValue(const FString& Identifier, uint32 Value);
    void WriteValue(const FString& Identifier, double Value);
    void WriteValue(const FString& Identifier, float Value);
    void WriteNull(const FString& Identifier);

    /** Writes already formed JSON as the value; text that does not parse as JSON is refused as misuse. */
    void WriteRawJSONValue(const FString& Identifier, const FString& Json);
    void WriteRawJSONValue(const FString& Json);

    /** Writes "Identifier": so that the next value written without an identifier belongs to it. */
    void WriteIdentifierPrefix(const FString& Identifier);

    /** True when exactly one complete top-level value was written and nothing was misused. */
    bool Close();

protected:
    /** bInCondensed: the layout writes no whitespace, so no layout call is made at all. */
    FJsonWriterBase(FString* InOut, bool bInCondensed) : Out(InOut), bCondensed(bInCondensed) {}

    virtual void WriteNewLine(FString& Text, int32 Indent) = 0;
    virtual void WriteSpace(FString& Text) = 0;

private:
    friend class FJsonSerializer;

    struct FScope
    {
        EJson Kind;
        bool bHasEntries;
    };

    bool BeginValue(const FString* Identifier);
    void NewLine(int32 Indent)
    {
        if (!bCondensed)
        {
            WriteNewLine(*Out, Indent);
        }
    }
    void BeginContainer(const FString* Identifier, EJson Kind, char Opening);
    void EndContainer(EJson Kind, char Closing);
    void WriteNumber(const FString* Identifier, double Value);
    void WriteString(const FString* Identifier, std::string_view Value);
    void WriteLiteral(const FString* Identifier, const char* Literal);
    void WriteRaw(const FString* Identifier, const FString& Json);
    bool Fail();
    bool HasFailed() const { return bFailed; }

    FString* Out;
    const bool bCondensed;
    std::vector<FScope> Scopes;
    bool bRootWritten = false;
    bool bIdentifierPending = false;
    bool bFailed = false;
};

template <typename CharType = TCHAR, typename PrintPolicy = TPrettyJsonPrintPolicy<CharType>>
class TJsonWriter : public FJsonWriterBase
{
    static_assert(std::is_same_v<CharType, TCHAR>, "Only UTF-8 text is written");

public:
    /** Out must outlive the writer; a null Out makes every write misuse. */
    explicit TJsonWriter(FString* InOut)
        : FJsonWriterBase(InOut, std::is_same_v<PrintPolicy, TCondensedJsonPrintPolicy<CharType>>)
    {
    }

protected:
    void WriteNewLine(FString& Text, int32 Indent) override
    {
        PrintPolicy::WriteLineTerminator(Text);
        PrintPolicy::WriteTabs(Text, Indent);
    }
    void WriteSpace(FString& Text) override { PrintPolicy::WriteSpace(Text); }
};

template <typename CharType = TCHAR, typename PrintPolicy = TPrettyJsonPrintPolicy<CharType>>
class TJsonWriterFactory
{
public:
    static TSharedRef<TJsonWriter<CharType, PrintPolicy>> Create(FString* Out)
    {
        return MakeShared<TJsonWriter<CharType, PrintPolicy>>(Out);
    }
};
