#pragma once

#include "CoreMinimal.h"
#include "Json/JsonObject.h"
#include "Json/JsonValue.h"

/** What both build-information services share in reading their answers. */
namespace ZorBuildList
{
/** The key under which a bare list answer is read. */
inline const char* const AnswerKey = "buildinfos";

/** Each object element of a list answer as a new record, in answer order; other elements are skipped. */
template <typename RecordType>
TArray<TSharedRef<RecordType>> Read(const TArray<TSharedPtr<FJsonValue>>& Elements)
{
    TArray<TSharedRef<RecordType>> Records;
    for (const TSharedPtr<FJsonValue>& Element : Elements)
    {
        const TSharedPtr<FJsonObject>* Object = nullptr;
        if (Element && Element->TryGetObject(Object))
        {
            TSharedRef<RecordType> Record = MakeShared<RecordType>();
            Record->FromJson(*Object);
            Records.Add(Record);
        }
    }
    return Records;
}
} // namespace ZorBuildList
