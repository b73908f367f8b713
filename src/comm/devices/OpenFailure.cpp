#include "comm/devices/OpenFailure.h"

#include <cerrno>
#include <cstring>

namespace posbench {

std::string OpenFailureReason(const std::string& where, int code, const char* group) {
    // The line's own check refuses a path that is no device with ENOTTY, whose system words
    // ("Inappropriate ioctl for device") would say nothing to the user.
    std::string reason = where + ": " +
                         (code == ENOTTY ? "not a serial or printer device" : std::strerror(code));
    if (code == EWOULDBLOCK || code == EBUSY)
        reason += " (the port is in use by another program: end it, or choose another port)";
    if ((code == EACCES || code == EPERM) && group != nullptr)
        reason += std::string(" (add the user to group ") + group + ", see README)";
    return reason;
}

}  // namespace posbench
