#include "palm/PalmReason.h"

#include <cerrno>
#include <cstring>

std::string PmReasonOfErrno(int err, const char* step)
{
    if (err == EWOULDBLOCK || err == EAGAIN)
        return kPmReasonHeld;
    if (err == ENOENT)
        return kPmReasonChanged;
    if (err == 0)
        return step ? step : "the file could not be written";
    return std::strerror(err);
}
