#include <charconv>
#include <cstring>

#include <rapidjson/error/en.h>
#include <rapidjson/reader.h>

#include "JsonPrivate.h"
#include "Json/JsonObject.h"
#include "Json/JsonSerializer.h"

namespace
{
// Numbers arrive as text and are converted here: the parser's own full-precision conversion takes the leading
// zero count of a zero significand when the exponent is large ("0e300"), which is undefined.
constexpr unsigned ParseFlags = rapidjson::kParseIterativeFlag | rapidjson::kParseValidateEncodingFlag |
                                rapidjson::kParseNumbersAsStringsFlag;

/** True when Text holds a UTF-16 surrogate as UTF-8; only an escaped lone surrogate gives one. */
bool HoldsEncodedSurrogate(std::string_view Text)
{
    const char* Cursor = Text.data();
    const char* const End = Text.data() + Text.size();
    while ((Cursor = static_cast<const char*>(std::memchr(Cursor, '\xED', End - Cursor))) != nullptr)
    {
        if (Cursor + 1 < End && static_cast<unsigned char>(Cursor[1]) >= 0xA0)
        {
            return true;
        }
        ++Cursor;
    }
    return false;
}

/**
 * For a number too large or too small for a double: whether it is too small, that is whether its first
 * significant digit stands below the units place once the exponent is applied. Text is a valid JSON number.
 */
bool IsBelowDoubleRange(std::string_view Text)
{
    constexpr int64 ExponentCap = 1000000000;
    size_t Index = Text[0] == '-' ? 1 : 0;
    const size_t IntegerStart = Index;
    while (Index < Text.size() && Text[Index] >= '0' && Text[Index] <= '9')
    {
        ++Index;
    }
    const size_t IntegerEnd = Index;
    const size_t FirstNonZero = Text.find_first_not_of("0.", IntegerStart);
    int64 Magnitude = 0;
    if (FirstNonZero < IntegerEnd)
    {
        Magnitude = static_cast<int64>(IntegerEnd - FirstNonZero) - 1;
    }
    else
    {
        Magnitude = -static_cast<int64>(FirstNonZero - IntegerEnd);
    }
    const size_t ExponentMark = Text.find_first_of("eE", IntegerEnd);
    int64 Exponent = 0;
    if (ExponentMark != std::string_view::npos)
    {
        size_t Digit = ExponentMark + 1;
        const bool bNegative = Text[Digit] == '-';
        Digit += (Text[Digit] == '-' || Text[Digit] == '+') ? 1 : 0;
        for (; Digit < Text.size() && Exponent < ExponentCap; ++Digit)
        {
            Exponent = Exponent * 10 + (Text[Digit] - '0');
        }
        Exponent = bNegative ? -Exponent : Exponent;
    }
    return Magnitude + Exponent < 0;
}

/**
 * Correctly rounded, whatever the number of digits. Magnitudes below the smallest double become zero; above
 * the largest they are refused.
 */
bool ConvertNumber(std::string_view Text, double& OutValue)
{
    const std::from_chars_result Result = std::from_chars(Text.data(), Text.data() + Text.size(), OutValue);
    if (Result.ec == std::errc::result_out_of_range && IsBelowDoubleRange(Text))
    {
        OutValue = Text[0] == '-' ? -0.0 : 0.0;
        return true;
    }
    return Result.ec == std::errc() && Result.ptr == Text.data() + Text.size();
}

/** Builds our values straight from the parser's events; refuses nesting beyond JsonMaxDepth. */
class FValueBuilder
{
public:
    bool Null() { return AddValue(MakeShared<FJsonValueNull>()); }
    bool Bool(bool Value) { return AddValue(MakeShared<FJsonValueBoolean>(Value)); }
    bool RawNumber(const char* Text, rapidjson::SizeType Length, bool)
    {
        double Value = 0.0;
        if (!ConvertNumber(std::string_view(Text, Length), Value))
        {
            return Refuse("number beyond the range of a double");
        }
        return AddValue(MakeShared<FJsonValueNumber>(Value));
    }
    // The parser's interface needs these, but with numbers read as text it only calls RawNumber.
    bool Int(int) { return false; }
    bool Uint(unsigned) { return false; }
    bool Int64(int64_t) { return false; }
    bool Uint64(uint64_t) { return false; }
    bool Double(double) { return false; }

    bool String(const char* Text, rapidjson::SizeType Length, bool)
    {
        const std::string_view View(Text, Length);
        if (HoldsEncodedSurrogate(View))
        {
            return Refuse("a \\u escape names a lone surrogate");
        }
        return AddValue(MakeShared<FJsonValueString>(FString(View)));
    }

    bool Key(const char* Text, rapidjson::SizeType Length, bool)
    {
        const std::string_view View(Text, Length);
        if (HoldsEncodedSurrogate(View))
        {
            return Refuse("a \\u escape names a lone surrogate");
        }
        Scopes.back().PendingKey = FString(View);
        return true;
    }

    bool StartObject() { return OpenScope(MakeShared<FJsonObject>()); }
    bool EndObject(rapidjson::SizeType) { return CloseScope(); }
    bool StartArray() { return OpenScope(nullptr); }
    bool EndArray(rapidjson::SizeType) { return CloseScope(); }

    TSharedPtr<FJsonValue> TakeRoot() { return std::move(Root); }
    const char* GetRefusal() const { return Refusal; }

private:
    /** An open object (Object set) or array (Elements). */
    struct FScope
    {
        TSharedPtr<FJsonObject> Object;
        TArray<TSharedPtr<FJsonValue>> Elements;
        FString PendingKey;
    };

    bool AddValue(TSharedPtr<FJsonValue> Value)
    {
        if (Scopes.empty())
        {
            Root = std::move(Value);
            return true;
        }
        FScope& Scope = Scopes.back();
        if (Scope.Object)
        {
            Scope.Object->Values.Add(Scope.PendingKey, std::move(Value));
        }
        else
        {
            Scope.Elements.Add(std::move(Value));
        }
        return true;
    }

    bool OpenScope(TSharedPtr<FJsonObject> Object)
    {
        if (Scopes.size() >= static_cast<size_t>(JsonMaxDepth))
        {
            return Refuse("nesting is deeper than the limit");
        }
        Scopes.push_back(FScope{std::move(Object), {}, {}});
        return true;
    }

    bool CloseScope()
    {
        FScope Scope = std::move(Scopes.back());
        Scopes.pop_back();
        if (Scope.Object)
        {
            return AddValue(MakeShared<FJsonValueObject>(std::move(Scope.Object)));
        }
        return AddValue(MakeShared<FJsonValueArray>(std::move(Scope.Elements)));
    }

    bool Refuse(const char* Reason)
    {
        Refusal = Reason;
        return false;
    }

    std::vector<FScope> Scopes;
    TSharedPtr<FJsonValue> Root;
    const char* Refusal = nullptr;
};

FString DescribeFailure(const rapidjson::ParseResult& Result, const FValueBuilder& Builder)
{
    const char* Reason =
        Builder.GetRefusal() ? Builder.GetRefusal() : rapidjson::GetParseError_En(Result.Code());
    return FString::Printf("JSON parse error at offset %zu: %s", Result.Offset(), Reason);
}

template <typename ResultType>
bool DeserializeAs(const TSharedRef<TJsonReader<>>& Reader, EJson Wanted, ResultType& OutResult,
                   ResultType (*Extract)(const FJsonValue&))
{
    TSharedPtr<FJsonValue> Value;
    FString Error;
    if (!JsonPrivate::ParseJson(Reader->GetText(), Value, Error))
    {
        Reader->SetErrorMessage(std::move(Error));
        return false;
    }
    if (Value->Type != Wanted)
    {
        Reader->SetErrorMessage(Wanted == EJson::Object ? "JSON top level is not an object"
                                                        : "JSON top level is not an array");
        return false;
    }
    Reader->SetErrorMessage(FString());
    OutResult = Extract(*Value);
    return true;
}
} // namespace

bool JsonPrivate::ParseJson(const FString& Text, TSharedPtr<FJsonValue>& OutValue, FString& OutError)
{
    // The parser stops at a NUL byte as if the text ended there, which would hide whatever follows it. JSON
    // never holds a raw NUL, so refuse it here.
    if (const void* Nul = std::memchr(*Text, '\0', Text.Len()))
    {
        OutError = FString::Printf("JSON parse error at offset %td: NUL byte in text",
                                   static_cast<const char*>(Nul) - *Text);
        return false;
    }
    // The parser's own validation reads past the end of the text when it ends inside a multi-byte sequence;
    // text that is not UTF-8 is never JSON, so refuse it before the parser sees it.
    size_t InvalidOffset = 0;
    if (JsonPrivate::FindInvalidUtf8(Text.View(), InvalidOffset))
    {
        OutError = FString::Printf("JSON parse error at offset %zu: invalid UTF-8", InvalidOffset);
        return false;
    }
    rapidjson::StringStream Stream(*Text);
    rapidjson::Reader Reader;
    FValueBuilder Builder;
    const rapidjson::ParseResult Result = Reader.Parse<ParseFlags>(Stream, Builder);
    if (Result.IsError())
    {
        OutError = DescribeFailure(Result, Builder);
        return false;
    }
    OutValue = Builder.TakeRoot();
    return true;
}

bool FJsonSerializer::Deserialize(const TSharedRef<TJsonReader<>>& Reader, TSharedPtr<FJsonObject>& OutObject)
{
    return DeserializeAs<TSharedPtr<FJsonObject>>(Reader, EJson::Object, OutObject,
                                                  [](const FJsonValue& Value) { return Value.AsObject(); });
}

bool FJsonSerializer::Deserialize(const TSharedRef<TJsonReader<>>& Reader, TSharedPtr<FJsonValue>& OutValue)
{
    TSharedPtr<FJsonValue> Value;
    FString Error;
    if (!JsonPrivate::ParseJson(Reader->GetText(), Value, Error))
    {
        Reader->SetErrorMessage(std::move(Error));
        return false;
    }
    Reader->SetErrorMessage(FString());
    OutValue = std::move(Value);
    return true;
}

bool FJsonSerializer::Deserialize(const TSharedRef<TJsonReader<>>& Reader,
                                  TArray<TSharedPtr<FJsonValue>>& OutArray)
{
    return DeserializeAs<TArray<TSharedPtr<FJsonValue>>>(
        Reader, EJson::Array, OutArray, [](const FJsonValue& Value) { return Value.AsArray(); });
}
