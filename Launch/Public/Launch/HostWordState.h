#pragma once

/** What a part of the host keeps between console lines; let go at quit, before the subsystem is. */
class FHostWordState
{
public:
    virtual ~FHostWordState() = default;
};
