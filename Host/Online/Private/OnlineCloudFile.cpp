#include "Online/OnlineCloudFile.h"

const char* LexToString(ECloudFileState State)
{
    switch (State)
    {
    case ECloudFileState::NotStarted:
        return "NotStarted";
    case ECloudFileState::InProgress:
        return "InProgress";
    case ECloudFileState::Done:
        return "Done";
    case ECloudFileState::Failed:
        return "Failed";
    }
    return "Unknown";
}
