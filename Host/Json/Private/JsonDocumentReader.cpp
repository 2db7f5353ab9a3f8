#include "JsonDocumentReader.h"

#include <algorithm>

#include "JsonPrivate.h"
#include "JsonReadValues.h"
#include "Json/JsonSerializer.h"

namespace JsonPrivate
{
namespace
{
/**
 * The document reads "-0" as the integer 0 and so loses the sign our numbers keep. A text that may hold one
 * (also inside a string: "a-0") is read the step-by-step way.
 */
bool MayHoldNegativeZero(std::string_view Text)
{
    for (size_t Minus = Text.find("-0"); Minus != std::string_view::npos; Minus = Text.find("-0", Minus + 2))
    {
        const size_t Next = Minus + 2;
        if (Next == Text.size() || !((Text[Next] >= '0' && Text[Next] <= '9') || Text[Next] == '.' ||
                                     Text[Next] == 'e' || Text[Next] == 'E'))
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
    explicit FDocumentBuilder(std::vector<FDocumentFrame>& InFrames) : Frames(InFrames) {}

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

    static bool IsNumber(simdjson::dom::element_type Type)
    {
        using simdjson::dom::element_type;
        return Type == element_type::INT64 || Type == element_type::UINT64 || Type == element_type::DOUBLE;
    }

    static double NumberOf(simdjson::dom::element Element)
    {
        using simdjson::dom::element_type;
        switch (Element.type())
        {
        case element_type::INT64:
            return static_cast<double>(Element.get_int64().value_unsafe());
        case element_type::UINT64:
            return static_cast<double>(Element.get_uint64().value_unsafe());
        default:
            return Element.get_double().value_unsafe();
        }
    }

    /** Places the strings and numbers of a container with these children, counted from the document. */
    template <typename ChildrenType, typename ElementOfType>
    static FJsonLeafPlacer PlacerFor(const ChildrenType& Children, ElementOfType ElementOf)
    {
        FJsonLeafPlacer Placer;
        for (const auto& Child : Children)
        {
            const simdjson::dom::element Element = ElementOf(Child);
            if (Element.type() == simdjson::dom::element_type::STRING)
            {
                Placer.CountString(Element.get_string().value_unsafe().size());
            }
            else if (IsNumber(Element.type()))
            {
                Placer.CountNumber(NumberOf(Element));
            }
            if (Placer.IsCounted())
            {
                break;
            }
        }
        Placer.Start();
        return Placer;
    }

    /** A string or number goes to its container's placer; the top-level one stands alone. */
    bool ReadScalar(simdjson::dom::element Element, TSharedPtr<FJsonValue>& Out)
    {
        using simdjson::dom::element_type;
        FJsonLeafPlacer Alone;
        FJsonLeafPlacer& Leaves = Frames.empty() ? Alone : Frames.back().Leaves;
        const element_type Type = Element.type();
        if (Type == element_type::STRING)
        {
            Out = Leaves.PlaceString(Element.get_string().value_unsafe());
            return true;
        }
        if (IsNumber(Type))
        {
            Out = Leaves.PlaceNumber(NumberOf(Element));
            return true;
        }
        if (Type == element_type::BOOL)
        {
            Out = SharedBool(Element.get_bool().value_unsafe());
            return true;
        }
        if (Type == element_type::NULL_VALUE)
        {
            Out = SharedNull();
            return true;
        }
        return false;
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
            Frames.push_back(
                FDocumentFrame{FObjectCursor{Object.begin(), Object.end()},
                               MakeObject(static_cast<int32>(Object.size())),
                               {},
                               &Slot,
                               PlacerFor(Object, [](const auto& Field) { return Field.value; })});
            return true;
        }
        const simdjson::dom::array Array = Element.get_array().value_unsafe();
        Frames.push_back(FDocumentFrame{FArrayCursor{Array.begin(), Array.end()},
                                        nullptr,
                                        {},
                                        &Slot,
                                        PlacerFor(Array, [](simdjson::dom::element Item) { return Item; })});
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
} // namespace

bool ReadDocument(simdjson::dom::parser& Parser, std::string_view Text, simdjson::padded_string_view Padded,
                  std::vector<FDocumentFrame>& Frames, TSharedPtr<FJsonValue>& OutValue)
{
    simdjson::dom::element Root;
    if (MayHoldNegativeZero(Text) || Parser.parse(Padded).get(Root) != simdjson::SUCCESS)
    {
        return false;
    }
    FDocumentBuilder Builder(Frames);
    TSharedPtr<FJsonValue> Value;
    const bool bBuilt = Builder.Build(Root, Value);
    Frames.clear();
    if (bBuilt)
    {
        OutValue = std::move(Value);
    }
    return bBuilt;
}
} // namespace JsonPrivate
