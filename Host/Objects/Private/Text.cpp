#include "Internationalization/Text.h"

namespace
{
/** Reads "{N}" at Position; false when the text there is not a complete placeholder. */
bool ReadPlaceholder(const FString& Text, int32 Position, int32& OutIndex, int32& OutLength)
{
    int32 Cursor = Position + 1;
    int64 Index = 0;
    while (Cursor < Text.Len() && Text[Cursor] >= '0' && Text[Cursor] <= '9' && Index <= INT32_MAX)
    {
        Index = Index * 10 + (Text[Cursor] - '0');
        ++Cursor;
    }
    if (Cursor == Position + 1 || Cursor >= Text.Len() || Text[Cursor] != '}' || Index > INT32_MAX)
    {
        return false;
    }
    OutIndex = static_cast<int32>(Index);
    OutLength = Cursor - Position + 1;
    return true;
}
} // namespace

FText FText::FormatOrdered(const FText& Pattern, const FFormatOrderedArguments& Arguments)
{
    const FString& Source = Pattern.ToString();
    FString Result;
    Result.Reserve(Source.Len());
    for (int32 Position = 0; Position < Source.Len();)
    {
        int32 Index = 0;
        int32 Length = 0;
        if (Source[Position] == '{' && ReadPlaceholder(Source, Position, Index, Length) &&
            Arguments.IsValidIndex(Index))
        {
            Result += Arguments[Index].ToString();
            Position += Length;
            continue;
        }
        Result += Source[Position];
        ++Position;
    }
    return FromString(std::move(Result));
}
