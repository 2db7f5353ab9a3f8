#pragma once

#include <httplib.h>

#include "BackendHostTest.h"

#include <atomic>
#include <mutex>
#include <regex>
#include <string>
#include <thread>
#include <vector>

/**
 * A service that answers chosen requests its own way and passes every other one on to a local backend, so a
 * zorhost run logs in and works as usual until it meets the replies a test means it to meet.
 */
class FHostileService
{
public:
    struct FOverride
    {
        std::string Method;
        /** Matched against the whole path. */
        std::string PathPattern;
        /** Only requests whose body holds this; empty takes any. */
        std::string BodyHolds;
        int Status = 200;
        std::string Body;
        /** Requests answered so before passing on again; -1 answers every one. */
        int Times = -1;
        /** Answers with an echo of the request as the JSON body's "errorMessage" instead of Body. */
        bool bEcho = false;
        /** Passes the request on instead, and sends the backend's reply only this many milliseconds later. */
        int LateMs = 0;
    };

    ~FHostileService();

    /** Serves on a free loopback port in front of the backend at BackendPort; the port, or -1. */
    int Start(int BackendPort);
    void Override(FOverride Answer);
    /**
     * Refuses matching requests with 400, echoing each whole: method, path with query, every header and the
     * body, raw, percent-decoded with '+' as a blank and with '+' kept, the Basic credentials decoded, and
     * each value of a form body with only its blanks encoded and with each letter after a backslash
     * JSON-escaped.
     */
    void Echo(std::string Method, std::string PathPattern, std::string BodyHolds = "", int Times = -1);
    /** Replaces From by To in every passed-on reply body. */
    void Rewrite(std::string From, std::string To);
    /** Every reply body passed on so far. */
    std::vector<std::string> PassedOnBodies();

private:
    void Handle(const httplib::Request& Req, httplib::Response& Res);
    /** False when the request is to be passed on, then held OutLateMs before its reply goes. */
    bool Answer(const httplib::Request& Req, httplib::Response& Res, int& OutLateMs);
    void PassOn(const httplib::Request& Req, httplib::Response& Res);

    httplib::Server Server;
    std::thread Thread;
    std::atomic<bool> bListenEnded{false};
    int BackendPort = 0;
    std::mutex Lock;
    std::vector<FOverride> Overrides;
    std::vector<std::pair<std::string, std::string>> Rewrites;
    std::vector<std::string> PassedOn;
};

/** zorhost against the local backend behind a hostile service, whose overrides each test sets. */
class FHostileHostTest : public FBackendHostTest
{
protected:
    void SetUp() override;

    FHostileService Hostile;
};
