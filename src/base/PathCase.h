#pragma once
// Names written for a case-insensitive file system must keep working: when the exact path does
// not exist, each component is matched without regard to case.
#include <string>

namespace posbench {

// The existing path that matches name component by component (exact first, then without
// regard to case); when nothing matches, name itself, so that the caller's open fails with
// the name the user wrote.
std::string ResolvePathNoCase(const std::string& name);

}  // namespace posbench
