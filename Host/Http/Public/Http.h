#pragma once

#include "HttpModule.h"
#include "HttpTransport.h"
#include "Interfaces/IHttpRequest.h"
#include "Interfaces/IHttpResponse.h"
