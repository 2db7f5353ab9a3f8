#pragma once

#include "Json/JsonArrayWrap.h"
#include "Json/JsonObject.h"
#include "Json/JsonReader.h"
#include "Json/JsonSerializer.h"
#include "Json/JsonTypes.h"
#include "Json/JsonValue.h"
#include "Json/JsonWriter.h"
#include "Json/OnlineJsonSerializable.h"
