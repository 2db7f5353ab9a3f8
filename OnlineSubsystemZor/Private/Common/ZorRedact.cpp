#include "Common/ZorRedact.h"

#include <algorithm>
#include <bitset>
#include <cctype>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "Common/ZorEscapes.h"
#include "Core/Base64.h"

#include "Subsystem/ZorLogText.h"

namespace
{
// Written without letter case or separators, so "Refresh_Token", "newPassword" and "external_auth_token" all
// match. A download's signature is a credential too: whoever holds it may fetch the file.
const char* const SecretKeys[] = {"accesstoken",  "refreshtoken",     "password", "newpassword",
                                  "clientsecret", "exchangecode",     "code",     "token",
                                  "signature",    "externalauthtoken"};
constexpr int32 ShownPrefix = 4;
constexpr int32 ShortestWithPrefix = 16;
constexpr std::string_view Blanks = " \t\n\v\f\r";
/** An echo with a raw backslash before an escaped character reads whole after two decodings (the first
 * pairs the backslashes), and a refusal's JSON wraps it once more. */
constexpr int32 MostDecodings = 3;
/** The most characters one unit takes: a surrogate pair written as two JSON escapes. */
constexpr size_t LongestUnit = 12;

/** The byte at Position; NUL past the end. */
char At(std::string_view Text, size_t Position)
{
    return Position < Text.size() ? Text[Position] : '\0';
}

/** The length of the key written at Position when it spells Key, ignoring letter case and separators between
 * its letters; 0 when it does not. */
size_t KeyAt(std::string_view Text, size_t Position, const char* Key)
{
    size_t End = Position;
    for (size_t Index = 0; Key[Index]; ++Index, ++End)
    {
        End += Index > 0 && (At(Text, End) == '_' || At(Text, End) == '-') ? 1 : 0;
        if (End >= Text.size() || std::tolower(static_cast<unsigned char>(Text[End])) != Key[Index])
        {
            return 0;
        }
    }
    return End - Position;
}

/** The end of the JSON string whose text starts at Start, just after its opening quote. */
size_t JsonStringEnd(std::string_view Text, size_t Start)
{
    while (Start < Text.size() && Text[Start] != '"')
    {
        Start += Text[Start] == '\\' ? 2 : 1;
    }
    return std::min(Start, Text.size());
}

/** The end of the JSON array, object, number or literal at Start: where its nesting closes or, at the top,
 * the next ',', '}' or ']'. Strings inside are skipped whole, so their brackets do not count. */
size_t JsonOtherValueEnd(std::string_view Text, size_t Start)
{
    int32 Depth = 0;
    for (size_t Position = Start; Position < Text.size(); ++Position)
    {
        const char Char = Text[Position];
        const bool bClose = Char == ']' || Char == '}';
        Position = Char == '"' ? JsonStringEnd(Text, Position + 1) : Position;
        Depth += Char == '[' || Char == '{' ? 1 : 0;
        if (bClose && Depth > 0 && --Depth == 0)
        {
            return Position + 1;
        }
        if (Depth == 0 && (bClose || Char == ','))
        {
            return Position;
        }
    }
    return Text.size();
}

/** The masked value and the end of the original one when the value of a secret key starts at Position: a form
 * value (key=value, at the start or after '&') or a JSON one ("key": value). */
bool MaskValueAt(std::string_view Text, size_t Position, FString& Out, size_t& OutEnd)
{
    for (const char* Key : SecretKeys)
    {
        const size_t After = Position + KeyAt(Text, Position, Key);
        if (After == Position)
        {
            continue;
        }
        const char Before = Position > 0 ? Text[Position - 1] : '&';
        const size_t Colon = Text.find_first_not_of(Blanks, After + 1);
        const bool bForm = Before == '&' && At(Text, After) == '=';
        const bool bJson = Before == '"' && At(Text, After) == '"' && At(Text, Colon) == ':';
        const size_t Start = bForm   ? After + 1
                             : bJson ? Text.find_first_not_of(Blanks, Colon + 1)
                                     : Text.npos;
        if (Start == Text.npos)
        {
            continue;
        }
        const bool bString = bJson && Text[Start] == '"';
        if (bJson && !bString)
        {
            // An array, object or number shows no prefix: its first characters may be all of a short secret.
            OutEnd = JsonOtherValueEnd(Text, Start);
            Out += FString(Text.substr(Position, Start - Position)) + "\"<redacted>\"";
            return true;
        }
        const size_t Value = Start + (bString ? 1 : 0);
        OutEnd = bString ? JsonStringEnd(Text, Value) : std::min(Text.find('&', Value), Text.size());
        Out += FString(Text.substr(Position, Value - Position)) +
               ZorRedact::Secret(FString(Text.substr(Value, OutEnd - Value)));
        return true;
    }
    return false;
}

using FUnit = ZorEscapes::FUnit;

/**
 * Text as the one decoder reads it, '+' read as a blank, and the units read in it; a byte outside them is the
 * text read's own. The text itself is reading 0. An echo with no unit in it stood the same in the reading
 * before, so only the windows around units are searched.
 */
struct FReading
{
    std::string Bytes;
    std::span<const FUnit> Units;
    std::vector<std::pair<size_t, size_t>> Windows;
    /** Where Units are kept: room for as many as the text read may hold, left unwritten until read. */
    std::unique_ptr<FUnit[]> UnitRoom;

    static FReading Raw(std::string_view Text)
    {
        FReading Out{std::string(Text), {}, {{0, Text.size()}}, nullptr};
        for (char* Plus = Out.Bytes.data();
             (Plus = static_cast<char*>(std::memchr(Plus, '+', Out.Bytes.data() + Out.Bytes.size() - Plus)));)
        {
            *Plus = ' ';
        }
        return Out;
    }

    /** Where in the text read the unit behind byte Position begins, and where it ends. */
    std::pair<size_t, size_t> Read(size_t Position) const
    {
        const auto After = std::upper_bound(Units.begin(), Units.end(), Position,
                                            [](size_t Byte, const FUnit& Unit) { return Byte < Unit.Begin; });
        const FUnit Before = After == Units.begin() ? FUnit{0, 0, 0, 0} : *(After - 1);
        const size_t Raw = Position - Before.End() + Before.ReadEnd();
        return Position < Before.End() ? std::pair<size_t, size_t>(Before.ReadBegin, Before.ReadEnd())
                                       : std::pair(Raw, Raw + 1);
    }
};

/** In read once more, with a window Reach bytes wide around each unit; false when no unit was read. */
bool Decoded(std::string_view In, size_t Reach, FReading& Out)
{
    // No unit gives more bytes than it takes characters, and each takes two at least.
    Out.Bytes.resize(In.size());
    Out.UnitRoom = std::make_unique_for_overwrite<FUnit[]>(In.size() / 2 + 1);
    const auto [Written, Units] = ZorEscapes::Decode(In, Out.Bytes.data(), Out.UnitRoom.get());
    Out.Bytes.resize(Written);
    Out.Units = {Out.UnitRoom.get(), Units};
    for (const FUnit& Unit : Out.Units)
    {
        if (Out.Windows.empty() || Unit.Begin > Out.Windows.back().second + Reach)
        {
            Out.Windows.emplace_back(Unit.Begin > Reach ? Unit.Begin - Reach : 0, 0);
        }
        Out.Windows.back().second = Unit.End() + Reach;
    }
    return !Out.Units.empty();
}

/**
 * One form of a secret, reversed for a backwards Knuth-Morris-Pratt search, which knows at each place the
 * longest end of the form that starts there. Tails[Length] has bit Skipped set when the form less its first
 * Skipped bytes starts wherever its last Length bytes do, for Skipped below LongestUnit: one look tells each
 * tail that may follow a unit, however the form repeats itself.
 */
struct FPattern
{
    FPattern(const std::string& Form, int32 InSecret)
        : Reversed(Form.rbegin(), Form.rend()), Secret(InSecret), Border(Form.size(), 0),
          Tails(Form.size() + 1)
    {
        for (size_t Index = 1, Length = 0; Index < Reversed.size(); Border[Index++] = Length)
        {
            while (Length > 0 && Reversed[Index] != Reversed[Length])
            {
                Length = Border[Length - 1];
            }
            Length += Reversed[Index] == Reversed[Length] ? 1 : 0;
        }
        for (size_t Length = 0; Length < Reversed.size(); ++Length)
        {
            const size_t Skipped = Reversed.size() - Length - 1;
            Holds.set(static_cast<uint8>(Reversed[Length]));
            Tails[Length + 1] = (Skipped < LongestUnit ? 1u << Skipped : 0u) | Tails[Border[Length]];
        }
    }

    std::string Reversed;
    int32 Secret;
    std::vector<size_t> Border;
    std::vector<uint16> Tails;
    std::bitset<256> Holds;
};

/** The echoes of the secrets in a text: at each position, the furthest end of one beginning there and its
 * secret. Each reading of the text is searched for each secret raw and decoded. */
class FEchoes
{
public:
    FEchoes(std::string_view InText, const TArray<FString>& InSecrets) : Text(InText), Secrets(InSecrets)
    {
        for (int32 Index = 0; Index < Secrets.Num(); ++Index)
        {
            FReading Raw = FReading::Raw(Secrets[Index].View());
            FReading Read;
            for (const std::string* Form : {&Raw.Bytes, Decoded(Raw.Bytes, 0, Read) ? &Read.Bytes : nullptr})
            {
                if (Form != nullptr && !Form->empty())
                {
                    Reach = std::max(Reach, Form->size() + LongestUnit);
                    Patterns.emplace_back(*Form, Index);
                }
            }
        }
        Readings.push_back(FReading::Raw(Text));
        for (int32 Level = 0; !Patterns.empty(); ++Level)
        {
            for (const FPattern& Pattern : Patterns)
            {
                Search(Level, Pattern);
            }
            // The reading before this one is no longer read: its bytes' room serves the next.
            FReading Next;
            Next.Bytes.swap(Level > 0 ? Readings[Level - 1].Bytes : Next.Bytes);
            if (Level == MostDecodings || !Decoded(Readings.back().Bytes, Reach, Next))
            {
                return;
            }
            Readings.push_back(std::move(Next));
        }
    }

    /** The text with each run of overlapping echoes replaced by the marker of the one that begins first,
     * the longest there: a secret that extends another is masked whole. */
    FString Masked() const
    {
        FString Out;
        size_t Kept = 0;
        for (size_t Position = 0; Position < Ends.size(); ++Position)
        {
            size_t End = Ends[Position].End;
            for (size_t Inside = Position + 1; Inside < End; ++Inside)
            {
                End = std::max(End, Ends[Inside].End);
            }
            if (End > 0)
            {
                Out.AppendChars(Text.data() + Kept, static_cast<int32>(Position - Kept)) +=
                    ZorRedact::Secret(Secrets[Ends[Position].Secret]);
                Kept = End;
                Position = End - 1;
            }
        }
        Out.AppendChars(Text.data() + Kept, static_cast<int32>(Text.size() - Kept));
        return Out;
    }

private:
    struct FEcho
    {
        size_t End = 0;
        int32 Secret = -1;
    };

    void Search(int32 Level, const FPattern& Pattern)
    {
        const FReading& Reading = Readings[Level];
        const char* const Bytes = Reading.Bytes.data();
        const std::string& Reversed = Pattern.Reversed;
        size_t Units = Reading.Units.size();
        size_t UnitEnd = Units > 0 ? Reading.Units[Units - 1].End() : 0;
        for (auto Window = Reading.Windows.rbegin(); Window != Reading.Windows.rend(); ++Window)
        {
            size_t Matched = 0;
            for (size_t Position = std::min(Window->second, Reading.Bytes.size());
                 Position-- > Window->first;)
            {
                // Nothing matches before the form's last byte: skip to it.
                const void* Last =
                    Matched > 0 ? Bytes + Position
                                : memrchr(Bytes + Window->first, Reversed[0], Position + 1 - Window->first);
                if (Last == nullptr)
                {
                    break;
                }
                Position = static_cast<const char*>(Last) - Bytes;
                // A byte the form does not hold ends every match at once.
                Matched = Pattern.Holds[static_cast<uint8>(Bytes[Position])] ? Matched : 0;
                while (Matched > 0 && (Matched == Reversed.size() || Bytes[Position] != Reversed[Matched]))
                {
                    Matched = Pattern.Border[Matched - 1];
                }
                Matched += Bytes[Position] == Reversed[Matched] ? 1 : 0;
                if (Matched == Reversed.size())
                {
                    Add(InText(Level, Position, false), InText(Level, Position + Matched - 1, true),
                        Pattern.Secret);
                }
                if (Pattern.Tails[Matched] <= 1)
                {
                    continue;
                }
                // The last unit that ends at or before Position: the search only walks back.
                while (UnitEnd > Position)
                {
                    --Units;
                    UnitEnd = Units > 0 ? Reading.Units[Units - 1].End() : 0;
                }
                if (Units > 0 && UnitEnd == Position)
                {
                    FoundTails(Level, Position, Reading.Units[Units - 1], Pattern, Pattern.Tails[Matched]);
                }
            }
        }
    }

    /**
     * The form less its first Skipped bytes starts at Position, just after Unit, for each Skipped bit of
     * Tails. It is an echo when the unit, read a level up, ends with those first bytes raw: an echo may begin
     * inside a unit that the text before it started ("%" then "4fe..." read as "%4f" and "e...").
     */
    void FoundTails(int32 Level, size_t Position, const FUnit& Unit, const FPattern& Pattern, uint32 Tails)
    {
        const auto Above = Readings[Level - 1].Bytes.begin();
        for (size_t Skipped = 1; Skipped < Unit.ReadLength; ++Skipped)
        {
            if ((Tails >> Skipped & 1) != 0 && std::equal(Above + Unit.ReadEnd() - Skipped,
                                                          Above + Unit.ReadEnd(), Pattern.Reversed.rbegin()))
            {
                Add(InText(Level - 1, Unit.ReadEnd() - Skipped, false),
                    InText(Level, Position + Pattern.Reversed.size() - Skipped - 1, true), Pattern.Secret);
            }
        }
    }

    /** Where in the text the unit behind byte Position of reading Level begins, or ends when bEnd. */
    size_t InText(int32 Level, size_t Position, bool bEnd) const
    {
        for (; Level > 0; --Level)
        {
            const auto [Begin, End] = Readings[Level].Read(Position);
            Position = bEnd ? End - 1 : Begin;
        }
        return Position + (bEnd ? 1 : 0);
    }

    void Add(size_t Begin, size_t End, int32 Secret)
    {
        Ends.resize(Text.size());
        FEcho& Held = Ends[Begin];
        if (End > Held.End || (End == Held.End && Secrets[Secret].Len() > Secrets[Held.Secret].Len()))
        {
            Held = {End, Secret};
        }
    }

    std::string_view Text;
    const TArray<FString>& Secrets;
    std::vector<FPattern> Patterns;
    size_t Reach = 0;
    std::vector<FReading> Readings;
    std::vector<FEcho> Ends;
};
} // namespace

FString ZorRedact::Secret(const FString& Value)
{
    // A value already masked (an echo's marked secret, then its key) keeps one marker, not a prefix of it.
    static const FString Marker = "<redacted>";
    if (Value.EndsWith(Marker, ESearchCase::CaseSensitive))
    {
        return Secret(Value.LeftChop(Marker.Len()));
    }
    return (Value.Len() >= ShortestWithPrefix ? Value.Left(ShownPrefix) : FString()) + Marker;
}

FString ZorRedact::Text(const FString& Text, const TArray<FString>& Secrets)
{
    // The text and each secret are read alike by one decoder, so an echo is found however it mixes escaped
    // and raw characters.
    return FEchoes(Text.View(), Secrets).Masked();
}

TArray<FString> ZorRedact::Credentials(const FString& Authorization)
{
    FString Scheme, Credential, Decoded, Secret;
    if (!Authorization.TrimStartAndEnd().Split(" ", &Scheme, &Credential) || Credential.IsEmpty())
    {
        return Authorization.IsEmpty() ? TArray<FString>() : TArray<FString>{Authorization};
    }
    Credential = Credential.TrimStartAndEnd();
    // For Basic, the decoded "id:secret" and the secret alone as well: an echo may show either.
    if (Scheme.Equals("basic", ESearchCase::IgnoreCase) && FBase64::Decode(Credential, Decoded) &&
        Decoded.Split(":", nullptr, &Secret))
    {
        return {Credential, Decoded, Secret};
    }
    return {Credential};
}

FString ZorRedact::Body(const FString& Body)
{
    FString Masked;
    for (size_t Position = 0; Position < Body.View().size() && Masked.Len() <= MaxLoggedBody;)
    {
        size_t End = Position + 1;
        if (!MaskValueAt(Body.View(), Position, Masked, End))
        {
            Masked.AppendChar(Body[static_cast<int32>(Position)]);
        }
        Position = End;
    }
    FString Logged;
    if (FLog::AppendEscaped(Logged, Masked, MaxLoggedBody) && Masked.Len() <= MaxLoggedBody)
    {
        return Logged;
    }
    return Logged + FString::Printf("... (%d bytes)", Body.Len());
}

FString ZorLogText::Error(const FString& Text)
{
    return ZorRedact::Body(Text);
}
