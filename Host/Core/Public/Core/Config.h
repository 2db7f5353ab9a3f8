#pragma once

#include <mutex>

#include "Core/Array.h"
#include "Core/String.h"

struct FConfigStore;

/**
 * Ini files held in memory by name. Section and key lookups ignore letter case. A key may repeat; the plain
 * getters read its last line, GetArray reads every line. Thread-safe.
 *
 * Text form: "[Section Name]" headers, "Key=Value" or "+Key=Value" lines (both add a line), "-Key=Value"
 * (removes the latest earlier line with exactly that value), "!Key" (removes every earlier line of the key),
 * ';' and '#' comments. Blanks around keys and values are trimmed and a double-quoted value loses its quotes.
 * Malformed lines are skipped, and so are the lines under a malformed header.
 */
class FConfigCacheIni
{
public:
    constexpr FConfigCacheIni() = default;
    ~FConfigCacheIni();
    FConfigCacheIni(const FConfigCacheIni&) = delete;
    FConfigCacheIni& operator=(const FConfigCacheIni&) = delete;

    /** Replaces the ini's content with the file's; false (and nothing changed) when it cannot be read. */
    bool LoadFile(const FString& IniName, const FString& Path);
    /** Replaces the ini's content. Malformed lines are skipped. */
    void LoadFromString(const FString& IniName, const FString& Text);
    void Empty(const FString& IniName);

    bool GetString(const char* Section, const char* Key, FString& Out, const FString& IniName) const;
    /** True/False, Yes/No, On/Off, 1/0 in any case; any other value counts as missing. */
    bool GetBool(const char* Section, const char* Key, bool& Out, const FString& IniName) const;
    /** A whole decimal number within range; anything else counts as missing. */
    bool GetInt(const char* Section, const char* Key, int32& Out, const FString& IniName) const;
    bool GetFloat(const char* Section, const char* Key, float& Out, const FString& IniName) const;
    bool GetDouble(const char* Section, const char* Key, double& Out, const FString& IniName) const;
    /** Every value of the key in file order; Out is replaced. Returns the count. */
    int32 GetArray(const char* Section, const char* Key, TArray<FString>& Out, const FString& IniName) const;

    /** Section names in file order. */
    void GetSectionNames(const FString& IniName, TArray<FString>& Out) const;
    /** The section's lines as "Key=Value" in file order; false when the section is missing. */
    bool GetSection(const char* Section, TArray<FString>& Out, const FString& IniName) const;
    bool DoesSectionExist(const char* Section, const FString& IniName) const;

    /** Replaces every line of the key with one line, creating the ini and section as needed. */
    void SetString(const char* Section, const char* Key, const char* Value, const FString& IniName);
    void SetBool(const char* Section, const char* Key, bool Value, const FString& IniName);
    /** Replaces every line of the key with one line per value. */
    void SetArray(const char* Section, const char* Key, const TArray<FString>& Values,
                  const FString& IniName);

private:
    FConfigStore& Store() const;

    mutable std::mutex Mutex;
    /** Owned; created on first use so that the global instance needs no dynamic initialisation. */
    mutable FConfigStore* StorePtr = nullptr;
};

/** The process-wide ini cache; valid from the start of the program. */
extern FConfigCacheIni* GConfig;
/** Name of the engine ini in GConfig. */
extern FString GEngineIni;
