#include "app/Drives.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#include "base/StringOps.h"

namespace fs = std::filesystem;

namespace posbench {

namespace {

bool UnderMediaFolder(const std::string& mountPoint) {
    for (const char* base : {"/media/", "/run/media/", "/mnt/"})
        if (mountPoint.rfind(base, 0) == 0) return true;
    return mountPoint == "/mnt";
}

// /proc/mounts writes blanks and some other characters of a mount point as \ooo.
std::string UnescapeMountPoint(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 3 < text.size() &&
            std::all_of(text.begin() + static_cast<long>(i) + 1,
                        text.begin() + static_cast<long>(i) + 4,
                        [](char c) { return c >= '0' && c <= '7'; })) {
            out += static_cast<char>(std::stoi(text.substr(i + 1, 3), nullptr, 8));
            i += 3;
        } else {
            out += text[i];
        }
    }
    return out;
}

bool LessNoCase(const std::string& a, const std::string& b) {
    const std::string ua = UCase(a), ub = UCase(b);
    return ua != ub ? ua < ub : a < b;
}

// "*.txt" against a name, without regard to case; "*" and "*.*" take every name.
bool MatchesPattern(const std::string& name, const std::string& pattern) {
    if (pattern == "*" || pattern == "*.*" || pattern.empty()) return true;
    if (pattern.rfind("*.", 0) == 0) {
        const std::string ext = UCase(pattern.substr(1));
        return name.size() > ext.size() && UCase(name.substr(name.size() - ext.size())) == ext;
    }
    return EqualsNoCase(name, pattern);
}

}  // namespace

std::vector<std::string> DriveRoots(const std::string& mountsFile) {
    std::vector<std::string> roots{"/"};
    auto add = [&roots](const std::string& path) {
        if (!path.empty() && std::find(roots.begin(), roots.end(), path) == roots.end())
            roots.push_back(path);
    };
    if (const char* home = std::getenv("HOME"); home && *home) {
        std::error_code ec;
        if (fs::is_directory(home, ec)) add(fs::path(home).lexically_normal().string());
    }
    std::ifstream mounts(mountsFile);
    std::string line;
    while (std::getline(mounts, line)) {
        std::istringstream fields(line);
        std::string device, mountPoint;
        if (!(fields >> device >> mountPoint)) continue;
        mountPoint = UnescapeMountPoint(mountPoint);
        if (UnderMediaFolder(mountPoint)) add(mountPoint);
    }
    return roots;
}

std::string DriveOf(const std::string& folder, const std::vector<std::string>& roots) {
    std::string best = "/";
    for (const std::string& root : roots) {
        const bool inside = folder == root ||
                            (folder.rfind(root, 0) == 0 &&
                             (root.back() == '/' || folder[root.size()] == '/'));
        if (inside && root.size() > best.size()) best = root;
    }
    return best;
}

FolderListing ListFolder(const std::string& folder) {
    FolderListing listing;
    const fs::path path = fs::path(folder).lexically_normal();
    fs::path walk;
    for (const fs::path& part : path) {
        if (part.empty()) continue;
        walk /= part;
        listing.ancestors.push_back(walk.string());
    }
    std::error_code ec;
    for (fs::directory_iterator it(path, fs::directory_options::skip_permission_denied, ec), end;
         !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        std::error_code typeEc;
        if (name.empty() || name.front() == '.' || !it->is_directory(typeEc)) continue;
        listing.children.push_back(it->path().string());
    }
    std::sort(listing.children.begin(), listing.children.end(), LessNoCase);
    return listing;
}

std::vector<std::string> ListFiles(const std::string& folder, const std::string& pattern) {
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(folder, fs::directory_options::skip_permission_denied, ec), end;
         !ec && it != end; it.increment(ec)) {
        std::error_code typeEc;
        if (!it->is_regular_file(typeEc)) continue;
        const std::string name = it->path().filename().string();
        if (MatchesPattern(name, pattern)) names.push_back(name);
    }
    std::sort(names.begin(), names.end(), LessNoCase);
    return names;
}

std::string JoinFileSelection(const std::string& folder, const std::string& name) {
    if ((!folder.empty() && folder.back() == '/') || (!name.empty() && name.front() == '/'))
        return folder + name;
    return folder + "/" + name;
}

}  // namespace posbench
