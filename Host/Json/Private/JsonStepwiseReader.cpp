#include "JsonStepwiseReader.h"

#include <cstring>
#include <type_traits>

#include "JsonLeafBlock.h"
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
            FStepwiseChild Scalar;
            if (!ReadScalar(Document, Type, Scalar) || !ScalarAtEnd())
            {
                return false;
            }
            FJsonLeafPlacer Alone;
            Root = Make(Scalar, Alone);
            return true;
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
    bool ReadScalar(SourceType& Source, ondemand::json_type Type, FStepwiseChild& Out)
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
            Out.Text = String;
            Out.Waiting = EJson::String;
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
            Out.Value = SharedBool(bValue);
            return true;
        }
        case ondemand::json_type::null:
        {
            bool bNull = false;
            if (Fail(Source.is_null().get(bNull)) || (!bNull && Fail(simdjson::INCORRECT_TYPE)))
            {
                return false;
            }
            Out.Value = SharedNull();
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
    template <typename SourceType> bool ReadNumber(SourceType& Source, FStepwiseChild& Out)
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
        Out.Number = Value;
        Out.Waiting = EJson::Number;
        return true;
    }

    /** Reads a value into the last child slot of the top frame, opening a frame for a container. */
    bool ReadChild(ondemand::value& Value, FStepwiseChild& Out, bool& bOpened)
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
        Fields.push_back(FStepwiseField{FString(Key), {}});
        bool bOpened = false;
        if (!ReadChild(Field.value(), Fields.back().Child, bOpened))
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

    static FStepwiseChild& ChildOf(FStepwiseField& Field) { return Field.Child; }
    static FStepwiseChild& ChildOf(FStepwiseChild& Child) { return Child; }

    /** Places the strings and numbers of a container whose children are Children. */
    template <typename ChildType>
    static FJsonLeafPlacer PlacerFor(std::vector<ChildType>& Children, size_t First)
    {
        FJsonLeafPlacer Placer;
        for (size_t Index = First; Index < Children.size() && !Placer.IsCounted(); ++Index)
        {
            const FStepwiseChild& Child = ChildOf(Children[Index]);
            if (Child.Waiting == EJson::String)
            {
                Placer.CountString(Child.Text.size());
            }
            else if (Child.Waiting == EJson::Number)
            {
                Placer.CountNumber(Child.Number);
            }
        }
        Placer.Start();
        return Placer;
    }

    static TSharedPtr<FJsonValue> Make(FStepwiseChild& Child, FJsonLeafPlacer& Placer)
    {
        switch (Child.Waiting)
        {
        case EJson::String:
            return Placer.PlaceString(Child.Text);
        case EJson::Number:
            return Placer.PlaceNumber(Child.Number);
        default:
            return std::move(Child.Value);
        }
    }

    TSharedPtr<FJsonValue> CloseObject(size_t FirstChild)
    {
        FJsonLeafPlacer Placer = PlacerFor(Fields, FirstChild);
        TSharedPtr<FJsonObject> Object = MakeObject(static_cast<int32>(Fields.size() - FirstChild));
        for (size_t Index = FirstChild; Index < Fields.size(); ++Index)
        {
            Object->Values.Add(std::move(Fields[Index].Key), Make(Fields[Index].Child, Placer));
        }
        Fields.resize(FirstChild);
        return MakeShared<FJsonValueObject>(std::move(Object));
    }

    TSharedPtr<FJsonValue> CloseArray(size_t FirstChild)
    {
        FJsonLeafPlacer Placer = PlacerFor(Elements, FirstChild);
        TArray<TSharedPtr<FJsonValue>> Items;
        Items.Reserve(static_cast<int32>(Elements.size() - FirstChild));
        for (size_t Index = FirstChild; Index < Elements.size(); ++Index)
        {
            Items.Add(Make(Elements[Index], Placer));
        }
        Elements.resize(FirstChild);
        return MakeShared<FJsonValueArray>(std::move(Items));
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
            Fields.back().Child.Value = std::move(Value);
            ++Parent.Field;
        }
        else
        {
            Elements.back().Value = std::move(Value);
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
    std::vector<FStepwiseChild>& Elements;
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
