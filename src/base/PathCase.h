#pragma once
// Names written for a case-insensitive file system must keep working: when the exact path does
// not exist, each component is matched without regard to case. Such names may also use "\" as
// the separator ("\SUPrinters.ini" appended to the program directory).
#include <string>

namespace posbench {

// The existing path that matches name component by component: at each level the exact
// component when it exists, else the first directory entry (in byte order of the names) equal
// to it without regard to ASCII case. A relative name is walked from the current directory.
// When the exact name exists it is returned as it is. When some component has no match, name
// itself comes back, so that the caller's open fails with the name the user wrote. When the
// exact name does not exist, "\" counts as a separator as well as "/".
std::string ResolvePathNoCase(const std::string& name);

// The path to create or replace name at: the existing file that ResolvePathNoCase finds, or,
// when there is none, the resolved directory part followed by the last component as written.
// When the directory part cannot be resolved either, name itself.
std::string ResolveParentNoCase(const std::string& name);

}  // namespace posbench
