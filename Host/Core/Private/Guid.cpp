#include "Core/Guid.h"

#include <random>

FGuid FGuid::NewGuid()
{
    thread_local std::mt19937 Generator{std::random_device{}()};
    FGuid Guid;
    while (!Guid.IsValid())
    {
        Guid = {static_cast<uint32>(Generator()), static_cast<uint32>(Generator()),
                static_cast<uint32>(Generator()), static_cast<uint32>(Generator())};
    }
    return Guid;
}
