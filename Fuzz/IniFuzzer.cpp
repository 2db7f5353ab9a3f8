// Untrusted text through the ini reader and the command-line parsers.
#include <cstddef>
#include <cstdint>
#include <string>

#include "Core/Config.h"
#include "Core/Parse.h"

namespace
{
void ReadEverything(const FConfigCacheIni& Config, const FString& Ini)
{
    TArray<FString> Sections;
    Config.GetSectionNames(Ini, Sections);
    for (const FString& Section : Sections)
    {
        TArray<FString> Lines;
        Config.GetSection(*Section, Lines, Ini);
        for (const FString& Line : Lines)
        {
            FString Key;
            Line.Split("=", &Key, nullptr);
            TArray<FString> Values;
            Config.GetArray(*Section, *Key, Values, Ini);
            FString Text;
            bool bFlag = false;
            int32 Number = 0;
            double Real = 0.0;
            Config.GetString(*Section, *Key, Text, Ini);
            Config.GetBool(*Section, *Key, bFlag, Ini);
            Config.GetInt(*Section, *Key, Number, Ini);
            Config.GetDouble(*Section, *Key, Real, Ini);
        }
    }
}

void ParseAsCommandLine(const char* Stream)
{
    FString Value;
    for (const char* Match : {"Name=", "Id=", "Key=", "ZORCONFIG=", "LOGIN=", "AUTH_JSON="})
    {
        FParse::Value(Stream, Match, Value);
        FParse::Value(Stream, Match, Value, false);
    }
    int32 Number = 0;
    FParse::Value(Stream, "PORT=", Number);
    FParse::Param(Stream, "NOZOR");
    const char* Cursor = Stream;
    FParse::Command(&Cursor, "TEST");
    FString Token;
    for (bool bEscape : {false, true})
    {
        const char* TokenCursor = Cursor;
        while (FParse::Token(TokenCursor, Token, bEscape))
        {
        }
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size)
{
    const std::string Bytes(reinterpret_cast<const char*>(Data), Size);
    FConfigCacheIni Config;
    const FString Ini = "Fuzz";
    Config.LoadFromString(Ini, FString(Bytes));
    ReadEverything(Config, Ini);
    ParseAsCommandLine(Bytes.c_str());
    return 0;
}
