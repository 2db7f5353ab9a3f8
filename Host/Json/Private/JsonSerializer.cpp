#include "Json/JsonSerializer.h"

int32 FJsonSerializer::DepthOf(const FJsonWriterBase& Writer)
{
    return static_cast<int32>(Writer.Scopes.size());
}

bool FJsonSerializer::Finish(FJsonWriterBase& Writer, bool bWritten, bool bCloseWriter)
{
    if (!bWritten)
    {
        return Writer.Fail();
    }
    return bCloseWriter ? Writer.Close() : !Writer.HasFailed();
}

bool FJsonSerializer::WriteValue(FJsonWriterBase& Writer, const FString* Identifier, const FJsonValue* Value,
                                 int32 Depth)
{
    const EJson Type = Value ? Value->Type : EJson::Null;
    switch (Type)
    {
    case EJson::None:
    case EJson::Null:
        Writer.WriteLiteral(Identifier, "null");
        break;
    case EJson::String:
        Writer.WriteString(Identifier, Value->ViewString());
        break;
    case EJson::Number:
        Writer.WriteNumber(Identifier, Value->AsNumber());
        break;
    case EJson::Boolean:
        Writer.WriteLiteral(Identifier, Value->AsBool() ? "true" : "false");
        break;
    case EJson::Array:
        return WriteArray(Writer, Identifier, Value->AsArray(), Depth + 1);
    case EJson::Object:
        if (!Value->AsObject())
        {
            Writer.WriteLiteral(Identifier, "null");
            break;
        }
        return WriteObject(Writer, Identifier, *Value->AsObject(), Depth + 1);
    }
    return !Writer.HasFailed();
}

bool FJsonSerializer::WriteObject(FJsonWriterBase& Writer, const FString* Identifier,
                                  const FJsonObject& Object, int32 Depth)
{
    if (Depth > JsonMaxDepth)
    {
        return false;
    }
    Writer.BeginContainer(Identifier, EJson::Object, '{');
    for (const auto& Field : Object.Values)
    {
        if (!WriteValue(Writer, &Field.Key, Field.Value.Get(), Depth))
        {
            return false;
        }
    }
    Writer.EndContainer(EJson::Object, '}');
    return !Writer.HasFailed();
}

bool FJsonSerializer::WriteArray(FJsonWriterBase& Writer, const FString* Identifier,
                                 const TArray<TSharedPtr<FJsonValue>>& Array, int32 Depth)
{
    if (Depth > JsonMaxDepth)
    {
        return false;
    }
    Writer.BeginContainer(Identifier, EJson::Array, '[');
    for (const TSharedPtr<FJsonValue>& Element : Array)
    {
        if (!WriteValue(Writer, nullptr, Element.Get(), Depth))
        {
            return false;
        }
    }
    Writer.EndContainer(EJson::Array, ']');
    return !Writer.HasFailed();
}
