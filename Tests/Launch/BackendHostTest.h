#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "HostProcess.h"
#include "LocalBackend.h"

/** An engine ini that sends every service to the local backend at Port, with the demo clients. */
std::string LocalBackendIni(int Port);

/** Starts Backend on a free loopback port and returns it; 0, with the reason as a failure, when it cannot. */
int StartOnFreePort(ZorBackend::FLocalBackend& Backend);

/** zorhost against a local backend of its own, every service on it. */
class FBackendHostTest : public testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    /** Runs zorhost on the script with the demo player's login on the command line, for a login line. */
    FHostRun RunAsDemoPlayer(const std::string& Script);
    /** RunAsDemoPlayer with each line typed as soon as it is ready. */
    FHostRun FeedAsDemoPlayer(const std::vector<FTypedLine>& Typed);

    FScratchDir Scratch;
    ZorBackend::FLocalBackend Backend;
    int Port = 0;
    std::string Ini;
};
