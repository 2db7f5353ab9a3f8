#include "Json/JsonWriter.h"

#include "JsonPrivate.h"

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
    NewLine(static_cast<int32>(Scopes.size()));
    if (Identifier)
    {
        JsonPrivate::AppendQuoted(*Out, Identifier->View());
        *Out += ':';
        if (!bCondensed)
        {
            WriteSpace(*Out);
        }
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
        NewLine(static_cast<int32>(Scopes.size()));
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
        JsonPrivate::AppendInteger(*Out, Value);
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
        JsonPrivate::AppendInteger(*Out, Value);
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
