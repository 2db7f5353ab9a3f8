#pragma once

#include <type_traits>

#include "Json/JsonTypes.h"

/**
 * JSON text waiting to be parsed by FJsonSerializer::Deserialize. The text must be UTF-8; anything else is
 * refused by the parse.
 */
template <typename CharType = TCHAR> class TJsonReader
{
    static_assert(std::is_same_v<CharType, TCHAR>, "Only UTF-8 text is read");

public:
    explicit TJsonReader(FString InText) : Text(std::move(InText)) {}

    const FString& GetText() const { return Text; }
    /** Why the last parse failed, with the byte offset where it stopped; empty after a success. */
    const FString& GetErrorMessage() const { return ErrorMessage; }
    void SetErrorMessage(FString Message) { ErrorMessage = std::move(Message); }

private:
    FString Text;
    FString ErrorMessage;
};

template <typename CharType = TCHAR> class TJsonReaderFactory
{
public:
    static TSharedRef<TJsonReader<CharType>> Create(FString Text)
    {
        return MakeShared<TJsonReader<CharType>>(std::move(Text));
    }
};
