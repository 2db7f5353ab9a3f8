#pragma once

#include "ZorSubsystemTest.h"

/** A token reply as the account service sends it. */
FString TokenReply(const FString& AccountId, double ExpiresIn, const FString& AccessToken = "access-1",
                   const FString& ClientId = "testclient");

/** Drives identity by hand: logs users in by answering its requests over the in-memory transport. */
class FIdentityTest : public FZorSubsystemTest
{
protected:
    FIdentityTest() { CreateSubsystem(); }

    FOnlineIdentityZor& Identity() { return *Subsystem->GetZorIdentityService(); }
    /** Answers the oldest waiting request whose URL contains Part and ticks once without time passing. */
    void Answer(const FString& Part, int32 Code, const FString& Body,
                const FString& ContentType = "application/json");
    /** Answers like Answer but delivers the completion without ticking the subsystem. */
    void Deliver(const FString& Part, int32 Code, const FString& Body);
    /**
     * A full password login of local user 0 with a token of the given lifetime, and its purchase login with a
     * purchase token of PurchaseExpiresIn unless that is negative (the purchase grant is then left waiting).
     */
    void LoginUser(const FString& AccountId = "acct1", double ExpiresIn = 3600.0,
                   double PurchaseExpiresIn = 7200.0);
};
