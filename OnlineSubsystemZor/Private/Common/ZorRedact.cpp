#include "Common/ZorRedact.h"

#include <algorithm>
#include <cctype>
#include <numeric>
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

/** One unit of text as a decoding reads it: the characters it takes and the bytes it stands for. */
struct FUnit
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

FUnit Unit(int32 Length, std::initializer_list<uint32> Bytes)
{
    FUnit Out;
    Out.Length = Length;
    for (const uint32 Byte : Bytes)
    {
        Out.Bytes[Out.NumBytes++] = static_cast<char>(Byte);
    }
    return Out;
}

FUnit Utf8Unit(int32 Length, uint32 CodePoint)
{
    if (CodePoint < 0x80)
    {
        return Unit(Length, {CodePoint});
    }
    if (CodePoint < 0x800)
    {
        return Unit(Length, {0xC0 | (CodePoint >> 6), 0x80 | (CodePoint & 0x3F)});
    }
    if (CodePoint < 0x10000)
    {
        return Unit(Length,
                    {0xE0 | (CodePoint >> 12), 0x80 | ((CodePoint >> 6) & 0x3F), 0x80 | (CodePoint & 0x3F)});
    }
    return Unit(Length, {0xF0 | (CodePoint >> 18), 0x80 | ((CodePoint >> 12) & 0x3F),
                         0x80 | ((CodePoint >> 6) & 0x3F), 0x80 | (CodePoint & 0x3F)});
}

/** A JSON "\u" escape at Position, a surrogate pair taken whole; none (Length 0) when there is none. */
FUnit UnicodeEscapeUnit(std::string_view Text, size_t Position)
{
    const int32 Code = HexAt(Text, Position + 2, 4);
    if (Code < 0)
    {
        return FUnit();
    }
    if (Code < 0xD800 || Code > 0xDFFF)
    {
        return Utf8Unit(6, static_cast<uint32>(Code));
    }
    const int32 Low = Text.substr(Position + 6, 2) == "\\u" ? HexAt(Text, Position + 8, 4) : -1;
    if (Code > 0xDBFF || Low < 0xDC00 || Low > 0xDFFF)
    {
        return FUnit();
    }
    return Utf8Unit(12, 0x10000 + ((static_cast<uint32>(Code) - 0xD800) << 10) + (Low - 0xDC00));
}

/** A JSON escape at Position (just at its backslash); none (Length 0) when there is none. */
FUnit JsonEscapeUnit(std::string_view Text, size_t Position)
{
    if (Position + 1 >= Text.size())
    {
        return FUnit();
    }
    switch (Text[Position + 1])
    {
    case '"':
    case '\\':
    case '/':
        return Unit(2, {static_cast<uint8>(Text[Position + 1])});
    case 'b':
        return Unit(2, {'\b'});
    case 'f':
        return Unit(2, {'\f'});
    case 'n':
        return Unit(2, {'\n'});
    case 'r':
        return Unit(2, {'\r'});
    case 't':
        return Unit(2, {'\t'});
    case 'u':
        return UnicodeEscapeUnit(Text, Position);
    default:
        return FUnit();
    }
}

/** The percent escape, in either hex case, at Position (just at its '%'); else the '%' itself. */
FUnit PercentUnit(std::string_view Text, size_t Position)
{
    const int32 Byte = HexAt(Text, Position + 1, 2);
    return Byte >= 0 ? Unit(3, {static_cast<uint32>(Byte)}) : Unit(1, {static_cast<uint8>(Text[Position])});
}

/** The JSON escape at Position (just at its backslash); else the backslash itself. */
FUnit JsonUnit(std::string_view Text, size_t Position)
{
    const FUnit Escape = JsonEscapeUnit(Text, Position);
    return Escape.Length > 0 ? Escape : Unit(1, {static_cast<uint8>(Text[Position])});
}

/**
 * Text as one way of writing it reads: its bytes, and where in the original text the unit behind each byte
 * begins. Once percent escapes are read, a blank and '+' read alike: a form writes a blank as '+', a path
 * keeps '+' as it is.
 */
struct FReading
{
    std::string Bytes;
    std::vector<int32> Begins;
    bool bBlankIsPlus = false;
};

FReading RawReading(std::string_view Text)
{
    FReading Out;
    Out.Bytes = Text;
    Out.Begins.resize(Text.size());
    std::iota(Out.Begins.begin(), Out.Begins.end(), 0);
    return Out;
}

/** A percent escape or a JSON escape, whichever starts at Position: an echo may mix the two. */
FUnit PercentOrJsonUnit(std::string_view Text, size_t Position)
{
    return Text[Position] == '%' ? PercentUnit(Text, Position) : JsonUnit(Text, Position);
}

/**
 * In read once more, unit by unit, each byte keeping the original beginning of the unit it came from. Only
 * the characters of Escapes start a unit of more than one character, and no unit stands for more bytes than
 * it takes.
 */
template <typename UnitFunction>
FReading Decoded(const FReading& In, std::string_view Escapes, UnitFunction UnitAt)
{
    FReading Out;
    Out.bBlankIsPlus = In.bBlankIsPlus || Escapes.find('%') != std::string_view::npos;
    Out.Bytes.resize(In.Bytes.size());
    Out.Begins.resize(In.Bytes.size());
    size_t Size = 0;
    const auto Put = [&Out, &Size](char Byte, int32 Begin)
    {
        Out.Bytes[Size] = Out.bBlankIsPlus && Byte == '+' ? ' ' : Byte;
        Out.Begins[Size++] = Begin;
    };
    for (size_t Position = 0; Position < In.Bytes.size();)
    {
        if (Escapes.find(In.Bytes[Position]) == std::string_view::npos)
        {
            Put(In.Bytes[Position], In.Begins[Position]);
            ++Position;
            continue;
        }
        const FUnit Read = UnitAt(In.Bytes, Position);
        for (int32 Index = 0; Index < Read.NumBytes; ++Index)
        {
            Put(Read.Bytes[Index], In.Begins[Position]);
        }
        Position += Read.Length;
    }
    Out.Bytes.resize(Size);
    Out.Begins.resize(Size);
    return Out;
}

/** Where the unit behind byte Last ends in the original text: where the next unit begins. A unit stands for
 * at most four bytes. */
int32 OriginalEnd(const FReading& Reading, size_t Last, int32 TextLength)
{
    for (size_t Next = Last + 1; Next < Reading.Begins.size() && Next <= Last + 4; ++Next)
    {
        if (Reading.Begins[Next] != Reading.Begins[Last])
        {
            return Reading.Begins[Next];
        }
    }
    return TextLength;
}

/** The most characters one unit takes: a surrogate pair written as two JSON escapes. */
constexpr size_t LongestUnit = 12;

/**
 * Calls Found(Start, Length) wherever the last Length bytes of Pattern stand whole at Start in Text, for all
 * of Pattern and for each of its tails less than LongestUnit bytes shorter. The Knuth-Morris-Pratt search run
 * backwards: its work is linear in the text whatever the pattern repeats.
 */
template <typename FoundFunction>
void FindTails(std::string_view Text, std::string_view Pattern, FoundFunction Found)
{
    const std::string Reversed(Pattern.rbegin(), Pattern.rend());
    const size_t Size = Reversed.size();
    std::vector<size_t> Border(Size, 0);
    for (size_t Index = 1, Length = 0; Index < Size; ++Index)
    {
        while (Length > 0 && Reversed[Index] != Reversed[Length])
        {
            Length = Border[Length - 1];
        }
        Length += Reversed[Index] == Reversed[Length] ? 1 : 0;
        Border[Index] = Length;
    }
    size_t Matched = 0;
    for (size_t Position = Text.size(); Position-- > 0;)
    {
        while (Matched > 0 && (Matched == Size || Text[Position] != Reversed[Matched]))
        {
            Matched = Border[Matched - 1];
        }
        Matched += Text[Position] == Reversed[Matched] ? 1 : 0;
        for (size_t Length = Matched; Length > 0 && Length + LongestUnit > Size; Length = Border[Length - 1])
        {
            Found(Position, Length);
        }
    }
}

/** The echoes found in a text: at each position, the furthest end of one beginning there and its secret. */
class FEchoes
{
public:
    FEchoes(std::string_view InText, const TArray<FString>& InSecrets) : Text(InText), Secrets(InSecrets) {}

    void FindIn(const FReading& Reading)
    {
        for (int32 Index = 0; Index < Secrets.Num(); ++Index)
        {
            std::string Pattern = Secrets[Index].ToStdString();
            if (Reading.bBlankIsPlus)
            {
                std::replace(Pattern.begin(), Pattern.end(), '+', ' ');
            }
            if (Pattern.empty())
            {
                continue;
            }
            FindTails(Reading.Bytes, Pattern,
                      [&](size_t Start, size_t Length) { FoundTail(Reading, Start, Length, Index); });
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

    /**
     * Length bytes that end secret Secret stand at Start in Reading. All of it is an echo; a tail is one when
     * the unit just before ends with the secret's first characters, raw: an echo may begin inside a unit that
     * the text before it started ("%" then "4fe..." read as "%4f" and "e...").
     */
    void FoundTail(const FReading& Reading, size_t Start, size_t Length, int32 Secret)
    {
        const int32 Begin = Reading.Begins[Start];
        const int32 End = OriginalEnd(Reading, Start + Length - 1, static_cast<int32>(Text.size()));
        const int32 Skipped = static_cast<int32>(Secrets[Secret].Len() - Length);
        if (Skipped == 0)
        {
            Add(Begin, End, Secret);
            return;
        }
        if (Start == 0 || Begin - Reading.Begins[Start - 1] <= Skipped)
        {
            return;
        }
        if (Text.substr(Begin - Skipped, Skipped) == Secrets[Secret].View().substr(0, Skipped))
        {
            Add(Begin - Skipped, End, Secret);
        }
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
    // Each way a wire or a service may write an echo is read once, alone, wrapped in the other (a
    // percent-encoded URL inside a JSON error text) and mixed with it character by character, and searched
    // for every secret. A text without one way's escape characters reads the same in it, so that way is
    // skipped.
    const std::string_view View = Text.View();
    FEchoes Echoes(View, Secrets);
    const FReading Raw = RawReading(View);
    Echoes.FindIn(Raw);
    const bool bPercent = View.find_first_of("%+") != std::string_view::npos;
    const bool bJson = View.find('\\') != std::string_view::npos;
    if (bPercent)
    {
        const FReading Percent = Decoded(Raw, "%", PercentUnit);
        Echoes.FindIn(Percent);
        Echoes.FindIn(Decoded(Percent, "\\", JsonUnit));
    }
    if (bJson)
    {
        const FReading Json = Decoded(Raw, "\\", JsonUnit);
        Echoes.FindIn(Json);
        Echoes.FindIn(Decoded(Json, "%", PercentUnit));
    }
    if (bPercent && bJson)
    {
        Echoes.FindIn(Decoded(Raw, "%\\", PercentOrJsonUnit));
    }
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
