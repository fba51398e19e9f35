#include "common/sessioninfo.h"

TSessionInfo &SessionInfo()
{
    static TSessionInfo info;
    return info;
}
