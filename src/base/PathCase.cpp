#include "base/PathCase.h"

#include <dirent.h>
#include <sys/stat.h>

#include <optional>
#include <vector>

#include "base/StringOps.h"

namespace posbench {
namespace {

bool Exists(const std::string& path) {
    struct stat st{};
    return ::lstat(path.c_str(), &st) == 0;
}

std::string Join(const std::string& dir, const std::string& component) {
    if (dir.empty()) return component;
    if (dir.back() == '/') return dir + component;
    return dir + "/" + component;
}

// The entry of dir equal to component without regard to case; the smallest such name, so
// that the answer does not depend on the order the directory happens to list its entries in.
std::optional<std::string> MatchInDirectory(const std::string& dir, const std::string& component) {
    DIR* d = ::opendir(dir.empty() ? "." : dir.c_str());
    if (!d) return std::nullopt;
    std::optional<std::string> best;
    while (const dirent* entry = ::readdir(d)) {
        std::string candidate = entry->d_name;
        if (!EqualsNoCase(candidate, component)) continue;
        if (!best || candidate < *best) best = std::move(candidate);
    }
    ::closedir(d);
    return best;
}

std::vector<std::string> Components(const std::string& name) {
    std::vector<std::string> parts;
    std::string current;
    for (char c : name) {
        if (c == '/' || c == '\\') {
            if (!current.empty()) parts.push_back(std::move(current));
            current.clear();
        } else {
            current += c;
        }
    }
    if (!current.empty()) parts.push_back(std::move(current));
    return parts;
}

// Walks the components of name; nullopt when one of them matches nothing.
std::optional<std::string> Walk(const std::string& root, const std::vector<std::string>& parts,
                                std::size_t count) {
    std::string path = root;
    for (std::size_t i = 0; i < count; ++i) {
        const std::string& part = parts[i];
        std::string exact = Join(path, part);
        if (part == "." || part == ".." || Exists(exact)) {
            path = std::move(exact);
            continue;
        }
        std::optional<std::string> match = MatchInDirectory(path, part);
        if (!match) return std::nullopt;
        path = Join(path, *match);
    }
    return path;
}

std::string RootOf(const std::string& name) {
    return (!name.empty() && (name.front() == '/' || name.front() == '\\')) ? "/" : "";
}

}  // namespace

std::string ResolvePathNoCase(const std::string& name) {
    if (name.empty() || Exists(name)) return name;
    std::vector<std::string> parts = Components(name);
    if (parts.empty()) return name;
    std::optional<std::string> path = Walk(RootOf(name), parts, parts.size());
    return path ? *path : name;
}

std::string ResolveParentNoCase(const std::string& name) {
    std::string existing = ResolvePathNoCase(name);
    if (existing != name || Exists(name)) return existing;
    std::vector<std::string> parts = Components(name);
    if (parts.empty()) return name;
    std::optional<std::string> dir = Walk(RootOf(name), parts, parts.size() - 1);
    if (!dir) return name;
    return Join(*dir, parts.back());
}

}  // namespace posbench
