#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <type_traits>
#include <variant>
#include <vector>

#include <simdjson.h>

#include "JsonPrivate.h"
#include "Json/JsonObject.h"
#include "Json/JsonSerializer.h"

namespace ondemand = simdjson::ondemand;

namespace
{
/**
 * A thread keeps its parsers and padded copy between parses of texts up to this size (buffers of about twenty
 * times as much, of which only what a text uses becomes resident); a larger text gets its own step-by-step
 * parser for that one parse, which needs the least memory, so one huge reply neither stays resident nor peaks
 * at the whole-document parser's size.
 */
constexpr size_t KeptCapacity = size_t{1} << 20;

struct FField
{
    FString Key;
    TSharedPtr<FJsonValue> Value;
};

/** An open container and where its children start in the scratch lists. */
struct FFrame
{
    bool bObject;
    ondemand::object_iterator Field;
    ondemand::object_iterator FieldsEnd;
    ondemand::array_iterator Element;
    ondemand::array_iterator ElementsEnd;
    size_t FirstChild;
};

/**
 * An open container of a finished document: the rest of its fields or elements, what it has built so far,
 * and the slot of its parent it goes into once closed.
 */
struct FDocumentFrame
{
    template <typename IteratorType> struct TCursor
    {
        IteratorType Next;
        IteratorType End;
    };
    std::variant<TCursor<simdjson::dom::object::iterator>, TCursor<simdjson::dom::array::iterator>> Cursor;
    TSharedPtr<FJsonObject> Object;
    /** Sized once when opened, so slots handed out for nested containers never move. */
    TArray<TSharedPtr<FJsonValue>> Items;
    TSharedPtr<FJsonValue>* Slot;
};
// Growing the frame list must move the element lists, not copy them, or the slots handed out would dangle.
static_assert(std::is_nothrow_move_constructible_v<FDocumentFrame>);

/** Children of the open containers, waiting until their container closes. */
struct FScratch
{
    std::vector<FFrame> Frames;
    std::vector<FDocumentFrame> DocumentFrames;
    std::vector<FField> Fields;
    std::vector<TSharedPtr<FJsonValue>> Elements;

    /** Drops what a failed parse left, and lets go of room that one unusual document needed. */
    void Reset()
    {
        constexpr size_t KeptEntries = 4096;
        Frames.clear();
        DocumentFrames.clear();
        Fields.clear();
        Elements.clear();
        if (Fields.capacity() > KeptEntries || Elements.capacity() > KeptEntries)
        {
            Fields = {};
            Elements = {};
        }
    }
};

/** The parser reads a fixed number of bytes past the text; they must belong to the buffer. */
struct FParseBuffers
{
    ondemand::parser Parser;
    simdjson::dom::parser Document;
    std::unique_ptr<char[]> Text;
    size_t TextCapacity = 0;
    FScratch Scratch;

    simdjson::padded_string_view Pad(std::string_view Source)
    {
        const size_t Needed = Source.size() + simdjson::SIMDJSON_PADDING;
        if (TextCapacity < Needed)
        {
            Text.reset(new char[Needed]);
            TextCapacity = Needed;
        }
        std::memcpy(Text.get(), Source.data(), Source.size());
        std::memset(Text.get() + Source.size(), 0, simdjson::SIMDJSON_PADDING);
        return simdjson::padded_string_view(Text.get(), Source.size(), TextCapacity);
    }
};

bool IsDigit(char Ch)
{
    return Ch >= '0' && Ch <= '9';
}

size_t SkipDigits(std::string_view Text, size_t Index)
{
    while (Index < Text.size() && IsDigit(Text[Index]))
    {
        ++Index;
    }
    return Index;
}

/** The number grammar of RFC 8259, section 6. */
bool IsJsonNumber(std::string_view Text)
{
    size_t Index = !Text.empty() && Text[0] == '-' ? 1 : 0;
    if (Index >= Text.size() || !IsDigit(Text[Index]))
    {
        return false;
    }
    Index = Text[Index] == '0' ? Index + 1 : SkipDigits(Text, Index);
    if (Index < Text.size() && Text[Index] == '.')
    {
        const size_t Fraction = Index + 1;
        Index = SkipDigits(Text, Fraction);
        if (Index == Fraction)
        {
            return false;
        }
    }
    if (Index < Text.size() && (Text[Index] == 'e' || Text[Index] == 'E'))
    {
        ++Index;
        Index += Index < Text.size() && (Text[Index] == '+' || Text[Index] == '-') ? 1 : 0;
        const size_t Exponent = Index;
        Index = SkipDigits(Text, Exponent);
        if (Index == Exponent)
        {
            return false;
        }
    }
    return Index == Text.size();
}

/**
 * For a number too large or too small for a double: whether it is too small, that is whether its first
 * significant digit stands below the units place once the exponent is applied. Text is a valid JSON number.
 */
bool IsBelowDoubleRange(std::string_view Text)
{
    constexpr int64 ExponentCap = 1000000000;
    const size_t IntegerStart = Text[0] == '-' ? 1 : 0;
    const size_t IntegerEnd = SkipDigits(Text, IntegerStart);
    const size_t FirstNonZero = Text.find_first_not_of("0.", IntegerStart);
    int64 Magnitude = 0;
    if (FirstNonZero < IntegerEnd)
    {
        Magnitude = static_cast<int64>(IntegerEnd - FirstNonZero) - 1;
    }
    else
    {
        Magnitude = -static_cast<int64>(FirstNonZero - IntegerEnd);
    }
    const size_t ExponentMark = Text.find_first_of("eE", IntegerEnd);
    int64 Exponent = 0;
    if (ExponentMark != std::string_view::npos)
    {
        size_t Digit = ExponentMark + 1;
        const bool bNegative = Text[Digit] == '-';
        Digit += (Text[Digit] == '-' || Text[Digit] == '+') ? 1 : 0;
        for (; Digit < Text.size() && Exponent < ExponentCap; ++Digit)
        {
            Exponent = Exponent * 10 + (Text[Digit] - '0');
        }
        Exponent = bNegative ? -Exponent : Exponent;
    }
    return Magnitude + Exponent < 0;
}

/**
 * The number a token (trailing blanks allowed) stands for, correctly rounded. Valid JSON beyond the range of
 * a double saturates: too large reads as the largest finite value of its sign, too small as zero of its sign.
 */
bool ConvertNumber(std::string_view Token, double& OutValue)
{
    const size_t End = Token.find_last_not_of(" \t\r\n");
    const std::string_view Text = Token.substr(0, End == std::string_view::npos ? 0 : End + 1);
    if (!IsJsonNumber(Text))
    {
        return false;
    }
    const std::from_chars_result Result = std::from_chars(Text.data(), Text.data() + Text.size(), OutValue);
    if (Result.ec == std::errc())
    {
        return true;
    }
    const double Limit = IsBelowDoubleRange(Text) ? 0.0 : std::numeric_limits<double>::max();
    OutValue = Text[0] == '-' ? -Limit : Limit;
    return true;
}

/** Null, true, false and small whole numbers cannot change, so every tree shares one value of each. */
const TSharedPtr<FJsonValue>& SharedNull()
{
    static const TSharedPtr<FJsonValue> Value = MakeShared<FJsonValueNull>();
    return Value;
}

const TSharedPtr<FJsonValue>& SharedBool(bool bValue)
{
    static const TSharedPtr<FJsonValue> True = MakeShared<FJsonValueBoolean>(true);
    static const TSharedPtr<FJsonValue> False = MakeShared<FJsonValueBoolean>(false);
    return bValue ? True : False;
}

constexpr int32 SharedNumberCount = 256;

const TSharedPtr<FJsonValue>* SharedSmallNumbers()
{
    static const std::vector<TSharedPtr<FJsonValue>> Numbers = []
    {
        std::vector<TSharedPtr<FJsonValue>> Made;
        Made.reserve(SharedNumberCount);
        for (int32 Number = 0; Number < SharedNumberCount; ++Number)
        {
            Made.push_back(MakeShared<FJsonValueNumber>(static_cast<double>(Number)));
        }
        return Made;
    }();
    return Numbers.data();
}

TSharedPtr<FJsonValue> MakeNumber(double Value)
{
    // -0.0 passes the range test but must keep its sign.
    if (Value >= 0.0 && Value < SharedNumberCount && !std::signbit(Value) && std::trunc(Value) == Value)
    {
        return SharedSmallNumbers()[static_cast<int32>(Value)];
    }
    return MakeShared<FJsonValueNumber>(Value);
}

/**
 * Walks the parser's document depth first with its own stack, so nesting never costs the thread's stack, and
 * builds our values straight from it. Children wait in scratch lists until their container closes, so each
 * container is sized once.
 */
class FTreeBuilder
{
public:
    FTreeBuilder(std::string_view InText, simdjson::padded_string_view InPadded, FScratch& Scratch)
        : Text(InText), Padded(InPadded), Frames(Scratch.Frames), Fields(Scratch.Fields),
          Elements(Scratch.Elements)
    {
    }

    bool Build(ondemand::parser& Parser)
    {
        if (Fail(Parser.iterate(Padded).get(Document)))
        {
            return false;
        }
        bIterating = true;
        ondemand::json_type Type;
        if (Fail(Document.type().get(Type)))
        {
            return false;
        }
        if (Type != ondemand::json_type::object && Type != ondemand::json_type::array)
        {
            return ReadScalar(Document, Type, Root) && ScalarAtEnd();
        }
        ondemand::value Value;
        if (Fail(Document.get_value().get(Value)) || !Open(Value, Type))
        {
            return false;
        }
        while (!Frames.empty())
        {
            if (!Step())
            {
                return false;
            }
        }
        return AtEnd();
    }

    TSharedPtr<FJsonValue> TakeRoot() { return std::move(Root); }

    FString Describe()
    {
        size_t Offset = 0;
        if (Error == simdjson::UTF8_ERROR)
        {
            JsonPrivate::FindInvalidUtf8(Text, Offset);
        }
        else if (const char* Location = nullptr; bIterating && !Document.current_location().get(Location))
        {
            Offset = static_cast<size_t>(Location - Padded.data());
        }
        else
        {
            Offset = Text.size();
        }
        const char* Reason = Refusal ? Refusal : simdjson::error_message(Error);
        return FString::Printf("JSON parse error at offset %zu: %s", Offset, Reason);
    }

private:
    bool Fail(simdjson::error_code Code)
    {
        if (Code == simdjson::SUCCESS)
        {
            return false;
        }
        Error = Code;
        return true;
    }

    bool Refuse(const char* Reason)
    {
        Refusal = Reason;
        return false;
    }

    template <typename SourceType>
    bool ReadScalar(SourceType& Source, ondemand::json_type Type, TSharedPtr<FJsonValue>& Out)
    {
        switch (Type)
        {
        case ondemand::json_type::string:
        {
            std::string_view String;
            if (Fail(Source.get_string().get(String)))
            {
                return false;
            }
            Out = MakeShared<FJsonValueString>(FString(String));
            return true;
        }
        case ondemand::json_type::number:
            return ReadNumber(Source, Out);
        case ondemand::json_type::boolean:
        {
            bool bValue = false;
            if (Fail(Source.get_bool().get(bValue)))
            {
                return false;
            }
            Out = SharedBool(bValue);
            return true;
        }
        case ondemand::json_type::null:
        {
            bool bNull = false;
            if (Fail(Source.is_null().get(bNull)) || (!bNull && Fail(simdjson::INCORRECT_TYPE)))
            {
                return false;
            }
            Out = SharedNull();
            return true;
        }
        default:
            return !Fail(simdjson::INCORRECT_TYPE);
        }
    }

    /**
     * Converts the token itself: the parser's own conversion, as compiled into this reader, misreads numbers
     * with more than 19 significant digits (0.1333333333333085285933 read as 0.00051677600259975693).
     */
    template <typename SourceType> bool ReadNumber(SourceType& Source, TSharedPtr<FJsonValue>& Out)
    {
        std::string_view Token;
        if constexpr (std::is_same_v<decltype(Source.raw_json_token()), std::string_view>)
        {
            Token = Source.raw_json_token();
        }
        else if (Fail(Source.raw_json_token().get(Token)))
        {
            return false;
        }
        double Value = 0.0;
        if (!ConvertNumber(Token, Value))
        {
            return Refuse("invalid number");
        }
        UnreadEnd = Token.data() + Token.size();
        Out = MakeNumber(Value);
        return true;
    }

    /** Reads a value into the last child slot of the top frame, opening a frame for a container. */
    bool ReadChild(ondemand::value& Value, TSharedPtr<FJsonValue>& Out, bool& bOpened)
    {
        ondemand::json_type Type;
        if (Fail(Value.type().get(Type)))
        {
            return false;
        }
        bOpened = Type == ondemand::json_type::object || Type == ondemand::json_type::array;
        return bOpened ? Open(Value, Type) : ReadScalar(Value, Type, Out);
    }

    bool Open(ondemand::value& Value, ondemand::json_type Type)
    {
        if (Frames.size() >= static_cast<size_t>(JsonMaxDepth))
        {
            return Refuse("nesting is deeper than the limit");
        }
        FFrame Frame{};
        if (Type == ondemand::json_type::object)
        {
            ondemand::object Object;
            Frame.bObject = true;
            Frame.FirstChild = Fields.size();
            if (Fail(Value.get_object().get(Object)) || Fail(Object.begin().get(Frame.Field)) ||
                Fail(Object.end().get(Frame.FieldsEnd)))
            {
                return false;
            }
        }
        else
        {
            ondemand::array Array;
            Frame.bObject = false;
            Frame.FirstChild = Elements.size();
            if (Fail(Value.get_array().get(Array)) || Fail(Array.begin().get(Frame.Element)) ||
                Fail(Array.end().get(Frame.ElementsEnd)))
            {
                return false;
            }
        }
        Frames.push_back(Frame);
        return true;
    }

    bool Step()
    {
        FFrame& Top = Frames.back();
        if (Top.bObject)
        {
            return Top.Field != Top.FieldsEnd ? StepField(Top) : Close();
        }
        return Top.Element != Top.ElementsEnd ? StepElement(Top) : Close();
    }

    bool StepField(FFrame& Top)
    {
        ondemand::field Field;
        std::string_view Key;
        if (Fail((*Top.Field).get(Field)) || Fail(Field.unescaped_key().get(Key)))
        {
            return false;
        }
        Fields.push_back(FField{FString(Key), nullptr});
        bool bOpened = false;
        if (!ReadChild(Field.value(), Fields.back().Value, bOpened))
        {
            return false;
        }
        if (!bOpened)
        {
            ++Top.Field;
        }
        return true;
    }

    bool StepElement(FFrame& Top)
    {
        ondemand::value Value;
        if (Fail((*Top.Element).get(Value)))
        {
            return false;
        }
        Elements.emplace_back();
        bool bOpened = false;
        if (!ReadChild(Value, Elements.back(), bOpened))
        {
            return false;
        }
        if (!bOpened)
        {
            ++Top.Element;
        }
        return true;
    }

    TSharedPtr<FJsonValue> CloseObject(size_t FirstChild)
    {
        TSharedPtr<FJsonObject> Object =
            JsonPrivate::MakeObject(static_cast<int32>(Fields.size() - FirstChild));
        for (size_t Index = FirstChild; Index < Fields.size(); ++Index)
        {
            Object->Values.Add(std::move(Fields[Index].Key), std::move(Fields[Index].Value));
        }
        Fields.resize(FirstChild);
        return MakeShared<FJsonValueObject>(std::move(Object));
    }

    TSharedPtr<FJsonValue> CloseArray(size_t FirstChild)
    {
        std::vector<TSharedPtr<FJsonValue>> Items(std::make_move_iterator(Elements.begin() + FirstChild),
                                                  std::make_move_iterator(Elements.end()));
        Elements.resize(FirstChild);
        return MakeShared<FJsonValueArray>(TArray<TSharedPtr<FJsonValue>>(std::move(Items)));
    }

    bool Close()
    {
        const FFrame Done = Frames.back();
        Frames.pop_back();
        TSharedPtr<FJsonValue> Value =
            Done.bObject ? CloseObject(Done.FirstChild) : CloseArray(Done.FirstChild);
        if (Frames.empty())
        {
            Root = std::move(Value);
            return true;
        }
        FFrame& Parent = Frames.back();
        if (Parent.bObject)
        {
            Fields.back().Value = std::move(Value);
            ++Parent.Field;
        }
        else
        {
            Elements.back() = std::move(Value);
            ++Parent.Element;
        }
        return true;
    }

    /** A top-level number is read from its token, which the parser leaves unread; it must run to the end. */
    bool ScalarAtEnd()
    {
        if (!UnreadEnd)
        {
            return AtEnd();
        }
        return UnreadEnd == Padded.data() + Padded.length() || !Fail(simdjson::TRAILING_CONTENT);
    }

    /** Anything but blanks after the top-level value is an error. */
    bool AtEnd()
    {
        const char* Location = nullptr;
        const simdjson::error_code Code = Document.current_location().get(Location);
        if (Code == simdjson::OUT_OF_BOUNDS)
        {
            return true;
        }
        Fail(Code == simdjson::SUCCESS ? simdjson::TRAILING_CONTENT : Code);
        return false;
    }

    std::string_view Text;
    /** The parser's copy of Text; its locations count from here. */
    simdjson::padded_string_view Padded;
    ondemand::document Document;
    /** A document that never started has no location to ask for. */
    bool bIterating = false;
    /** End of the last number token read from the text, which the parser leaves unread. */
    const char* UnreadEnd = nullptr;
    std::vector<FFrame>& Frames;
    std::vector<FField>& Fields;
    std::vector<TSharedPtr<FJsonValue>>& Elements;
    TSharedPtr<FJsonValue> Root;
    simdjson::error_code Error = simdjson::SUCCESS;
    const char* Refusal = nullptr;
};

/**
 * The document reads "-0" as the integer 0 and so loses the sign our numbers keep. A text that may hold one
 * (also inside a string: "a-0") is read the step-by-step way.
 */
bool MayHoldNegativeZero(std::string_view Text)
{
    for (size_t Minus = Text.find("-0"); Minus != std::string_view::npos; Minus = Text.find("-0", Minus + 2))
    {
        const size_t Next = Minus + 2;
        if (Next == Text.size() ||
            !(IsDigit(Text[Next]) || Text[Next] == '.' || Text[Next] == 'e' || Text[Next] == 'E'))
        {
            return true;
        }
    }
    return false;
}

/**
 * Builds our values from a finished document of the parser, whose strings and numbers the library read with
 * the fastest code this processor runs. Containers are sized from the document when opened and filled in
 * place. It gives up, rather than guess, where the document cannot say what we would (nesting past our
 * limit); the step-by-step reader then reads the text and words any error.
 */
class FDocumentBuilder
{
    using FObjectCursor = FDocumentFrame::TCursor<simdjson::dom::object::iterator>;
    using FArrayCursor = FDocumentFrame::TCursor<simdjson::dom::array::iterator>;

public:
    explicit FDocumentBuilder(FScratch& Scratch) : Frames(Scratch.DocumentFrames) {}

    bool Build(simdjson::dom::element Root, TSharedPtr<FJsonValue>& Out)
    {
        if (!ReadChild(Root, Out))
        {
            return false;
        }
        while (!Frames.empty())
        {
            if (!Step())
            {
                return false;
            }
        }
        return true;
    }

private:
    static bool IsContainer(simdjson::dom::element Element)
    {
        return Element.type() == simdjson::dom::element_type::OBJECT ||
               Element.type() == simdjson::dom::element_type::ARRAY;
    }

    bool ReadChild(simdjson::dom::element Element, TSharedPtr<FJsonValue>& Slot)
    {
        return IsContainer(Element) ? Open(Element, Slot) : ReadScalar(Element, Slot);
    }

    static bool ReadScalar(simdjson::dom::element Element, TSharedPtr<FJsonValue>& Out)
    {
        using simdjson::dom::element_type;
        switch (Element.type())
        {
        case element_type::STRING:
            Out = MakeShared<FJsonValueString>(FString(Element.get_string().value_unsafe()));
            return true;
        case element_type::INT64:
            Out = MakeNumber(static_cast<double>(Element.get_int64().value_unsafe()));
            return true;
        case element_type::UINT64:
            Out = MakeNumber(static_cast<double>(Element.get_uint64().value_unsafe()));
            return true;
        case element_type::DOUBLE:
            Out = MakeNumber(Element.get_double().value_unsafe());
            return true;
        case element_type::BOOL:
            Out = SharedBool(Element.get_bool().value_unsafe());
            return true;
        case element_type::NULL_VALUE:
            Out = SharedNull();
            return true;
        default:
            return false;
        }
    }

    bool Open(simdjson::dom::element Element, TSharedPtr<FJsonValue>& Slot)
    {
        if (Frames.size() >= static_cast<size_t>(JsonMaxDepth))
        {
            return false;
        }
        if (Element.type() == simdjson::dom::element_type::OBJECT)
        {
            const simdjson::dom::object Object = Element.get_object().value_unsafe();
            Frames.push_back(FDocumentFrame{FObjectCursor{Object.begin(), Object.end()},
                                            JsonPrivate::MakeObject(static_cast<int32>(Object.size())),
                                            {},
                                            &Slot});
            return true;
        }
        const simdjson::dom::array Array = Element.get_array().value_unsafe();
        Frames.push_back(FDocumentFrame{FArrayCursor{Array.begin(), Array.end()}, nullptr, {}, &Slot});
        Frames.back().Items.Reserve(static_cast<int32>(Array.size()));
        return true;
    }

    bool Step()
    {
        FDocumentFrame& Top = Frames.back();
        if (FObjectCursor* Object = std::get_if<FObjectCursor>(&Top.Cursor))
        {
            if (Object->Next == Object->End)
            {
                return Close();
            }
            const simdjson::dom::key_value_pair Field = *Object->Next;
            ++Object->Next;
            // A repeated name hands back the first one's slot: the last value wins in the first place.
            return ReadChild(Field.value, Top.Object->Values.Add(FString(Field.key), nullptr));
        }
        FArrayCursor& Array = std::get<FArrayCursor>(Top.Cursor);
        if (Array.Next == Array.End)
        {
            return Close();
        }
        const simdjson::dom::element Element = *Array.Next;
        ++Array.Next;
        return ReadChild(Element, Top.Items.AddDefaulted_GetRef());
    }

    bool Close()
    {
        FDocumentFrame& Done = Frames.back();
        if (Done.Object)
        {
            *Done.Slot = MakeShared<FJsonValueObject>(std::move(Done.Object));
        }
        else
        {
            *Done.Slot = MakeShared<FJsonValueArray>(std::move(Done.Items));
        }
        Frames.pop_back();
        return true;
    }

    std::vector<FDocumentFrame>& Frames;
};

/** True with the tree when the whole-document parser read the text; false leaves OutValue untouched. */
bool ReadDocument(FParseBuffers& Buffers, std::string_view Text, simdjson::padded_string_view Padded,
                  TSharedPtr<FJsonValue>& OutValue)
{
    simdjson::dom::element Root;
    if (MayHoldNegativeZero(Text) || Buffers.Document.parse(Padded).get(Root) != simdjson::SUCCESS)
    {
        return false;
    }
    FDocumentBuilder Builder(Buffers.Scratch);
    TSharedPtr<FJsonValue> Value;
    const bool bBuilt = Builder.Build(Root, Value);
    Buffers.Scratch.Reset();
    if (bBuilt)
    {
        OutValue = std::move(Value);
    }
    return bBuilt;
}

bool ParseWith(FParseBuffers& Buffers, const FString& Text, TSharedPtr<FJsonValue>& OutValue,
               FString& OutError, bool bWholeDocumentFirst)
{
    const simdjson::padded_string_view Padded = Buffers.Pad(Text.View());
    if (bWholeDocumentFirst && ReadDocument(Buffers, Text.View(), Padded, OutValue))
    {
        return true;
    }
    FTreeBuilder Builder(Text.View(), Padded, Buffers.Scratch);
    const bool bBuilt = Builder.Build(Buffers.Parser);
    Buffers.Scratch.Reset();
    if (!bBuilt)
    {
        OutError = Builder.Describe();
        return false;
    }
    OutValue = Builder.TakeRoot();
    return true;
}

bool Parse(const FString& Text, TSharedPtr<FJsonValue>& OutValue, FString& OutError, bool bWholeDocumentFirst)
{
    if (static_cast<size_t>(Text.Len()) > KeptCapacity)
    {
        FParseBuffers Once;
        return ParseWith(Once, Text, OutValue, OutError, false);
    }
    thread_local FParseBuffers Kept;
    return ParseWith(Kept, Text, OutValue, OutError, bWholeDocumentFirst);
}

template <typename ResultType>
bool DeserializeAs(const TSharedRef<TJsonReader<>>& Reader, EJson Wanted, ResultType& OutResult,
                   ResultType (*Extract)(const FJsonValue&))
{
    TSharedPtr<FJsonValue> Value;
    FString Error;
    if (!JsonPrivate::ParseJson(Reader->GetText(), Value, Error))
    {
        Reader->SetErrorMessage(std::move(Error));
        return false;
    }
    if (Value->Type != Wanted)
    {
        Reader->SetErrorMessage(Wanted == EJson::Object ? "JSON top level is not an object"
                                                        : "JSON top level is not an array");
        return false;
    }
    Reader->SetErrorMessage(FString());
    OutResult = Extract(*Value);
    return true;
}
} // namespace

bool JsonPrivate::ParseJson(const FString& Text, TSharedPtr<FJsonValue>& OutValue, FString& OutError)
{
    return Parse(Text, OutValue, OutError, true);
}

bool JsonPrivate::ParseJsonStepwise(const FString& Text, TSharedPtr<FJsonValue>& OutValue, FString& OutError)
{
    return Parse(Text, OutValue, OutError, false);
}

bool FJsonSerializer::Deserialize(const TSharedRef<TJsonReader<>>& Reader, TSharedPtr<FJsonObject>& OutObject)
{
    return DeserializeAs<TSharedPtr<FJsonObject>>(Reader, EJson::Object, OutObject,
                                                  [](const FJsonValue& Value) { return Value.AsObject(); });
}

bool FJsonSerializer::Deserialize(const TSharedRef<TJsonReader<>>& Reader, TSharedPtr<FJsonValue>& OutValue)
{
    TSharedPtr<FJsonValue> Value;
    FString Error;
    if (!JsonPrivate::ParseJson(Reader->GetText(), Value, Error))
    {
        Reader->SetErrorMessage(std::move(Error));
        return false;
    }
    Reader->SetErrorMessage(FString());
    OutValue = std::move(Value);
    return true;
}

bool FJsonSerializer::Deserialize(const TSharedRef<TJsonReader<>>& Reader,
                                  TArray<TSharedPtr<FJsonValue>>& OutArray)
{
    return DeserializeAs<TArray<TSharedPtr<FJsonValue>>>(
        Reader, EJson::Array, OutArray, [](const FJsonValue& Value) { return Value.AsArray(); });
}
