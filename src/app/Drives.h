#pragma once
// The script panel's drive, folder and file lists on a system without drive letters: the
// "drives" are the places a user starts from (the root, the home folder, mounted media), and a
// folder belongs to the longest of them that contains it.
#include <string>
#include <vector>

namespace posbench {

// "/", then $HOME, then the mount points under /media, /run/media and /mnt listed in
// mountsFile (the system's table of mounted file systems), each once, in that order.
std::vector<std::string> DriveRoots(const std::string& mountsFile = "/proc/mounts");

// The root of roots that contains folder (the longest match); "/" when none does.
std::string DriveOf(const std::string& folder, const std::vector<std::string>& roots);

// The folders of the folder list: folder's ancestors from the root down, folder itself, then
// its subfolders (names sorted without regard to case, hidden ones left out).
struct FolderListing {
    std::vector<std::string> ancestors;  // full paths, the root first, folder last
    std::vector<std::string> children;   // full paths
};
FolderListing ListFolder(const std::string& folder);

// The files of folder whose names match pattern ("*.txt", "*.*", "*"), without regard to case
// as on the systems the tables were written for, sorted the same way.
std::vector<std::string> ListFiles(const std::string& folder, const std::string& pattern);

// The full name of a file chosen in the file list: folder and name joined by one separator.
std::string JoinFileSelection(const std::string& folder, const std::string& name);

}  // namespace posbench
