#include "Profile/ZorItemAware.h"

IMPLEMENT_OBJECT_CLASS(UZorItemAware, "/Script/OnlineSubsystemZor", CLASS_Abstract | CLASS_Interface)
