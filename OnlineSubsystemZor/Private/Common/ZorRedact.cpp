#include "Common/ZorRedact.h"

#include <algorithm>
#include <bitset>
#include <cctype>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

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

bool IsKeySeparator(char Char)
{
    return Char == '_' || Char == '-';
}

/** The length of the key written at Position when it spells Key, ignoring letter case and separators between
 * its letters; 0 when it does not. */
int32 KeyAt(const FString& Text, int32 Position, const char* Key)
{
    int32 End = Position;
    for (int32 Index = 0; Key[Index]; ++Index, ++End)
    {
        if (Index > 0 && End < Text.Len() && IsKeySeparator(Text[End]))
        {
            ++End;
        }
        if (End >= Text.Len() || std::tolower(static_cast<unsigned char>(Text[End])) != Key[Index])
        {
            return 0;
        }
    }
    return End - Position;
}

int32 SkipBlanks(const FString& Text, int32 Position)
{
    while (Position < Text.Len() && std::isspace(static_cast<unsigned char>(Text[Position])))
    {
        ++Position;
    }
    return Position;
}

/** Where a form value of Key starts when Key begins at Position (start or after '&'), else -1. */
int32 FormValueStart(const FString& Text, int32 Position, int32 KeyLen)
{
    const bool bKeyStart = Position == 0 || Text[Position - 1] == '&';
    const int32 After = Position + KeyLen;
    return bKeyStart && After < Text.Len() && Text[After] == '=' ? After + 1 : -1;
}

/** Where the JSON value of "Key" starts, of whatever type, when Key begins at Position just after a quote,
 * else -1. */
int32 JsonValueStart(const FString& Text, int32 Position, int32 KeyLen)
{
    int32 After = Position + KeyLen;
    if (Position == 0 || Text[Position - 1] != '"' || After >= Text.Len() || Text[After] != '"')
    {
        return -1;
    }
    After = SkipBlanks(Text, After + 1);
    if (After >= Text.Len() || Text[After] != ':')
    {
        return -1;
    }
    After = SkipBlanks(Text, After + 1);
    return After < Text.Len() ? After : -1;
}

int32 FormValueEnd(const FString& Text, int32 Start)
{
    while (Start < Text.Len() && Text[Start] != '&')
    {
        ++Start;
    }
    return Start;
}

/** The end of the JSON string whose text starts at Start, just after its opening quote. */
int32 JsonStringEnd(const FString& Text, int32 Start)
{
    while (Start < Text.Len() && Text[Start] != '"')
    {
        Start += Text[Start] == '\\' ? 2 : 1;
    }
    return Start < Text.Len() ? Start : Text.Len();
}

/** The end of the JSON array, object, number or literal at Start: where its nesting closes or, at the top,
 * the next ',', '}' or ']'. Strings inside are skipped whole, so their brackets do not count. */
int32 JsonOtherValueEnd(const FString& Text, int32 Start)
{
    int32 Depth = 0;
    for (int32 Position = Start; Position < Text.Len(); ++Position)
    {
        const char Char = Text[Position];
        if (Char == '"')
        {
            Position = JsonStringEnd(Text, Position + 1);
        }
        else if (Char == '[' || Char == '{')
        {
            ++Depth;
        }
        else if ((Char == ']' || Char == '}') && Depth > 0)
        {
            if (--Depth == 0)
            {
                return Position + 1;
            }
        }
        else if (Depth == 0 && (Char == ',' || Char == ']' || Char == '}'))
        {
            return Position;
        }
    }
    return Text.Len();
}

/** The masked value and the end of the original one when a secret key's value starts at Position. */
bool MaskValueAt(const FString& Text, int32 Position, FString& Out, int32& OutEnd)
{
    for (const char* Key : SecretKeys)
    {
        const int32 KeyLen = KeyAt(Text, Position, Key);
        if (KeyLen == 0)
        {
            continue;
        }
        if (const int32 Start = FormValueStart(Text, Position, KeyLen); Start >= 0)
        {
            OutEnd = FormValueEnd(Text, Start);
            Out += Text.Mid(Position, Start - Position) + ZorRedact::Secret(Text.Mid(Start, OutEnd - Start));
            return true;
        }
        const int32 Start = JsonValueStart(Text, Position, KeyLen);
        if (Start >= 0 && Text[Start] == '"')
        {
            OutEnd = JsonStringEnd(Text, Start + 1);
            Out += Text.Mid(Position, Start + 1 - Position) +
                   ZorRedact::Secret(Text.Mid(Start + 1, OutEnd - Start - 1));
            return true;
        }
        if (Start >= 0)
        {
            // An array, object or number shows no prefix: its first characters may be all of a short secret.
            OutEnd = JsonOtherValueEnd(Text, Start);
            Out += Text.Mid(Position, Start - Position) + "\"<redacted>\"";
            return true;
        }
    }
    return false;
}

/** The value of Count hex digits at Position; -1 when they are not all there. */
int32 HexAt(std::string_view Text, size_t Position, size_t Count)
{
    int32 Value = Position + Count <= Text.size() ? 0 : -1;
    for (size_t Index = Position; Index < Position + Count && Value >= 0; ++Index)
    {
        const char Lower = static_cast<char>(Text[Index] | 0x20);
        const bool bDigit = Text[Index] >= '0' && Text[Index] <= '9';
        const bool bLetter = Lower >= 'a' && Lower <= 'f';
        Value = bDigit || bLetter ? Value * 16 + (bDigit ? Text[Index] - '0' : Lower - 'a' + 10) : -1;
    }
    return Value;
}

/** A form writes a blank as '+' and a path keeps '+' as it is, so the two read alike everywhere. */
char Folded(char Byte)
{
    return Byte == '+' ? ' ' : Byte;
}

/** A "\u" escape at Position, a surrogate pair taken whole: the characters it takes, 0 when it is none. */
size_t ReadUnicodeEscape(std::string_view Text, size_t Position, char*& Out)
{
    const int32 Code = HexAt(Text, Position + 2, 4);
    const bool bHigh = Code >= 0xD800 && Code <= 0xDBFF;
    const int32 Low = bHigh && Text.substr(Position + 6, 2) == "\\u" ? HexAt(Text, Position + 8, 4) : -1;
    if (Code < 0 || (Code >= 0xD800 && Code <= 0xDFFF && (!bHigh || Low < 0xDC00 || Low > 0xDFFF)))
    {
        return 0;
    }
    const uint32 CodePoint = bHigh ? 0x10000 + ((Code - 0xD800) << 10) + (Low - 0xDC00) : Code;
    static constexpr uint8 Leads[] = {0, 0xC0, 0xE0, 0xF0};
    const int32 Trailing = CodePoint < 0x80 ? 0 : CodePoint < 0x800 ? 1 : CodePoint < 0x10000 ? 2 : 3;
    *Out++ = static_cast<char>(Leads[Trailing] | (CodePoint >> (6 * Trailing)));
    for (int32 Shift = 6 * (Trailing - 1); Shift >= 0; Shift -= 6)
    {
        *Out++ = static_cast<char>(0x80 | ((CodePoint >> Shift) & 0x3F));
    }
    return bHigh ? 12 : 6;
}

/**
 * The escape at Position, just at its '%' or backslash: a percent escape in either hex case or a JSON escape.
 * Writes the bytes it stands for and returns the characters it takes, 0 when it is none. A backslash before
 * a character that starts no JSON escape reads as that character, as lenient readers take it: then a secret
 * that holds one reads as its echo does once the echo escaped the character after it.
 */
size_t ReadEscape(std::string_view Text, size_t Position, char*& Out)
{
    const int32 Byte = Text[Position] == '%' ? HexAt(Text, Position + 1, 2) : -1;
    if (Text[Position] == '%' || Position + 1 == Text.size())
    {
        *Out = Folded(static_cast<char>(Byte));
        Out += Byte >= 0 ? 1 : 0;
        return Byte >= 0 ? 3 : 0;
    }
    // Each letter of a one-character JSON escape, then what it stands for.
    static constexpr char Named[] = "b\bf\fn\nr\rt\t";
    const char Next = Text[Position + 1];
    const char* Found = Next >= 'b' && Next <= 't' ? std::strchr(Named, Next) : nullptr;
    const size_t Taken = Next == 'u' ? ReadUnicodeEscape(Text, Position, Out) : 0;
    if (Taken > 0)
    {
        return Taken;
    }
    *Out++ = Folded(Found && (Found - Named) % 2 == 0 ? Found[1] : Next);
    return 2;
}

/** An escape read as one unit: the bytes it gives in a reading, the characters it took in the text read. */
struct FUnit
{
    uint32 Begin;
    uint32 End;
    uint32 ReadBegin;
    uint32 ReadEnd;
};

/**
 * Text as the one decoder reads it, '+' read as a blank, and the units read in it; a byte outside them is the
 * text read's own. The text itself is reading 0. An echo with no unit in it stood the same in the reading
 * before, so only the windows around units are searched.
 */
struct FReading
{
    std::string Bytes;
    std::vector<FUnit> Units;
    std::vector<std::pair<size_t, size_t>> Windows;

    /** Where in the text read the unit behind byte Position begins, and where it ends. */
    std::pair<size_t, size_t> Read(size_t Position) const
    {
        const auto After = std::upper_bound(Units.begin(), Units.end(), Position,
                                            [](size_t Byte, const FUnit& Unit) { return Byte < Unit.Begin; });
        const FUnit Before = After == Units.begin() ? FUnit{0, 0, 0, 0} : *(After - 1);
        const size_t Raw = Position - Before.End + Before.ReadEnd;
        return Position < Before.End ? std::pair<size_t, size_t>(Before.ReadBegin, Before.ReadEnd)
                                     : std::pair(Raw, Raw + 1);
    }
};

FReading RawReading(std::string_view Text)
{
    FReading Out{std::string(Text), {}, {{0, Text.size()}}};
    for (char* Plus = Out.Bytes.data();
         (Plus = static_cast<char*>(std::memchr(Plus, '+', Out.Bytes.data() + Out.Bytes.size() - Plus)));)
    {
        *Plus = ' ';
    }
    return Out;
}

/** In read once more, with a window Reach bytes wide around each unit read; false when none was. */
bool Decoded(const std::string& In, size_t Reach, FReading& Out)
{
    // No unit gives more bytes than it takes characters, and each takes two at least.
    Out.Bytes.resize(In.size());
    Out.Units.reserve(In.size() / 2);
    char* const Start = Out.Bytes.data();
    char* Write = Start;
    for (size_t Position = 0; Position < In.size();)
    {
        const size_t Begin = Write - Start;
        const bool bEscape = In[Position] == '%' || In[Position] == '\\';
        const size_t Taken = bEscape ? ReadEscape(In, Position, Write) : 0;
        if (bEscape && Taken == 0)
        {
            *Write++ = In[Position++];
            continue;
        }
        if (Taken == 0)
        {
            // A NUL of the text ends the run as an escape character does; it is then taken raw.
            const size_t Run = std::max<size_t>(std::strcspn(In.c_str() + Position, "%\\"), 1);
            Write = std::copy_n(In.begin() + Position, Run, Write);
            Position += Run;
            continue;
        }
        Position += Taken;
        const size_t End = Write - Start;
        Out.Units.push_back({static_cast<uint32>(Begin), static_cast<uint32>(End),
                             static_cast<uint32>(Position - Taken), static_cast<uint32>(Position)});
        if (Out.Windows.empty() || Begin > Out.Windows.back().second + Reach)
        {
            Out.Windows.emplace_back(Begin > Reach ? Begin - Reach : 0, 0);
        }
        Out.Windows.back().second = End + Reach;
    }
    Out.Bytes.resize(Write - Start);
    return !Out.Units.empty();
}

/** An echo with a raw backslash before an escaped character reads whole after two decodings (the first
 * pairs the backslashes), and a refusal's JSON wraps it once more. */
constexpr int32 MostDecodings = 3;
/** The most characters one unit takes: a surrogate pair written as two JSON escapes. */
constexpr size_t LongestUnit = 12;

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
          Tails(Form.size() + 1, 0)
    {
        for (size_t Index = 1, Length = 0; Index < Reversed.size(); ++Index)
        {
            while (Length > 0 && Reversed[Index] != Reversed[Length])
            {
                Length = Border[Length - 1];
            }
            Length += Reversed[Index] == Reversed[Length] ? 1 : 0;
            Border[Index] = Length;
        }
        for (const char Byte : Form)
        {
            Holds.set(static_cast<uint8>(Byte));
        }
        for (size_t Length = 1; Length < Tails.size(); ++Length)
        {
            const size_t Skipped = Reversed.size() - Length;
            Tails[Length] = (Skipped < LongestUnit ? 1u << Skipped : 0u) | Tails[Border[Length - 1]];
        }
    }

    std::string Reversed;
    int32 Secret;
    std::vector<size_t> Border;
    std::vector<uint16> Tails;
    std::bitset<256> Holds;
};

/** The echoes found in a text: at each position, the furthest end of one beginning there and its secret. */
class FEchoes
{
public:
    FEchoes(std::string_view InText, const TArray<FString>& InSecrets) : Text(InText), Secrets(InSecrets)
    {
        for (int32 Index = 0; Index < Secrets.Num(); ++Index)
        {
            FReading Read;
            FReading Raw = RawReading(Secrets[Index].View());
            for (const std::string* Form : {&Raw.Bytes, Decoded(Raw.Bytes, 0, Read) ? &Read.Bytes : nullptr})
            {
                if (Form != nullptr && !Form->empty())
                {
                    Reach = std::max(Reach, Form->size() + LongestUnit);
                    Patterns.emplace_back(*Form, Index);
                }
            }
        }
    }

    /** Searches the text raw, then each time decoded once more while escapes are read in it. */
    void Find()
    {
        Readings.push_back(RawReading(Text));
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
        int32 Kept = 0;
        for (int32 Position = 0; Position < static_cast<int32>(Ends.size()); ++Position)
        {
            if (Ends[Position].End < 0)
            {
                continue;
            }
            int32 End = Ends[Position].End;
            for (int32 Inside = Position + 1; Inside < End; ++Inside)
            {
                End = std::max(End, Ends[Inside].End);
            }
            Out.AppendChars(Text.data() + Kept, Position - Kept);
            Out += ZorRedact::Secret(Secrets[Ends[Position].Secret]);
            Kept = End;
            Position = End - 1;
        }
        Out.AppendChars(Text.data() + Kept, static_cast<int32>(Text.size()) - Kept);
        return Out;
    }

private:
    struct FEcho
    {
        int32 End = -1;
        int32 Secret = -1;
    };

    void Search(int32 Level, const FPattern& Pattern)
    {
        const FReading& Reading = Readings[Level];
        const char* const Bytes = Reading.Bytes.data();
        const std::string& Reversed = Pattern.Reversed;
        size_t Units = Reading.Units.size();
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
                while (Units > 0 && Reading.Units[Units - 1].End > Position)
                {
                    --Units;
                }
                if (Units > 0 && Reading.Units[Units - 1].End == Position)
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
        for (size_t Skipped = 1; Skipped < Unit.ReadEnd - Unit.ReadBegin; ++Skipped)
        {
            if ((Tails >> Skipped & 1) != 0 &&
                std::equal(Above + Unit.ReadEnd - Skipped, Above + Unit.ReadEnd, Pattern.Reversed.rbegin()))
            {
                Add(InText(Level - 1, Unit.ReadEnd - Skipped, false),
                    InText(Level, Position + Pattern.Reversed.size() - Skipped - 1, true), Pattern.Secret);
            }
        }
    }

    /** Where in the text the unit behind byte Position of reading Level begins, or ends when bEnd. */
    int32 InText(int32 Level, size_t Position, bool bEnd) const
    {
        for (; Level > 0; --Level)
        {
            const auto [Begin, End] = Readings[Level].Read(Position);
            Position = bEnd ? End - 1 : Begin;
        }
        return static_cast<int32>(Position + (bEnd ? 1 : 0));
    }

    void Add(int32 Begin, int32 End, int32 Secret)
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
    // and raw characters: each reading of the text is searched for each secret raw and decoded.
    FEchoes Echoes(Text.View(), Secrets);
    Echoes.Find();
    return Echoes.Masked();
}

TArray<FString> ZorRedact::Credentials(const FString& Authorization)
{
    FString Scheme;
    FString Credential;
    if (!Authorization.TrimStartAndEnd().Split(" ", &Scheme, &Credential) || Credential.IsEmpty())
    {
        return Authorization.IsEmpty() ? TArray<FString>() : TArray<FString>{Authorization};
    }
    Credential = Credential.TrimStartAndEnd();
    TArray<FString> Out = {Credential};
    FString Decoded;
    FString Secret;
    if (Scheme.Equals("basic", ESearchCase::IgnoreCase) && FBase64::Decode(Credential, Decoded) &&
        Decoded.Split(":", nullptr, &Secret))
    {
        // The decoded "id:secret" and the secret alone: an echo may show either.
        Out.Add(Decoded);
        Out.Add(Secret);
    }
    return Out;
}

FString ZorRedact::Body(const FString& Body)
{
    FString Masked;
    for (int32 Position = 0; Position < Body.Len() && Masked.Len() <= MaxLoggedBody;)
    {
        int32 End = Position;
        if (MaskValueAt(Body, Position, Masked, End))
        {
            Position = End;
            continue;
        }
        Masked.AppendChar(Body[Position]);
        ++Position;
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
