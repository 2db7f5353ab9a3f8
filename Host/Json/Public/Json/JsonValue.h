#pragma once

#include <deque>

#include "Json/JsonTypes.h"

/**
 * Containers waiting to be emptied while a tree is dropped. Kept in small blocks: one large buffer freed
 * after the many small values of a tree would make the allocator merge all of them at once.
 */
using FJsonReleaseQueue = std::deque<TSharedPtr<FJsonValue>>;

namespace JsonPrivate
{
/** Drops a set of values; containers that nobody else holds are emptied first so no destructor recurses. */
void ReleaseTree(FJsonReleaseQueue& Pending);
/** Drops one child at once, or queues it in Pending when it is a container nobody else holds. */
void Release(TSharedPtr<FJsonValue>& Value, FJsonReleaseQueue& Pending);
} // namespace JsonPrivate

/**
 * One JSON value, shared through TSharedPtr. Getters of the wrong kind give an empty, zero or false result
 * and never fail hard; the TryGet forms tell the caller whether the kind matched.
 */
class FJsonValue
{
public:
    virtual ~FJsonValue() = default;

    /** Strings as they are, numbers as their JSON text, booleans as "true" or "false"; else empty. */
    virtual FString AsString() const { return FString(); }
    virtual double AsNumber() const { return 0.0; }
    virtual bool AsBool() const { return false; }
    /** The elements of an array; a shared empty array for any other kind. */
    virtual const TArray<TSharedPtr<FJsonValue>>& AsArray() const;
    /** The object of an object value; an empty pointer for any other kind. */
    virtual const TSharedPtr<FJsonObject>& AsObject() const;

    /** True for strings, numbers and booleans, with the text AsString gives. */
    bool TryGetString(FString& OutString) const;
    bool TryGetNumber(double& OutNumber) const;
    /** True only for a whole number inside the target's range; OutNumber is untouched otherwise. */
    bool TryGetNumber(int32& OutNumber) const;
    bool TryGetNumber(int64& OutNumber) const;
    bool TryGetNumber(uint32& OutNumber) const;
    bool TryGetBool(bool& OutBool) const;
    bool TryGetArray(const TArray<TSharedPtr<FJsonValue>>*& OutArray) const;
    /** True only for an object value that holds an object. */
    bool TryGetObject(const TSharedPtr<FJsonObject>*& OutObject) const;

    bool IsNull() const { return Type == EJson::Null || Type == EJson::None; }

    /**
     * Deep comparison: numbers by value, strings by their exact bytes (a change of letter case is a change of
     * data), object fields regardless of their order. An empty pointer inside a container counts as null.
     */
    static bool CompareEqual(const FJsonValue& Lhs, const FJsonValue& Rhs);

    EJson Type = EJson::None;

protected:
    explicit FJsonValue(EJson InType) : Type(InType) {}
    FJsonValue(const FJsonValue&) = default;
    FJsonValue& operator=(const FJsonValue&) = default;

    /** Moves this container's children into Pending; only called when nobody else holds this value. */
    virtual void TakeChildren(FJsonReleaseQueue& Pending) { (void)Pending; }
    /** The text of a string value without a copy, for writing; empty for any other kind. */
    virtual std::string_view ViewString() const { return {}; }

    friend void JsonPrivate::ReleaseTree(FJsonReleaseQueue& Pending);
    friend class FJsonSerializer;
};

class FJsonValueString final : public FJsonValue
{
public:
    explicit FJsonValueString(FString InValue) : FJsonValue(EJson::String), Value(std::move(InValue)) {}

    FString AsString() const override { return Value; }

protected:
    std::string_view ViewString() const override { return Value.View(); }

private:
    FString Value;
};

class FJsonValueNumber final : public FJsonValue
{
public:
    explicit FJsonValueNumber(double InValue) : FJsonValue(EJson::Number), Value(InValue) {}

    FString AsString() const override;
    double AsNumber() const override { return Value; }

private:
    double Value;
};

class FJsonValueBoolean final : public FJsonValue
{
public:
    explicit FJsonValueBoolean(bool InValue) : FJsonValue(EJson::Boolean), Value(InValue) {}

    FString AsString() const override { return Value ? FString("true") : FString("false"); }
    bool AsBool() const override { return Value; }

private:
    bool Value;
};

class FJsonValueArray final : public FJsonValue
{
public:
    explicit FJsonValueArray(TArray<TSharedPtr<FJsonValue>> InValue)
        : FJsonValue(EJson::Array), Value(std::move(InValue))
    {
    }
    FJsonValueArray(const FJsonValueArray&) = default;
    ~FJsonValueArray() override;

    const TArray<TSharedPtr<FJsonValue>>& AsArray() const override { return Value; }

protected:
    void TakeChildren(FJsonReleaseQueue& Pending) override;

private:
    TArray<TSharedPtr<FJsonValue>> Value;
};

class FJsonValueObject final : public FJsonValue
{
public:
    explicit FJsonValueObject(TSharedPtr<FJsonObject> InValue)
        : FJsonValue(EJson::Object), Value(std::move(InValue))
    {
    }

    const TSharedPtr<FJsonObject>& AsObject() const override { return Value; }

protected:
    void TakeChildren(FJsonReleaseQueue& Pending) override;

private:
    TSharedPtr<FJsonObject> Value;
};

class FJsonValueNull final : public FJsonValue
{
public:
    FJsonValueNull() : FJsonValue(EJson::Null) {}
};
