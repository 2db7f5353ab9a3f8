#include "Core/Config.h"

#include <string_view>

#include "Core/FileHelper.h"
#include "Core/Map.h"
#include "ValueText.h"

namespace
{
struct FConfigLine
{
    FString Key;
    FString Value;
};

using FConfigSection = TArray<FConfigLine>;
using FConfigFile = TMap<FString, FConfigSection>;

std::string_view Trim(std::string_view Text)
{
    const auto IsBlank = [](char Ch) { return Ch == ' ' || Ch == '\t' || Ch == '\r' || Ch == '\n'; };
    while (!Text.empty() && IsBlank(Text.front()))
    {
        Text.remove_prefix(1);
    }
    while (!Text.empty() && IsBlank(Text.back()))
    {
        Text.remove_suffix(1);
    }
    return Text;
}

std::string_view Unquote(std::string_view Value)
{
    if (Value.size() >= 2 && Value.front() == '"' && Value.back() == '"')
    {
        return Value.substr(1, Value.size() - 2);
    }
    return Value;
}

void RemoveKey(FConfigSection& Section, const FString& Key)
{
    Section.RemoveAll([&Key](const FConfigLine& Line) { return Line.Key == Key; });
}

void RemoveLastEqual(FConfigSection& Section, const FString& Key, const FString& Value)
{
    for (int32 Index = Section.Num() - 1; Index >= 0; --Index)
    {
        if (Section[Index].Key == Key && Section[Index].Value.Equals(Value))
        {
            Section.RemoveAt(Index);
            return;
        }
    }
}

/** One "Key=Value", "+Key=Value", "-Key=Value" or "!Key" line applied to its section. */
void ApplyKeyLine(FConfigSection& Section, std::string_view Line)
{
    const char Op = Line.front();
    if (Op == '!')
    {
        const std::string_view Rest = Line.substr(1);
        const std::string_view Key = Trim(Rest.substr(0, Rest.find('=')));
        if (!Key.empty())
        {
            RemoveKey(Section, FString(Key));
        }
        return;
    }
    const size_t Equals = Line.find('=');
    if (Equals == std::string_view::npos)
    {
        return;
    }
    std::string_view Key = Trim(Line.substr(0, Equals));
    if (Op == '+' || Op == '-')
    {
        Key = Trim(Key.substr(1));
    }
    if (Key.empty())
    {
        return;
    }
    const FString Value(Unquote(Trim(Line.substr(Equals + 1))));
    if (Op == '-')
    {
        RemoveLastEqual(Section, FString(Key), Value);
        return;
    }
    Section.Add(FConfigLine{FString(Key), Value});
}

FConfigFile ParseIni(std::string_view Text)
{
    FConfigFile File;
    FConfigSection* Current = nullptr;
    while (!Text.empty())
    {
        const size_t End = Text.find('\n');
        const std::string_view Line = Trim(Text.substr(0, End));
        Text.remove_prefix(End == std::string_view::npos ? Text.size() : End + 1);
        if (Line.empty() || Line.front() == ';' || Line.front() == '#')
        {
            continue;
        }
        // Names reach callers as C strings, so a line holding a NUL byte could never be looked up whole.
        const bool bMalformed = Line.find('\0') != std::string_view::npos;
        if (Line.front() == '[')
        {
            // A broken header drops the lines under it rather than filing them under the previous section.
            const bool bClosed = Line.back() == ']' && !bMalformed;
            const std::string_view Name =
                bClosed ? Trim(Line.substr(1, Line.size() - 2)) : std::string_view();
            Current = Name.empty() ? nullptr : &File.FindOrAdd(FString(Name));
            continue;
        }
        if (Current && !bMalformed)
        {
            ApplyKeyLine(*Current, Line);
        }
    }
    return File;
}

} // namespace

struct FConfigStore
{
    TMap<FString, FConfigFile> Files;

    const FConfigSection* FindSection(const FString& IniName, const char* Section) const
    {
        const FConfigFile* File = Files.Find(IniName);
        return File && Section ? File->Find(FString(Section)) : nullptr;
    }
    const FConfigLine* FindLast(const FString& IniName, const char* Section, const char* Key) const
    {
        const FConfigSection* Lines = FindSection(IniName, Section);
        if (!Lines || !Key)
        {
            return nullptr;
        }
        const FString KeyName(Key);
        for (int32 Index = Lines->Num() - 1; Index >= 0; --Index)
        {
            if ((*Lines)[Index].Key == KeyName)
            {
                return &(*Lines)[Index];
            }
        }
        return nullptr;
    }
    FConfigSection& SectionForWrite(const FString& IniName, const char* Section)
    {
        return Files.FindOrAdd(IniName).FindOrAdd(FString(Section));
    }
};

namespace
{
constinit FConfigCacheIni GConfigInstance;
}

FConfigCacheIni* GConfig = &GConfigInstance;
FString GEngineIni = "Engine";

FConfigCacheIni::~FConfigCacheIni()
{
    delete StorePtr;
}

FConfigStore& FConfigCacheIni::Store() const
{
    if (!StorePtr)
    {
        StorePtr = new FConfigStore();
    }
    return *StorePtr;
}

bool FConfigCacheIni::LoadFile(const FString& IniName, const FString& Path)
{
    FString Text;
    if (!FFileHelper::LoadFileToString(Text, *Path))
    {
        return false;
    }
    LoadFromString(IniName, Text);
    return true;
}

void FConfigCacheIni::LoadFromString(const FString& IniName, const FString& Text)
{
    FConfigFile Parsed = ParseIni(Text.View());
    std::lock_guard Guard(Mutex);
    Store().Files.Add(IniName, std::move(Parsed));
}

void FConfigCacheIni::Empty(const FString& IniName)
{
    std::lock_guard Guard(Mutex);
    Store().Files.Remove(IniName);
}

bool FConfigCacheIni::GetString(const char* Section, const char* Key, FString& Out,
                                const FString& IniName) const
{
    std::lock_guard Guard(Mutex);
    const FConfigLine* Line = Store().FindLast(IniName, Section, Key);
    if (!Line)
    {
        return false;
    }
    Out = Line->Value;
    return true;
}

bool FConfigCacheIni::GetBool(const char* Section, const char* Key, bool& Out, const FString& IniName) const
{
    FString Text;
    return GetString(Section, Key, Text, IniName) && ValueText::ParseBool(Text.TrimStartAndEnd(), Out);
}

bool FConfigCacheIni::GetInt(const char* Section, const char* Key, int32& Out, const FString& IniName) const
{
    FString Text;
    return GetString(Section, Key, Text, IniName) &&
           ValueText::ParseNumber(Text.TrimStartAndEnd().View(), Out);
}

bool FConfigCacheIni::GetFloat(const char* Section, const char* Key, float& Out, const FString& IniName) const
{
    FString Text;
    return GetString(Section, Key, Text, IniName) &&
           ValueText::ParseNumber(Text.TrimStartAndEnd().View(), Out);
}

bool FConfigCacheIni::GetDouble(const char* Section, const char* Key, double& Out,
                                const FString& IniName) const
{
    FString Text;
    return GetString(Section, Key, Text, IniName) &&
           ValueText::ParseNumber(Text.TrimStartAndEnd().View(), Out);
}

int32 FConfigCacheIni::GetArray(const char* Section, const char* Key, TArray<FString>& Out,
                                const FString& IniName) const
{
    Out.Reset();
    std::lock_guard Guard(Mutex);
    const FConfigSection* Lines = Store().FindSection(IniName, Section);
    if (!Lines || !Key)
    {
        return 0;
    }
    const FString KeyName(Key);
    for (const FConfigLine& Line : *Lines)
    {
        if (Line.Key == KeyName)
        {
            Out.Add(Line.Value);
        }
    }
    return Out.Num();
}

void FConfigCacheIni::GetSectionNames(const FString& IniName, TArray<FString>& Out) const
{
    Out.Reset();
    std::lock_guard Guard(Mutex);
    if (const FConfigFile* File = Store().Files.Find(IniName))
    {
        File->GenerateKeyArray(Out);
    }
}

bool FConfigCacheIni::GetSection(const char* Section, TArray<FString>& Out, const FString& IniName) const
{
    Out.Reset();
    std::lock_guard Guard(Mutex);
    const FConfigSection* Lines = Store().FindSection(IniName, Section);
    if (!Lines)
    {
        return false;
    }
    for (const FConfigLine& Line : *Lines)
    {
        Out.Add(Line.Key + "=" + Line.Value);
    }
    return true;
}

bool FConfigCacheIni::DoesSectionExist(const char* Section, const FString& IniName) const
{
    std::lock_guard Guard(Mutex);
    return Store().FindSection(IniName, Section) != nullptr;
}

void FConfigCacheIni::SetString(const char* Section, const char* Key, const char* Value,
                                const FString& IniName)
{
    SetArray(Section, Key, TArray<FString>{FString(Value)}, IniName);
}

void FConfigCacheIni::SetBool(const char* Section, const char* Key, bool Value, const FString& IniName)
{
    SetString(Section, Key, Value ? "True" : "False", IniName);
}

void FConfigCacheIni::SetArray(const char* Section, const char* Key, const TArray<FString>& Values,
                               const FString& IniName)
{
    if (!Section || !Key)
    {
        return;
    }
    std::lock_guard Guard(Mutex);
    FConfigSection& Lines = Store().SectionForWrite(IniName, Section);
    RemoveKey(Lines, FString(Key));
    for (const FString& Value : Values)
    {
        Lines.Add(FConfigLine{FString(Key), Value});
    }
}
