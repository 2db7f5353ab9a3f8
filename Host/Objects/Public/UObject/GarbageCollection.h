#pragma once

#include <vector>

#include "UObject/Object.h"

/** Collects the objects that reachable objects report from their AddReferencedObjects. */
class FReferenceCollector
{
public:
    /** Null and objects the collector does not own are ignored. */
    void AddReferencedObject(const UObject* Object);
    template <typename T> void AddReferencedObjects(const TArray<T*>& Objects)
    {
        for (const T* Object : Objects)
        {
            AddReferencedObject(Object);
        }
    }

private:
    friend class FUObjectArray;

    std::vector<UObject*> Pending;
};

/**
 * Destroys every collector-owned object that no rooted object reaches; returns how many went. An object whose
 * delegate is running at that moment is kept for the next collection. Game thread only.
 */
int32 CollectGarbage();

/** How many objects the collector owns. */
int32 GetNumCollectedObjects();
