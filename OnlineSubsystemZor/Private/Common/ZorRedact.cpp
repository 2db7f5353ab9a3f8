#include "Common/ZorRedact.h"

#include <algorithm>
#include <cctype>
#include <set>
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
/** One way an echo may have written part of a secret: the text it takes and the bytes it stands for. */
struct FEchoReading
{
    int32 Length = 0;
    char Bytes[4] = {};
    int32 NumBytes = 0;
};

int32 HexDigit(char Char)
{
    if (Char >= '0' && Char <= '9')
    {
        return Char - '0';
    }
    const char Lower = static_cast<char>(std::tolower(static_cast<unsigned char>(Char)));
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

FEchoReading Reading(int32 Length, std::initializer_list<uint32> Bytes)
{
    FEchoReading Out;
    Out.Length = Length;
    for (const uint32 Byte : Bytes)
    {
        Out.Bytes[Out.NumBytes++] = static_cast<char>(Byte);
    }
    return Out;
}

FEchoReading Utf8Reading(int32 Length, uint32 CodePoint)
{
    if (CodePoint < 0x80)
    {
        return Reading(Length, {CodePoint});
    }
    if (CodePoint < 0x800)
    {
        return Reading(Length, {0xC0 | (CodePoint >> 6), 0x80 | (CodePoint & 0x3F)});
    }
    if (CodePoint < 0x10000)
    {
        return Reading(
            Length, {0xE0 | (CodePoint >> 12), 0x80 | ((CodePoint >> 6) & 0x3F), 0x80 | (CodePoint & 0x3F)});
    }
    return Reading(Length, {0xF0 | (CodePoint >> 18), 0x80 | ((CodePoint >> 12) & 0x3F),
                            0x80 | ((CodePoint >> 6) & 0x3F), 0x80 | (CodePoint & 0x3F)});
}

/** A JSON "\u" escape at Position, a surrogate pair taken whole; none (Length 0) when there is none. */
FEchoReading UnicodeEscapeReading(std::string_view Text, size_t Position)
{
    const int32 Unit = HexAt(Text, Position + 2, 4);
    if (Unit < 0)
    {
        return FEchoReading();
    }
    if (Unit < 0xD800 || Unit > 0xDFFF)
    {
        return Utf8Reading(6, static_cast<uint32>(Unit));
    }
    const int32 Low = Text.substr(Position + 6, 2) == "\\u" ? HexAt(Text, Position + 8, 4) : -1;
    if (Unit > 0xDBFF || Low < 0xDC00 || Low > 0xDFFF)
    {
        return FEchoReading();
    }
    return Utf8Reading(12, 0x10000 + ((static_cast<uint32>(Unit) - 0xD800) << 10) + (Low - 0xDC00));
}

/** A JSON escape at Position (just at its backslash); none (Length 0) when there is none. */
FEchoReading JsonEscapeReading(std::string_view Text, size_t Position)
{
    if (Position + 1 >= Text.size())
    {
        return FEchoReading();
    }
    switch (Text[Position + 1])
    {
    case '"':
    case '\\':
    case '/':
        return Reading(2, {static_cast<uint8>(Text[Position + 1])});
    case 'b':
        return Reading(2, {'\b'});
    case 'f':
        return Reading(2, {'\f'});
    case 'n':
        return Reading(2, {'\n'});
    case 'r':
        return Reading(2, {'\r'});
    case 't':
        return Reading(2, {'\t'});
    case 'u':
        return UnicodeEscapeReading(Text, Position);
    default:
        return FEchoReading();
    }
}

/** The ways the text at Position may stand for secret bytes: itself, and the one decoding its first character
 * starts (a blank written '+', a percent escape, a JSON escape). Returns how many. */
int32 Readings(std::string_view Text, size_t Position, FEchoReading (&Out)[2])
{
    const char Char = Text[Position];
    Out[0] = Reading(1, {static_cast<uint8>(Char)});
    FEchoReading Decoded;
    if (Char == '+')
    {
        Decoded = Reading(1, {' '});
    }
    else if (const int32 Byte = Char == '%' ? HexAt(Text, Position + 1, 2) : -1; Byte >= 0)
    {
        Decoded = Reading(3, {static_cast<uint32>(Byte)});
    }
    else if (Char == '\\')
    {
        Decoded = JsonEscapeReading(Text, Position);
    }
    Out[1] = Decoded;
    return Decoded.Length > 0 ? 2 : 1;
}

/** The readings at Position that stand for the secret's next bytes; returns how many. */
int32 MatchingReadings(std::string_view Text, size_t Position, std::string_view Rest, FEchoReading (&Out)[2])
{
    FEchoReading Options[2];
    const int32 Count = Readings(Text, Position, Options);
    int32 Matching = 0;
    for (int32 Index = 0; Index < Count; ++Index)
    {
        const FEchoReading& Option = Options[Index];
        if (Rest.substr(0, Option.NumBytes) == std::string_view(Option.Bytes, Option.NumBytes))
        {
            Out[Matching++] = Option;
        }
    }
    return Matching;
}

/** EchoEnd past a place where two readings fit: each (text, secret) position is tried once, so a hostile text
 * cannot make the search explode. */
int32 BranchingEchoEnd(std::string_view Text, size_t Start, size_t StartMatched, std::string_view Secret)
{
    std::vector<std::pair<size_t, size_t>> Pending{{Start, StartMatched}};
    std::set<std::pair<size_t, size_t>> Tried;
    while (!Pending.empty())
    {
        const auto [Position, Matched] = Pending.back();
        Pending.pop_back();
        if (Matched == Secret.size())
        {
            return static_cast<int32>(Position);
        }
        if (Position >= Text.size() || !Tried.insert({Position, Matched}).second)
        {
            continue;
        }
        FEchoReading Options[2];
        const int32 Count = MatchingReadings(Text, Position, Secret.substr(Matched), Options);
        for (int32 Index = 0; Index < Count; ++Index)
        {
            Pending.push_back({Position + Options[Index].Length, Matched + Options[Index].NumBytes});
        }
    }
    return -1;
}

/**
 * Where an echo of Secret that starts at Start ends, written in any mix of the forms a wire or a service may
 * give it (raw, percent-encoded with either blank, JSON-escaped); -1 when none starts there. Followed as one
 * path until two readings fit.
 */
int32 EchoEnd(std::string_view Text, size_t Start, std::string_view Secret)
{
    size_t Position = Start;
    size_t Matched = 0;
    while (Matched < Secret.size())
    {
        FEchoReading Options[2];
        const int32 Count =
            Position < Text.size() ? MatchingReadings(Text, Position, Secret.substr(Matched), Options) : 0;
        if (Count != 1)
        {
            return Count == 0 ? -1 : BranchingEchoEnd(Text, Position, Matched, Secret);
        }
        Position += Options[0].Length;
        Matched += Options[0].NumBytes;
    }
    return static_cast<int32>(Position);
}

/** Whether Char can begin an echo of a secret that begins with First. */
bool MayStartEcho(char Char, char First)
{
    return Char == First || Char == '+' || Char == '%' || Char == '\\';
}
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
    // The longest first, so a secret that holds another ("id:secret") is masked whole.
    TArray<FString> Sorted;
    for (const FString& Value : Secrets)
    {
        if (!Value.IsEmpty())
        {
            Sorted.Add(Value);
        }
    }
    std::sort(Sorted.begin(), Sorted.end(),
              [](const FString& A, const FString& B) { return A.Len() > B.Len(); });
    const std::string_view View = Text.View();
    FString Masked;
    size_t Kept = 0;
    for (size_t Position = 0; Position < View.size(); ++Position)
    {
        for (const FString& Value : Sorted)
        {
            const int32 End =
                MayStartEcho(View[Position], Value[0]) ? EchoEnd(View, Position, Value.View()) : -1;
            if (End >= 0)
            {
                Masked.AppendChars(View.data() + Kept, static_cast<int32>(Position - Kept));
                Masked += Secret(Value);
                Kept = static_cast<size_t>(End);
                Position = Kept - 1;
                break;
            }
        }
    }
    Masked.AppendChars(View.data() + Kept, static_cast<int32>(View.size() - Kept));
    return Masked;
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
