#pragma once

#include "Json/JsonObject.h"
#include "Json/JsonReader.h"
#include "Json/JsonValue.h"
#include "Json/JsonWriter.h"

/**
 * Text to values and back.
 *
 * Reading is strict JSON (RFC 8259) in UTF-8: false on any syntax error, invalid or overlong UTF-8, an
 * escaped lone surrogate (refused, not replaced), a raw NUL byte, trailing text after the value, or nesting
 * deeper than JsonMaxDepth. NaN and Infinity literals, comments and trailing commas are errors. Numbers
 * become the nearest double, so integers keep every digit a double can hold; magnitudes beyond the largest
 * double read as the largest finite value of their sign, and those below the smallest as zero of their sign.
 * When an object repeats a key (in any letter case), the last value wins and keeps the first key's spelling
 * and position. On failure the output argument is left as it was and the reader carries the reason.
 */
class FJsonSerializer
{
public:
    /** Only a top-level object succeeds. */
    static bool Deserialize(const TSharedRef<TJsonReader<>>& Reader, TSharedPtr<FJsonObject>& OutObject);
    /** Any top-level value. */
    static bool Deserialize(const TSharedRef<TJsonReader<>>& Reader, TSharedPtr<FJsonValue>& OutValue);
    /** Only a top-level array succeeds. */
    static bool Deserialize(const TSharedRef<TJsonReader<>>& Reader,
                            TArray<TSharedPtr<FJsonValue>>& OutArray);

    /**
     * Writes the object as the writer's next value. False when the tree is deeper than JsonMaxDepth or the
     * writer was misused; with bCloseWriter, also when Close fails.
     */
    template <typename CharType, typename PrintPolicy>
    static bool Serialize(const TSharedRef<FJsonObject>& Object,
                          const TSharedRef<TJsonWriter<CharType, PrintPolicy>>& Writer,
                          bool bCloseWriter = true)
    {
        return Finish(Writer.Get(),
                      WriteObject(Writer.Get(), nullptr, Object.Get(), DepthOf(Writer.Get()) + 1),
                      bCloseWriter);
    }

    template <typename CharType, typename PrintPolicy>
    static bool Serialize(const TArray<TSharedPtr<FJsonValue>>& Array,
                          const TSharedRef<TJsonWriter<CharType, PrintPolicy>>& Writer,
                          bool bCloseWriter = true)
    {
        return Finish(Writer.Get(), WriteArray(Writer.Get(), nullptr, Array, DepthOf(Writer.Get()) + 1),
                      bCloseWriter);
    }

    /** Writes any value; a non-empty Identifier names it inside an enclosing object. */
    template <typename CharType, typename PrintPolicy>
    static bool Serialize(const TSharedPtr<FJsonValue>& Value, const FString& Identifier,
                          const TSharedRef<TJsonWriter<CharType, PrintPolicy>>& Writer,
                          bool bCloseWriter = true)
    {
        const FString* Name = Identifier.IsEmpty() ? nullptr : &Identifier;
        return Finish(Writer.Get(), WriteValue(Writer.Get(), Name, Value.Get(), DepthOf(Writer.Get())),
                      bCloseWriter);
    }

private:
    friend class FOnlineJsonSerializerWriter;

    /** Containers the writer has open: trees written into them count from there toward JsonMaxDepth. */
    static int32 DepthOf(const FJsonWriterBase& Writer);
    static bool Finish(FJsonWriterBase& Writer, bool bWritten, bool bCloseWriter);
    static bool WriteValue(FJsonWriterBase& Writer, const FString* Identifier, const FJsonValue* Value,
                           int32 Depth);
    static bool WriteObject(FJsonWriterBase& Writer, const FString* Identifier, const FJsonObject& Object,
                            int32 Depth);
    static bool WriteArray(FJsonWriterBase& Writer, const FString* Identifier,
                           const TArray<TSharedPtr<FJsonValue>>& Array, int32 Depth);
};
