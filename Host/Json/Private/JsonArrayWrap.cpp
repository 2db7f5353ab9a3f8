#include "Json/JsonArrayWrap.h"

#include "JsonPrivate.h"

FString WrapJsonArrayResponse(const FString& Key, const FString& Body)
{
    const bool bBracketSingleFile = Key.Equals("files") && !Body.StartsWith("[");
    FString Wrapped("{");
    Wrapped.Reserve(Body.Len() + Key.Len() + 8);
    JsonPrivate::AppendQuoted(Wrapped, Key.View());
    Wrapped += ':';
    Wrapped += bBracketSingleFile ? "[" + Body + "]" : Body;
    Wrapped += '}';
    return Wrapped;
}
