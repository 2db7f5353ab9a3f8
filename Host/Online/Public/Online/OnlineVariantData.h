#pragma once

#include "CoreMinimal.h"

/** The type of a variant's value; the numbers are the engine's type codes. */
enum class EOnlineKeyValuePairDataType : uint8
{
    Empty = 0,
    Int32 = 1,
    Int64 = 2,
    Double = 3,
    String = 4,
    Float = 5,
    Blob = 6,
    Bool = 7,
};

const char* ToString(EOnlineKeyValuePairDataType Type);

/** One typed value of a session setting, search parameter or message attribute. */
class FVariantData
{
public:
    FVariantData() = default;
    explicit FVariantData(int32 Value) { SetValue(Value); }
    explicit FVariantData(int64 Value) { SetValue(Value); }
    explicit FVariantData(double Value) { SetValue(Value); }
    explicit FVariantData(float Value) { SetValue(Value); }
    explicit FVariantData(bool Value) { SetValue(Value); }
    explicit FVariantData(const FString& Value) { SetValue(Value); }
    explicit FVariantData(const char* Value) { SetValue(FString(Value)); }

    EOnlineKeyValuePairDataType GetType() const { return Type; }
    const char* GetTypeString() const { return ::ToString(Type); }

    void SetValue(int32 Value);
    void SetValue(int64 Value);
    void SetValue(double Value);
    void SetValue(float Value);
    void SetValue(bool Value);
    void SetValue(const FString& Value);
    void SetValue(const TArray<uint8>& Value);
    void Empty();

    /** Each getter leaves Out untouched when the value is of another type and says whether it matched. */
    bool GetValue(int32& Out) const;
    bool GetValue(int64& Out) const;
    bool GetValue(double& Out) const;
    bool GetValue(float& Out) const;
    bool GetValue(bool& Out) const;
    bool GetValue(FString& Out) const;
    bool GetValue(TArray<uint8>& Out) const;

    /** The value as text: numbers in decimal, booleans "true"/"false", blobs by their size. */
    FString ToString() const;

    bool operator==(const FVariantData& Other) const;
    bool operator!=(const FVariantData& Other) const { return !(*this == Other); }

private:
    EOnlineKeyValuePairDataType Type = EOnlineKeyValuePairDataType::Empty;
    int64 IntValue = 0;
    double RealValue = 0.0;
    FString TextValue;
    TArray<uint8> BlobValue;
};
