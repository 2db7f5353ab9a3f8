#pragma once

#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <string>

#include "Core/Config.h"
#include "Core/PlatformProcess.h"
#include "Identity/OnlineIdentityZor.h"
#include "LocalBackend.h"
#include "Subsystem/OnlineSubsystemZor.h"
#include "ZorScopedBinding.h"

inline const char* const DemoUser = "demo@example.com";
inline const char* const DemoPassword = "demo-password";

/** The real module against the local backend over loopback HTTP, ticked by hand like a game loop. */
class FBackendIntegrationTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        std::string Error;
        Port = Backend.Start(0, Error);
        ASSERT_GT(Port, 0) << Error;
        StartSubsystem(Port);
    }
    void TearDown() override
    {
        if (Subsystem)
        {
            Subsystem->Shutdown();
        }
        Subsystem.Reset();
        FHttpModule::Get().Shutdown(); // closes kept-alive connections so the backend stops at once
        FHttpModule::Get().Tick(0.0f);
        Backend.Stop();
    }

    /** Ini lines a suite adds to the common ones; sections named again are merged. */
    virtual FString ExtraIni() const { return FString(); }

    FString IniFor(int32 AtPort) const
    {
        return FString::Printf(R"(
[OnlineSubsystemZor]
bEnabled=true
[OnlineSubsystemZor.BaseServiceZor]
Domain=127.0.0.1:%d
GameName=IntegrationTest
ServicePermissions=(Name=Client,Id=zordemoclient,Key=zordemoclientsecret)
ServicePermissions=(Name=PurchaseClient,Id=zordemopurchase,Key=zordemopurchasesecret)
[OnlineSubsystemZor.AccountServiceZor]
ServiceName=account
)",
                               AtPort) +
               ExtraIni();
    }

    void StartSubsystem(int32 AtPort)
    {
        GConfig->LoadFromString(GEngineIni, IniFor(AtPort));
        Subsystem = MakeShared<FOnlineSubsystemZor>(FName("default")).ToSharedPtr();
        Subsystem->Init();
    }
    FOnlineIdentityZor& Identity() { return *Subsystem->GetZorIdentityService(); }

    /** Ticks at a game's pace until Done holds; false after Seconds. */
    bool TickUntil(const std::function<bool()>& Done, double Seconds = 10.0)
    {
        const auto Deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(Seconds);
        while (std::chrono::steady_clock::now() < Deadline)
        {
            FHttpModule::Get().Tick(0.005f);
            if (Subsystem)
            {
                Subsystem->Tick(0.005f);
            }
            if (Done())
            {
                return true;
            }
            FPlatformProcess::Sleep(0.005f);
        }
        return false;
    }

    /** Logs the demo user in and waits for the login and the purchase login. */
    void LoginDemoUser()
    {
        Identity().AddOnLoginCompleteDelegate(
            0, FOnLoginCompleteDelegate::CreateLambda(
                   [this](int32, bool bOk, const FUniqueNetId&, const FString& E)
                   { LoginResult = bOk ? "ok" : E; }));
        Identity().AddOnLoginPurchaseCompleteDelegate(
            0, FOnLoginPurchaseCompleteDelegate::CreateLambda(
                   [this](int32, bool bOk, const FUniqueNetId&, const FString& E)
                   { PurchaseResult = bOk ? "ok" : E; }));
        ASSERT_TRUE(Identity().Login(0, FOnlineAccountCredentials("tavo", DemoUser, DemoPassword)));
        ASSERT_TRUE(TickUntil([this] { return !LoginResult.IsEmpty() && !PurchaseResult.IsEmpty(); }));
    }
    TSharedPtr<FUserOnlineAccountZor> DemoAccount()
    {
        const FUniqueNetIdPtr UserId = Identity().GetUniquePlayerId(0);
        return UserId ? Identity().GetUserAccountZor(*UserId) : nullptr;
    }

    ZorBackend::FLocalBackend Backend;
    int32 Port = 0;
    TSharedPtr<FOnlineSubsystemZor> Subsystem;
    FString LoginResult;
    FString PurchaseResult;
};
