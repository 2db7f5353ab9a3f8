#include "JsonStepwiseReader.h"

#include <cstring>
#include <type_traits>

#include "JsonPrivate.h"
#include "JsonReadValues.h"
#include "Json/JsonObject.h"
#include "Json/JsonSerializer.h"

namespace JsonPrivate
{
namespace ondemand = simdjson::ondemand;

namespace
{
/**
 * Walks the parser's document depth first with its own stack, so nesting never costs the thread's stack, and
 * builds our values straight from it. Children wait in scratch lists until their container closes, so each
 * container is sized once.
 */
class FTreeBuilder
{
public:
    FTreeBuilder(std::string_view InText, simdjson::padded_string_view InPadded, FStepwiseScratch& Scratch)
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
            FindInvalidUtf8(Text, Offset);
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
        FStepwiseFrame Frame{};
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
        FStepwiseFrame& Top = Frames.back();
        if (Top.bObject)
        {
            return Top.Field != Top.FieldsEnd ? StepField(Top) : Close();
        }
        return Top.Element != Top.ElementsEnd ? StepElement(Top) : Close();
    }

    bool StepField(FStepwiseFrame& Top)
    {
        ondemand::field Field;
        std::string_view Key;
        if (Fail((*Top.Field).get(Field)) || Fail(Field.unescaped_key().get(Key)))
        {
            return false;
        }
        Fields.push_back(FStepwiseField{FString(Key), nullptr});
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

    bool StepElement(FStepwiseFrame& Top)
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
        TSharedPtr<FJsonObject> Object = MakeObject(static_cast<int32>(Fields.size() - FirstChild));
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
        const FStepwiseFrame Done = Frames.back();
        Frames.pop_back();
        TSharedPtr<FJsonValue> Value =
            Done.bObject ? CloseObject(Done.FirstChild) : CloseArray(Done.FirstChild);
        if (Frames.empty())
        {
            Root = std::move(Value);
            return true;
        }
        FStepwiseFrame& Parent = Frames.back();
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
    std::vector<FStepwiseFrame>& Frames;
    std::vector<FStepwiseField>& Fields;
    std::vector<TSharedPtr<FJsonValue>>& Elements;
    TSharedPtr<FJsonValue> Root;
    simdjson::error_code Error = simdjson::SUCCESS;
    const char* Refusal = nullptr;
};
} // namespace

bool ReadStepwise(ondemand::parser& Parser, std::string_view Text, simdjson::padded_string_view Padded,
                  FStepwiseScratch& Scratch, TSharedPtr<FJsonValue>& OutValue, FString& OutError)
{
    // The parser misreads a top-level null or boolean followed by blanks ("null " is not null to it); blanks
    // at the end carry nothing, so it never sees them.
    const size_t Last = Text.find_last_not_of(" \t\r\n");
    const size_t Length = Last == std::string_view::npos ? 0 : Last + 1;
    FTreeBuilder Builder(Text, simdjson::padded_string_view(Padded.data(), Length, Padded.capacity()),
                         Scratch);
    const bool bBuilt = Builder.Build(Parser);
    Scratch.Reset();
    if (!bBuilt)
    {
        OutError = Builder.Describe();
        return false;
    }
    OutValue = Builder.TakeRoot();
    return true;
}
} // namespace JsonPrivate
