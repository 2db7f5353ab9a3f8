#pragma once

#include "CoreMinimal.h"

/** One argument of FText::Format, held as the text it shows. */
class FFormatArgumentValue
{
public:
    FFormatArgumentValue(int32 Value) : Text(FString::FromInt(Value)) {}
    FFormatArgumentValue(int64 Value) : Text(FString::FromInt(Value)) {}
    FFormatArgumentValue(const FString& Value) : Text(Value) {}
    FFormatArgumentValue(const char* Value) : Text(Value) {}
    FFormatArgumentValue(const class FText& Value);

    const FString& ToString() const { return Text; }

private:
    FString Text;
};

using FFormatOrderedArguments = TArray<FFormatArgumentValue>;

/**
 * Text shown to players. A localizable text carries its namespace and key beside its source text; this host
 * has no translations, so it always shows the source. Formatting fills "{0}", "{1}", ... with ordered
 * arguments.
 */
class FText
{
public:
    FText() = default;

    static FText FromString(FString Source) { return FText(FString(), FString(), std::move(Source)); }
    static FText MakeLocalized(const char* Namespace, const char* Key, const char* Source)
    {
        return FText(Namespace, Key, Source);
    }
    /**
     * Replaces each "{N}" of the pattern with argument N; a placeholder without such an argument stays as
     * written. The result is not localizable itself.
     */
    static FText FormatOrdered(const FText& Pattern, const FFormatOrderedArguments& Arguments);
    template <typename... ArgTypes> static FText Format(const FText& Pattern, const ArgTypes&... Arguments)
    {
        return FormatOrdered(Pattern, FFormatOrderedArguments{FFormatArgumentValue(Arguments)...});
    }

    const FString& ToString() const { return Source; }
    bool IsEmpty() const { return Source.IsEmpty(); }
    /** Same shown text, letter case included. */
    bool EqualTo(const FText& Other) const { return Source.Equals(Other.Source, ESearchCase::CaseSensitive); }
    const FString& GetNamespace() const { return Namespace; }
    const FString& GetKey() const { return Key; }

private:
    FText(FString InNamespace, FString InKey, FString InSource)
        : Namespace(std::move(InNamespace)), Key(std::move(InKey)), Source(std::move(InSource))
    {
    }

    FString Namespace;
    FString Key;
    FString Source;
};

inline FFormatArgumentValue::FFormatArgumentValue(const FText& Value) : Text(Value.ToString()) {}

#define NSLOCTEXT(Namespace, Key, Source) FText::MakeLocalized(Namespace, Key, Source)
/** Needs LOCTEXT_NAMESPACE defined in the source file. */
#define LOCTEXT(Key, Source) NSLOCTEXT(LOCTEXT_NAMESPACE, Key, Source)
