#include "Common/ZorRedact.h"

#include <algorithm>
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

int32 HexDigit(char Char)
{
    if (Char >= '0' && Char <= '9')
    {
        return Char - '0';
    }
    const char Lower = static_cast<char>(Char | 0x20);
    return Lower >= 'a' && Lower <= 'f' ? Lower - 'a' + 10 : -1;
}

/** The value of Count hex digits at Position; -1 when they are not all there. */
int32 HexAt(std::string_view Text, size_t Position, int32 Count)
{
    if (Position + Count > Text.size())
    {
        return -1;
    }
    int32 Value = 0;
    for (int32 Index = 0; Index < Count; ++Index)
    {
        const int32 Digit = HexDigit(Text[Position + Index]);
        if (Digit < 0)
        {
            return -1;
        }
        Value = Value * 16 + Digit;
    }
    return Value;
}

/** A form writes a blank as '+' and a path keeps '+' as it is, so the two read alike everywhere. */
char Folded(char Byte)
{
    return Byte == '+' ? ' ' : Byte;
}

void AppendUtf8(std::string& Out, uint32 CodePoint)
{
    if (CodePoint < 0x80)
    {
        Out += static_cast<char>(CodePoint);
        return;
    }
    static constexpr uint8 Leads[] = {0, 0xC0, 0xE0, 0xF0};
    const int32 Trailing = CodePoint < 0x800 ? 1 : CodePoint < 0x10000 ? 2 : 3;
    Out += static_cast<char>(Leads[Trailing] | (CodePoint >> (6 * Trailing)));
    for (int32 Shift = 6 * (Trailing - 1); Shift >= 0; Shift -= 6)
    {
        Out += static_cast<char>(0x80 | ((CodePoint >> Shift) & 0x3F));
    }
}

/** A "\u" escape at Position, a surrogate pair taken whole; the characters it takes, 0 when it is none. */
size_t ReadUnicodeEscape(std::string_view Text, size_t Position, std::string& Out)
{
    const int32 Code = HexAt(Text, Position + 2, 4);
    if (Code < 0xD800 || Code > 0xDFFF)
    {
        if (Code >= 0)
        {
            AppendUtf8(Out, static_cast<uint32>(Code));
        }
        return Code >= 0 ? 6 : 0;
    }
    const int32 Low = Text.substr(Position + 6, 2) == "\\u" ? HexAt(Text, Position + 8, 4) : -1;
    if (Code > 0xDBFF || Low < 0xDC00 || Low > 0xDFFF)
    {
        return 0;
    }
    AppendUtf8(Out, 0x10000 + ((static_cast<uint32>(Code) - 0xD800) << 10) + (Low - 0xDC00));
    return 12;
}

/**
 * The escape at Position, a percent escape in either hex case or a JSON escape: appends the bytes it stands
 * for and returns the characters it takes, 0 when none starts there. A backslash before a character that
 * starts no JSON escape reads as that character, as lenient writers and readers take it; so a secret that
 * holds one reads as its echo does once the echo escaped the character after it.
 */
size_t ReadEscape(std::string_view Text, size_t Position, std::string& Out)
{
    if (Text[Position] == '%')
    {
        const int32 Byte = HexAt(Text, Position + 1, 2);
        if (Byte < 0)
        {
            return 0;
        }
        Out += Folded(static_cast<char>(Byte));
        return 3;
    }
    if (Text[Position] != '\\' || Position + 1 >= Text.size())
    {
        return 0;
    }
    static constexpr std::string_view Named = "b\bf\fn\nr\rt\t";
    const char Next = Text[Position + 1];
    const size_t Found = Named.find(Next);
    if (Next == 'u')
    {
        if (const size_t Taken = ReadUnicodeEscape(Text, Position, Out); Taken > 0)
        {
            return Taken;
        }
    }
    Out += Folded(Found != std::string_view::npos && Found % 2 == 0 ? Named[Found + 1] : Next);
    return 2;
}

/** An escape read as one unit: the bytes it gives in a reading, and the characters it took in the text read.
 */
struct FUnit
{
    size_t Begin;
    size_t End;
    size_t ReadBegin;
    size_t ReadEnd;
};

/**
 * Text as the one decoder reads it, '+' read as a blank, with the units read in it; a byte outside them is
 * the text read's own. The text itself is reading 0, read with no escapes. An echo that stands in a reading
 * with no unit in it stood the same in the reading before, so only the windows around units are searched.
 */
struct FReading
{
    std::string Bytes;
    std::vector<FUnit> Units;
    std::vector<std::pair<size_t, size_t>> Windows;

    /** Where in the text read the unit behind byte Position begins and where it ends. */
    std::pair<size_t, size_t> Read(size_t Position) const
    {
        const auto After = std::upper_bound(Units.begin(), Units.end(), Position,
                                            [](size_t Byte, const FUnit& Unit) { return Byte < Unit.Begin; });
        if (After == Units.begin())
        {
            return {Position, Position + 1};
        }
        const FUnit& Unit = *(After - 1);
        const size_t Raw = Position - Unit.End + Unit.ReadEnd;
        return Position < Unit.End ? std::pair(Unit.ReadBegin, Unit.ReadEnd) : std::pair(Raw, Raw + 1);
    }
};

FReading RawReading(std::string_view Text)
{
    FReading Out;
    Out.Bytes.resize(Text.size());
    std::transform(Text.begin(), Text.end(), Out.Bytes.begin(), [](char Byte) { return Folded(Byte); });
    Out.Windows = {{0, Text.size()}};
    return Out;
}

/** In read once more, with a window Reach bytes wide around each unit read; false when none was. */
bool Decoded(const std::string& In, size_t Reach, FReading& Out)
{
    // Each unit takes two characters at least.
    Out.Bytes.reserve(In.size());
    Out.Units.reserve(In.size() / 2);
    for (size_t Position = 0; Position < In.size();)
    {
        // The text's own NUL ends the run as an escape character would; it is then taken raw.
        if (In[Position] != '%' && In[Position] != '\\')
        {
            const size_t Run = std::max<size_t>(std::strcspn(In.c_str() + Position, "%\\"), 1);
            Out.Bytes.append(In, Position, Run);
            Position += Run;
            continue;
        }
        const size_t Begin = Out.Bytes.size();
        const size_t Taken = ReadEscape(In, Position, Out.Bytes);
        if (Taken == 0)
        {
            Out.Bytes += In[Position++];
            continue;
        }
        const size_t Run = Position;
        Position += Taken;
        Out.Units.push_back({Begin, Out.Bytes.size(), Run, Position});
        const size_t Lo = Begin > Reach ? Begin - Reach : 0;
        if (Out.Windows.empty() || Lo > Out.Windows.back().second)
        {
            Out.Windows.emplace_back(Lo, 0);
        }
        Out.Windows.back().second = Out.Bytes.size() + Reach;
    }
    return !Out.Units.empty();
}

/**
 * An echo written with a raw backslash before an escaped character reads whole only after two decodings (the
 * first pairs the backslashes), and a refusal's JSON body wraps it once more.
 */
constexpr int32 MostDecodings = 3;

/** The most characters one unit takes, a surrogate pair written as two JSON escapes; so an echo may begin
 * at most this many characters less one inside a unit that the text before it started. */
constexpr int32 LongestUnit = 12;

/**
 * One form of a secret, searched backwards with Knuth-Morris-Pratt, so that at each place the search knows
 * the longest end of the form that stands there. Tails[Length] has bit Skipped set when the form less its
 * first Skipped bytes stands wherever its last Length bytes do, for Skipped below LongestUnit: one look tells
 * every tail that may follow a unit, however the form repeats itself.
 */
struct FPattern
{
    FPattern(std::string InForm, int32 InSecret) : Form(std::move(InForm)), Secret(InSecret)
    {
        const std::string Reversed(Form.rbegin(), Form.rend());
        const int32 Size = static_cast<int32>(Form.size());
        Border.assign(Size, 0);
        for (int32 Index = 1, Length = 0; Index < Size; ++Index)
        {
            while (Length > 0 && Reversed[Index] != Reversed[Length])
            {
                Length = Border[Length - 1];
            }
            Length += Reversed[Index] == Reversed[Length] ? 1 : 0;
            Border[Index] = Length;
        }
        Tails.assign(Size + 1, 0);
        for (int32 Length = 1; Length <= Size; ++Length)
        {
            const int32 Skipped = Size - Length;
            Tails[Length] = (Skipped < LongestUnit ? 1u << Skipped : 0u) | Tails[Border[Length - 1]];
        }
    }

    char Back(int32 Matched) const { return Form[Form.size() - 1 - Matched]; }

    std::string Form;
    int32 Secret;
    std::vector<int32> Border;
    std::vector<uint16> Tails;
};

/** The echoes found in a text: at each position, the furthest end of one beginning there and its secret. */
class FEchoes
{
public:
    FEchoes(std::string_view InText, const TArray<FString>& InSecrets) : Text(InText), Secrets(InSecrets)
    {
        for (int32 Index = 0; Index < Secrets.Num(); ++Index)
        {
            const FReading Raw = RawReading(Secrets[Index].View());
            FReading Read;
            AddPattern(Raw.Bytes, Index);
            if (Decoded(Raw.Bytes, 0, Read))
            {
                AddPattern(Read.Bytes, Index);
            }
        }
    }

    /** Searches the text raw and decoded up to MostDecodings times, each reading only when the last held
     * escapes. */
    void Find()
    {
        Readings.push_back(RawReading(Text));
        for (int32 Level = 0; Level <= MostDecodings && !Patterns.empty(); ++Level)
        {
            for (const FPattern& Pattern : Patterns)
            {
                Search(Level, Pattern);
            }
            FReading Next;
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

    void AddPattern(std::string Form, int32 Secret)
    {
        if (Form.empty())
        {
            return;
        }
        for (const FPattern& Pattern : Patterns)
        {
            if (Pattern.Secret == Secret && Pattern.Form == Form)
            {
                return;
            }
        }
        Reach = std::max(Reach, Form.size() + LongestUnit);
        Patterns.emplace_back(std::move(Form), Secret);
    }

    void Search(int32 Level, const FPattern& Pattern)
    {
        const FReading& Reading = Readings[Level];
        const std::string& Bytes = Reading.Bytes;
        const size_t Size = Pattern.Form.size();
        size_t Units = Reading.Units.size();
        for (auto Window = Reading.Windows.rbegin(); Window != Reading.Windows.rend(); ++Window)
        {
            size_t Matched = 0;
            for (size_t Position = std::min(Window->second, Bytes.size()); Position-- > Window->first;)
            {
                // Nothing is matched until the form's last byte: skip to it.
                const void* Last = Matched > 0 ? nullptr
                                               : memrchr(&Bytes[Window->first], Pattern.Back(0),
                                                         Position + 1 - Window->first);
                if (Matched == 0 && Last == nullptr)
                {
                    break;
                }
                Position = Matched > 0 ? Position : static_cast<const char*>(Last) - Bytes.data();
                const char Byte = Bytes[Position];
                while (Matched > 0 && (Matched == Size || Byte != Pattern.Back(Matched)))
                {
                    Matched = Pattern.Border[Matched - 1];
                }
                Matched += Byte == Pattern.Back(Matched) ? 1 : 0;
                if (Matched == Size)
                {
                    Add(Begin(Level, Position), End(Level, Position + Size - 1), Pattern.Secret);
                }
                while (Units > 0 && Reading.Units[Units - 1].End > Position)
                {
                    --Units;
                }
                if (Units > 0 && Reading.Units[Units - 1].End == Position && Pattern.Tails[Matched] > 1)
                {
                    FoundTails(Level, Position, Reading.Units[Units - 1], Pattern, Pattern.Tails[Matched]);
                }
            }
        }
    }

    /**
     * The form less its first bytes stands at Position, just after Unit, for each Skipped bit of Tails. It is
     * an echo when the unit, read
     * a level up, ends with those first bytes raw: an echo may begin inside a unit that the text before it
     * started ("%" then "4fe..." read as "%4f" and "e...").
     */
    void FoundTails(int32 Level, size_t Position, const FUnit& Unit, const FPattern& Pattern, uint32 Tails)
    {
        const std::string& Above = Readings[Level - 1].Bytes;
        for (size_t Skipped = 1; Skipped < Unit.ReadEnd - Unit.ReadBegin; ++Skipped)
        {
            if ((Tails >> Skipped & 1) != 0 && Above[Unit.ReadEnd - Skipped] == Pattern.Form[0] &&
                Above.compare(Unit.ReadEnd - Skipped, Skipped, Pattern.Form, 0, Skipped) == 0)
            {
                Add(Begin(Level - 1, Unit.ReadEnd - Skipped),
                    End(Level, Position + Pattern.Form.size() - Skipped - 1), Pattern.Secret);
            }
        }
    }

    /** Where in the text the unit behind byte Position of reading Level begins. */
    int32 Begin(int32 Level, size_t Position) const
    {
        for (; Level > 0; --Level)
        {
            Position = Readings[Level].Read(Position).first;
        }
        return static_cast<int32>(Position);
    }

    /** Where in the text the unit behind byte Last of reading Level ends. */
    int32 End(int32 Level, size_t Last) const
    {
        for (; Level > 0; --Level)
        {
            Last = Readings[Level].Read(Last).second - 1;
        }
        return static_cast<int32>(Last + 1);
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
