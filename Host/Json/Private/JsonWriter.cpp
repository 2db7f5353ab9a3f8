#include "Json/JsonWriter.h"

#include <charconv>

#include "JsonPrivate.h"

namespace
{
/** Length of the well-formed UTF-8 sequence (RFC 3629) that starts at Index, or 0 when there is none. */
size_t Utf8SequenceLength(std::string_view Text, size_t Index)
{
    const unsigned char Lead = static_cast<unsigned char>(Text[Index]);
    size_t Length = 0;
    unsigned char Low = 0x80;
    unsigned char High = 0xBF;
    if (Lead >= 0xC2 && Lead <= 0xDF)
    {
        Length = 2;
    }
    else if (Lead >= 0xE0 && Lead <= 0xEF)
    {
        Length = 3;
        Low = Lead == 0xE0 ? 0xA0 : Low;   // overlong
        High = Lead == 0xED ? 0x9F : High; // surrogates
    }
    else if (Lead >= 0xF0 && Lead <= 0xF4)
    {
        Length = 4;
        Low = Lead == 0xF0 ? 0x90 : Low;   // overlong
        High = Lead == 0xF4 ? 0x8F : High; // beyond U+10FFFF
    }
    if (Length == 0 || Index + Length > Text.size())
    {
        return 0;
    }
    for (size_t Offset = 1; Offset < Length; ++Offset)
    {
        const unsigned char Byte = static_cast<unsigned char>(Text[Index + Offset]);
        if (Byte < Low || Byte > High)
        {
            return 0;
        }
        Low = 0x80;
        High = 0xBF;
    }
    return Length;
}

void AppendEscapedAscii(FString& Out, char Ch)
{
    static constexpr char Hex[] = "0123456789abcdef";
    switch (Ch)
    {
    case '"':
        Out += "\\\"";
        return;
    case '\\':
        Out += "\\\\";
        return;
    case '\b':
        Out += "\\b";
        return;
    case '\f':
        Out += "\\f";
        return;
    case '\n':
        Out += "\\n";
        return;
    case '\r':
        Out += "\\r";
        return;
    case '\t':
        Out += "\\t";
        return;
    default:
        break;
    }
    if (static_cast<unsigned char>(Ch) >= 0x20)
    {
        Out += Ch;
        return;
    }
    Out += "\\u00";
    Out += Hex[Ch >> 4];
    Out += Hex[Ch & 0xF];
}

template <typename ValueType> void AppendChars(FString& Out, ValueType Value)
{
    char Buffer[64];
    const std::to_chars_result Result = std::to_chars(Buffer, Buffer + sizeof(Buffer), Value);
    Out += FString(std::string_view(Buffer, Result.ptr - Buffer));
}

/** Whole values within +-2^53 are written as integers; every such double is exact. */
template <typename FloatType> void AppendFloatingNumber(FString& Out, FloatType Value)
{
    constexpr double MaxExactInteger = 9007199254740992.0;
    if (!std::isfinite(Value))
    {
        Out += "null";
        return;
    }
    if (std::trunc(Value) == Value && std::fabs(Value) <= MaxExactInteger)
    {
        AppendChars(Out, static_cast<int64>(Value));
        return;
    }
    AppendChars(Out, Value);
}
} // namespace

void JsonPrivate::AppendNumber(FString& Out, double Value)
{
    AppendFloatingNumber(Out, Value);
}

void JsonPrivate::AppendNumber(FString& Out, float Value)
{
    AppendFloatingNumber(Out, Value);
}

void JsonPrivate::AppendQuoted(FString& Out, std::string_view Value)
{
    static constexpr char ReplacementCharacter[] = "\xEF\xBF\xBD";
    Out += '"';
    size_t Index = 0;
    while (Index < Value.size())
    {
        if (static_cast<unsigned char>(Value[Index]) < 0x80)
        {
            AppendEscapedAscii(Out, Value[Index]);
            ++Index;
            continue;
        }
        const size_t Length = Utf8SequenceLength(Value, Index);
        if (Length == 0)
        {
            Out += ReplacementCharacter;
            ++Index;
            continue;
        }
        Out += FString(Value.substr(Index, Length));
        Index += Length;
    }
    Out += '"';
}

bool FJsonWriterBase::Fail()
{
    bFailed = true;
    return false;
}

bool FJsonWriterBase::BeginValue(const FString* Identifier)
{
    if (!Out || bFailed)
    {
        return Fail();
    }
    if (Scopes.empty())
    {
        if (bRootWritten || Identifier)
        {
            return Fail();
        }
        bRootWritten = true;
        return true;
    }
    FScope& Scope = Scopes.back();
    const bool bInObject = Scope.Kind == EJson::Object;
    if (bIdentifierPending)
    {
        bIdentifierPending = false;
        return Identifier ? Fail() : true;
    }
    if (bInObject != (Identifier != nullptr))
    {
        return Fail();
    }
    if (Scope.bHasEntries)
    {
        *Out += ',';
    }
    Scope.bHasEntries = true;
    WriteNewLine(*Out, static_cast<int32>(Scopes.size()));
    if (Identifier)
    {
        JsonPrivate::AppendQuoted(*Out, Identifier->View());
        *Out += ':';
        WriteSpace(*Out);
    }
    return true;
}

void FJsonWriterBase::BeginContainer(const FString* Identifier, EJson Kind, char Opening)
{
    if (!BeginValue(Identifier))
    {
        return;
    }
    *Out += Opening;
    Scopes.push_back(FScope{Kind, false});
}

void FJsonWriterBase::EndContainer(EJson Kind, char Closing)
{
    if (bFailed || !Out || Scopes.empty() || Scopes.back().Kind != Kind || bIdentifierPending)
    {
        Fail();
        return;
    }
    const bool bHadEntries = Scopes.back().bHasEntries;
    Scopes.pop_back();
    if (bHadEntries)
    {
        WriteNewLine(*Out, static_cast<int32>(Scopes.size()));
    }
    *Out += Closing;
}

void FJsonWriterBase::WriteNumber(const FString* Identifier, double Value)
{
    if (BeginValue(Identifier))
    {
        JsonPrivate::AppendNumber(*Out, Value);
    }
}

void FJsonWriterBase::WriteString(const FString* Identifier, std::string_view Value)
{
    if (BeginValue(Identifier))
    {
        JsonPrivate::AppendQuoted(*Out, Value);
    }
}

void FJsonWriterBase::WriteLiteral(const FString* Identifier, const char* Literal)
{
    if (BeginValue(Identifier))
    {
        *Out += Literal;
    }
}

void FJsonWriterBase::WriteRaw(const FString* Identifier, const FString& Json)
{
    TSharedPtr<FJsonValue> Parsed;
    FString Error;
    if (!JsonPrivate::ParseJson(Json, Parsed, Error))
    {
        Fail();
        return;
    }
    if (BeginValue(Identifier))
    {
        *Out += Json;
    }
}

void FJsonWriterBase::WriteObjectStart()
{
    BeginContainer(nullptr, EJson::Object, '{');
}

void FJsonWriterBase::WriteObjectStart(const FString& Identifier)
{
    BeginContainer(&Identifier, EJson::Object, '{');
}

void FJsonWriterBase::WriteObjectEnd()
{
    EndContainer(EJson::Object, '}');
}

void FJsonWriterBase::WriteArrayStart()
{
    BeginContainer(nullptr, EJson::Array, '[');
}

void FJsonWriterBase::WriteArrayStart(const FString& Identifier)
{
    BeginContainer(&Identifier, EJson::Array, '[');
}

void FJsonWriterBase::WriteArrayEnd()
{
    EndContainer(EJson::Array, ']');
}

void FJsonWriterBase::WriteValue(const FString& Value)
{
    WriteString(nullptr, Value.View());
}

void FJsonWriterBase::WriteValue(const char* Value)
{
    WriteString(nullptr, Value ? std::string_view(Value) : std::string_view());
}

void FJsonWriterBase::WriteValue(bool Value)
{
    WriteLiteral(nullptr, Value ? "true" : "false");
}

void FJsonWriterBase::WriteValue(int32 Value)
{
    WriteValue(static_cast<int64>(Value));
}

void FJsonWriterBase::WriteValue(int64 Value)
{
    if (BeginValue(nullptr))
    {
        AppendChars(*Out, Value);
    }
}

void FJsonWriterBase::WriteValue(uint32 Value)
{
    WriteValue(static_cast<int64>(Value));
}

void FJsonWriterBase::WriteValue(double Value)
{
    WriteNumber(nullptr, Value);
}

void FJsonWriterBase::WriteValue(float Value)
{
    if (BeginValue(nullptr))
    {
        JsonPrivate::AppendNumber(*Out, Value);
    }
}

void FJsonWriterBase::WriteNull()
{
    WriteLiteral(nullptr, "null");
}

void FJsonWriterBase::WriteValue(const FString& Identifier, const FString& Value)
{
    WriteString(&Identifier, Value.View());
}

void FJsonWriterBase::WriteValue(const FString& Identifier, const char* Value)
{
    WriteString(&Identifier, Value ? std::string_view(Value) : std::string_view());
}

void FJsonWriterBase::WriteValue(const FString& Identifier, bool Value)
{
    WriteLiteral(&Identifier, Value ? "true" : "false");
}

void FJsonWriterBase::WriteValue(const FString& Identifier, int32 Value)
{
    WriteValue(Identifier, static_cast<int64>(Value));
}

void FJsonWriterBase::WriteValue(const FString& Identifier, int64 Value)
{
    if (BeginValue(&Identifier))
    {
        AppendChars(*Out, Value);
    }
}

void FJsonWriterBase::WriteValue(const FString& Identifier, uint32 Value)
{
    WriteValue(Identifier, static_cast<int64>(Value));
}

void FJsonWriterBase::WriteValue(const FString& Identifier, double Value)
{
    WriteNumber(&Identifier, Value);
}

void FJsonWriterBase::WriteValue(const FString& Identifier, float Value)
{
    if (BeginValue(&Identifier))
    {
        JsonPrivate::AppendNumber(*Out, Value);
    }
}

void FJsonWriterBase::WriteNull(const FString& Identifier)
{
    WriteLiteral(&Identifier, "null");
}

void FJsonWriterBase::WriteRawJSONValue(const FString& Identifier, const FString& Json)
{
    WriteRaw(&Identifier, Json);
}

void FJsonWriterBase::WriteRawJSONValue(const FString& Json)
{
    WriteRaw(nullptr, Json);
}

void FJsonWriterBase::WriteIdentifierPrefix(const FString& Identifier)
{
    if (!BeginValue(&Identifier))
    {
        return;
    }
    bIdentifierPending = true;
}

bool FJsonWriterBase::Close()
{
    if (!Scopes.empty() || bIdentifierPending || !bRootWritten)
    {
        Fail();
    }
    return !bFailed;
}
