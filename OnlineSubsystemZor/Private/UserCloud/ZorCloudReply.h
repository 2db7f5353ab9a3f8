#pragma once

#include "Common/ZorReply.h"

/** The reply check of the cloud services, whose failure texts quote the code and the body as they came. */
namespace ZorCloudReply
{
/**
 * "No response" without a response; otherwise, when bLogBody, logs "<Operation> request complete. url=%s
 * code=%d response=%s" (masked), and fails a code the shared rule refuses (a 3xx among them: the answer
 * never reached the file) with "Invalid response. code=%d error=%s". True when the reply passed.
 */
bool Check(FZorReply& Reply, const char* Operation, bool bLogBody);
} // namespace ZorCloudReply
