#pragma once

#include "Json/JsonValue.h"

/**
 * A JSON object: named fields in their stored order. Field names compare ignoring letter case, as every text
 * key of the host does, so "errorCode" finds "ErrorCode". Setting a field whose name is already held under
 * another letter case replaces the value and keeps the first spelling and position.
 *
 * Typed getters give the empty or zero value for a missing field or one of another kind; callers that must
 * tell absence apart use HasField, TryGetField or the TryGet forms. A field holding an empty pointer counts
 * as missing.
 */
class FJsonObject
{
public:
    FJsonObject() = default;
    FJsonObject(const FJsonObject&) = default;
    FJsonObject(FJsonObject&&) = default;
    FJsonObject& operator=(const FJsonObject&) = default;
    FJsonObject& operator=(FJsonObject&&) = default;
    ~FJsonObject();

    TMap<FString, TSharedPtr<FJsonValue>> Values;

    bool HasField(const FString& FieldName) const;
    template <EJson JsonType> bool HasTypedField(const FString& FieldName) const
    {
        return HasFieldOfType(FieldName, JsonType);
    }
    /** The field's value, or an empty pointer when missing. */
    TSharedPtr<FJsonValue> TryGetField(const FString& FieldName) const;
    TSharedPtr<FJsonValue> GetField(const FString& FieldName) const { return TryGetField(FieldName); }

    /** Strings as they are, numbers and booleans as their JSON text. */
    FString GetStringField(const FString& FieldName) const;
    double GetNumberField(const FString& FieldName) const;
    /** The number truncated toward zero and clamped to the int32 range; 0 for NaN. */
    int32 GetIntegerField(const FString& FieldName) const;
    bool GetBoolField(const FString& FieldName) const;
    /** Empty pointer when missing or not an object. */
    const TSharedPtr<FJsonObject>& GetObjectField(const FString& FieldName) const;
    /** A shared empty array when missing or not an array. */
    const TArray<TSharedPtr<FJsonValue>>& GetArrayField(const FString& FieldName) const;

    bool TryGetStringField(const FString& FieldName, FString& OutString) const;
    bool TryGetNumberField(const FString& FieldName, double& OutNumber) const;
    /** True only for a whole number inside the target's range. */
    bool TryGetNumberField(const FString& FieldName, int32& OutNumber) const;
    bool TryGetNumberField(const FString& FieldName, int64& OutNumber) const;
    bool TryGetNumberField(const FString& FieldName, uint32& OutNumber) const;
    bool TryGetBoolField(const FString& FieldName, bool& OutBool) const;
    bool TryGetObjectField(const FString& FieldName, const TSharedPtr<FJsonObject>*& OutObject) const;
    bool TryGetArrayField(const FString& FieldName, const TArray<TSharedPtr<FJsonValue>>*& OutArray) const;

    void SetField(const FString& FieldName, const TSharedPtr<FJsonValue>& Value);
    void SetStringField(const FString& FieldName, const FString& Value);
    void SetNumberField(const FString& FieldName, double Value);
    void SetBoolField(const FString& FieldName, bool Value);
    void SetObjectField(const FString& FieldName, const TSharedPtr<FJsonObject>& Value);
    void SetArrayField(const FString& FieldName, const TArray<TSharedPtr<FJsonValue>>& Value);
    void RemoveField(const FString& FieldName);

    /**
     * Deep copy: every object and array is new, so changing the copy never shows in the source. Strings,
     * numbers and booleans cannot change and are shared. An empty source gives an empty pointer.
     */
    static TSharedPtr<FJsonObject> Duplicate(const TSharedPtr<const FJsonObject>& Source);

private:
    bool HasFieldOfType(const FString& FieldName, EJson JsonType) const;
    const FJsonValue* FindValue(const FString& FieldName) const;
};
