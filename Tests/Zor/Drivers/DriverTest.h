#pragma once

#include <string>

#include "Core/Exec.h"
#include "ZorSubsystemTest.h"

/** A subsystem whose drivers' lines are read back as one transcript. */
class FDriverTest : public FZorSubsystemTest
{
protected:
    /** Every LogOnline line at Log level, which only the drivers write, one per line. */
    std::string Transcript() const;
    /** The transcript without record dumps. */
    std::string Steps() const;
    /** How many dumps of a kind ("offer", "order", ...) were logged. */
    int32 CountDumps(const char* Kind) const;
    /** Every Warning of LogOnline, one per line. */
    std::string Warnings() const;
    bool Exec(const char* Command) { return Subsystem->Exec(nullptr, Command, *GLog); }
    /** The method and URL of every request the transport saw, one per line. */
    std::string Requests();
    /** Gives the application client a token, so the client road sends. */
    void SignInClient();
};
