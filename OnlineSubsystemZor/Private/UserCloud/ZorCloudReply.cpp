#include "UserCloud/ZorCloudReply.h"

#include "Subsystem/OnlineSubsystemZor.h"

bool ZorCloudReply::Check(FZorReply& Reply, const char* Operation, bool bLogBody)
{
    const FHttpResponsePtr& Response = Reply.GetResponse();
    if (!Response)
    {
        Reply.Fail(EZorErrorKind::NoResponse, "No response");
        return false;
    }
    const int32 Code = Response->GetResponseCode();
    if (bLogBody)
    {
        UE_LOG_ONLINE(Verbose, "%s request complete. url=%s code=%d response=%s", Operation,
                      *Reply.GetLoggedUrl(), Code, *Reply.LoggedBody());
    }
    if (!FZorReply::Accepts(EZorCodeRule::Success, Code))
    {
        Reply.Fail(EZorErrorKind::HttpStatus, Reply.RefusalText());
    }
    return Reply.Succeeded();
}
