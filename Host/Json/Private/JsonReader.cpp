#include <cstring>
#include <memory>
#include <vector>

#include <simdjson.h>

#include "JsonDocumentReader.h"
#include "JsonPrivate.h"
#include "JsonStepwiseReader.h"
#include "Json/JsonObject.h"
#include "Json/JsonSerializer.h"

namespace
{
/**
 * A thread keeps its parsers and padded copy between parses of texts up to this size (buffers of about twenty
 * times as much, of which only what a text uses becomes resident); a larger text gets its own step-by-step
 * parser for that one parse, which needs the least memory, so one huge reply neither stays resident nor peaks
 * at the whole-document parser's size.
 */
constexpr size_t KeptCapacity = size_t{1} << 20;

/** The parser reads a fixed number of bytes past the text; they must belong to the buffer. */
struct FParseBuffers
{
    simdjson::ondemand::parser Stepwise;
    simdjson::dom::parser Document;
    std::unique_ptr<char[]> Text;
    size_t TextCapacity = 0;
    JsonPrivate::FStepwiseScratch StepwiseScratch;
    std::vector<JsonPrivate::FDocumentFrame> DocumentFrames;

    simdjson::padded_string_view Pad(std::string_view Source)
    {
        const size_t Needed = Source.size() + simdjson::SIMDJSON_PADDING;
        if (TextCapacity < Needed)
        {
            Text.reset(new char[Needed]);
            TextCapacity = Needed;
        }
        std::memcpy(Text.get(), Source.data(), Source.size());
        std::memset(Text.get() + Source.size(), 0, simdjson::SIMDJSON_PADDING);
        return simdjson::padded_string_view(Text.get(), Source.size(), TextCapacity);
    }
};

bool ParseWith(FParseBuffers& Buffers, const FString& Text, TSharedPtr<FJsonValue>& OutValue,
               FString& OutError, bool bWholeDocumentFirst)
{
    const simdjson::padded_string_view Padded = Buffers.Pad(Text.View());
    if (bWholeDocumentFirst &&
        JsonPrivate::ReadDocument(Buffers.Document, Text.View(), Padded, Buffers.DocumentFrames, OutValue))
    {
        return true;
    }
    return JsonPrivate::ReadStepwise(Buffers.Stepwise, Text.View(), Padded, Buffers.StepwiseScratch, OutValue,
                                     OutError);
}

bool Parse(const FString& Text, TSharedPtr<FJsonValue>& OutValue, FString& OutError, bool bWholeDocumentFirst)
{
    if (static_cast<size_t>(Text.Len()) > KeptCapacity)
    {
        FParseBuffers Once;
        return ParseWith(Once, Text, OutValue, OutError, false);
    }
    thread_local FParseBuffers Kept;
    return ParseWith(Kept, Text, OutValue, OutError, bWholeDocumentFirst);
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
    return Parse(Text, OutValue, OutError, true);
}

bool JsonPrivate::ParseJsonStepwise(const FString& Text, TSharedPtr<FJsonValue>& OutValue, FString& OutError)
{
    return Parse(Text, OutValue, OutError, false);
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
