#include <cstring>

#include <rapidjson/error/en.h>
#include <rapidjson/reader.h>

#include "JsonPrivate.h"
#include "Json/JsonObject.h"
#include "Json/JsonSerializer.h"

namespace
{
constexpr unsigned ParseFlags = rapidjson::kParseIterativeFlag | rapidjson::kParseValidateEncodingFlag |
                                rapidjson::kParseFullPrecisionFlag;

/** True when Text holds a UTF-16 surrogate encoded as UTF-8; only an escaped lone surrogate can produce one.
 */
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

/** Builds our values straight from the parser's events; refuses nesting beyond JsonMaxDepth. */
class FValueBuilder
{
public:
    bool Null() { return AddValue(MakeShared<FJsonValueNull>()); }
    bool Bool(bool Value) { return AddValue(MakeShared<FJsonValueBoolean>(Value)); }
    bool Int(int Value) { return AddNumber(Value); }
    bool Uint(unsigned Value) { return AddNumber(Value); }
    bool Int64(int64_t Value) { return AddNumber(static_cast<double>(Value)); }
    bool Uint64(uint64_t Value) { return AddNumber(static_cast<double>(Value)); }
    bool Double(double Value) { return AddNumber(Value); }
    bool RawNumber(const char*, rapidjson::SizeType, bool) { return false; }

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

    bool AddNumber(double Value) { return AddValue(MakeShared<FJsonValueNumber>(Value)); }

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
