#include "HostArgs.h"

#include "Core/Parse.h"

bool ParsePageArgs(const TCHAR* Args, FPagedQuery& OutPage)
{
    FString Start;
    FString Count;
    if (!FParse::Token(Args, Start, false))
    {
        return true;
    }
    if (!FParse::Token(Args, Count, false) || !Start.IsNumeric() || !Count.IsNumeric())
    {
        return false;
    }
    OutPage = FPagedQuery(FCString::Atoi(*Start), FCString::Atoi(*Count));
    return true;
}
