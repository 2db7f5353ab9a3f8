#pragma once

#include "CoreMinimal.h"

/** Kinds of value a variant holds. The numbers travel on the wire: keep them. */
enum class EOnlineKeyValuePairDataType : uint8
{
    Empty = 0,
    Int32 = 1,
    /** A 64-bit integer; signed and unsigned views share the bit pattern. */
    Int64 = 2,
    Double = 3,
    String = 4,
    Float = 5,
    Blob = 6,
    Bool = 7,
    MAX = 8,
};

const char* LexToString(EOnlineKeyValuePairDataType Type);

/** One typed value of a settings or message entry. */
class FVariantData
{
public:
    FVariantData() = default;
    explicit FVariantData(int32 Value) { SetValue(Value); }
    explicit FVariantData(int64 Value) { SetValue(Value); }
    explicit FVariantData(uint64 Value) { SetValue(Value); }
    explicit FVariantData(double Value) { SetValue(Value); }
    explicit FVariantData(float Value) { SetValue(Value); }
    explicit FVariantData(bool Value) { SetValue(Value); }
    explicit FVariantData(const FString& Value) { SetValue(Value); }
    explicit FVariantData(const char* Value) { SetValue(FString(Value)); }
    explicit FVariantData(const TArray<uint8>& Value) { SetValue(Value); }

    EOnlineKeyValuePairDataType GetType() const { return Type; }
    bool IsEmpty() const { return Type == EOnlineKeyValuePairDataType::Empty; }
    void Empty();

    void SetValue(int32 Value);
    void SetValue(int64 Value);
    void SetValue(uint64 Value);
    void SetValue(double Value);
    void SetValue(float Value);
    void SetValue(bool Value);
    void SetValue(const FString& Value);
    void SetValue(const TArray<uint8>& Value);

    /** Each getter leaves Out unchanged and returns false when the variant holds another kind. */
    bool GetValue(int32& Out) const;
    bool GetValue(int64& Out) const;
    bool GetValue(uint64& Out) const;
    bool GetValue(double& Out) const;
    bool GetValue(float& Out) const;
    bool GetValue(bool& Out) const;
    bool GetValue(FString& Out) const;
    bool GetValue(TArray<uint8>& Out) const;

    /** The value as text for logs and consoles; a blob shows its size only. */
    FString ToString() const;

    /** Same kind and same value; floating values compare by their bits, so NaN equals itself. */
    bool operator==(const FVariantData& Other) const;
    bool operator!=(const FVariantData& Other) const { return !(*this == Other); }

private:
    EOnlineKeyValuePairDataType Type = EOnlineKeyValuePairDataType::Empty;
    /** Every number kind keeps its bits here. */
    uint64 Bits = 0;
    FString Text;
    TArray<uint8> Bytes;
};
