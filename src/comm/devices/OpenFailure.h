#pragma once
// Why a device would not open, in words a user can act on: the device it was tried on, the
// system's reason, and for a missing permission the way to get it.
#include <string>

namespace posbench {

// "where: reason", e.g. "/dev/ttyUSB7: No such file or directory". When access was refused and
// the device belongs to a group (dialout, lp), the advice to join it follows.
std::string OpenFailureReason(const std::string& where, int code, const char* group = nullptr);

}  // namespace posbench
