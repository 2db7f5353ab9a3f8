#pragma once

#include "Common/ZorReply.h"

/** The reply check of the cloud services, whose failure texts quote the code and the body as they came. */
namespace ZorCloudReply
{
/** Lists, writes and deletes accept any code from 200 to this. */
constexpr int32 LastSuccessCode = 399;
/** The HTTP layer follows no redirect, so only a 2xx body is a downloaded file. */
constexpr int32 LastFileCode = 299;

/**
 * "No response" without a response; otherwise, when bLogBody, logs "<Operation> request complete. url=%s
 * code=%d response=%s" (masked), and fails a code outside 200 to LastGoodCode with "Invalid response.
 * code=%d error=%s". True when the reply passed.
 */
bool Check(FZorReply& Reply, const char* Operation, int32 LastGoodCode, bool bLogBody);
} // namespace ZorCloudReply
