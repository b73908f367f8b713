#include "app/ProgramDir.h"

#include <atomic>
#include <cstdlib>
#include <string>

#include <unistd.h>
#include <filesystem>
#include <system_error>

#include "comm/CommGlobals.h"

namespace posbench {
namespace fs = std::filesystem;

namespace {

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

// Copies the sample beside the target under a name of its own and links it into place, so the
// target is either absent or whole (a disk that fills mid-copy leaves no empty Startup.ini), and
// programs seeding the same directory at once never fail on each other's files.
void SeedFile(const fs::path& sample, const fs::path& target, std::error_code& ec) {
    static std::atomic<unsigned> serial{0};
    const fs::path temporary = target.string() + ".seed-" + std::to_string(::getpid()) + "-" +
                               std::to_string(serial.fetch_add(1));
    fs::copy_file(sample, temporary, fs::copy_options::overwrite_existing, ec);
    if (!ec) {
        fs::create_hard_link(temporary, target, ec);
        if (ec == std::errc::file_exists) ec.clear();  // another program seeded it first
    }
    std::error_code ignored;
    fs::remove(temporary, ignored);
}

}  // namespace

std::string ChooseProgramDir(const std::string& dirOption) {
    if (!dirOption.empty()) return dirOption;
    if (std::string home = Env("POSBENCH_HOME"); !home.empty()) return home;
    if (std::string config = Env("XDG_CONFIG_HOME"); !config.empty())
        return (fs::path(config) / "posbench").string();
    if (std::string home = Env("HOME"); !home.empty())
        return (fs::path(home) / ".config" / "posbench").string();
    return {};
}

std::string FindSamplesDir(const std::vector<std::string>& candidates) {
    for (const std::string& candidate : candidates) {
        std::error_code ec;
        if (!candidate.empty() && fs::is_directory(candidate, ec)) return candidate;
    }
    return {};
}

std::vector<std::string> SampleCandidates(const std::string& exePath, const std::string& fallback) {
    std::vector<std::string> candidates;
    if (!exePath.empty()) {
        const fs::path dir = fs::path(exePath).parent_path();
        candidates.push_back((dir / "samples").string());
        candidates.push_back((dir.parent_path() / "share" / "posbench" / "samples").string());
    }
    if (!fallback.empty()) candidates.push_back(fallback);
    return candidates;
}

std::string ExecutablePath(const char* argv0) {
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    if (!ec) return self.string();
    return argv0 ? std::string(argv0) : std::string();
}

bool PrepareProgramDir(const std::string& dir, const std::string& samplesDir, std::string& error) {
    std::error_code ec;
    if (dir.empty()) {
        error = "No program directory: give --dir or set POSBENCH_HOME or HOME";
        return false;
    }
    fs::create_directories(dir, ec);
    if (ec || !fs::is_directory(dir, ec)) {
        error = "Cannot create the program directory " + dir + ": " + ec.message();
        return false;
    }
    if (samplesDir.empty()) return true;
    for (fs::recursive_directory_iterator it(samplesDir, ec), end; !ec && it != end;
         it.increment(ec)) {
        const fs::path target = fs::path(dir) / fs::relative(it->path(), samplesDir);
        std::error_code step;
        if (it->is_directory(step)) {
            fs::create_directories(target, step);
        } else if (it->is_regular_file(step) && !fs::exists(target, step)) {
            SeedFile(it->path(), target, step);
        }
        if (step) {
            error = "Cannot copy " + it->path().string() + " to " + target.string() + ": " +
                    step.message();
            return false;
        }
    }
    if (ec) {
        error = "Cannot read the samples in " + samplesDir + ": " + ec.message();
        return false;
    }
    return true;
}

bool SetUpProgramDir(const std::string& dirOption, const std::string& samplesDir,
                     std::string& error) {
    const std::string dir = ChooseProgramDir(dirOption);
    if (!PrepareProgramDir(dir, samplesDir, error)) return false;
    gsProgramDir = fs::absolute(dir).lexically_normal().string();
    if (gsProgramDir.size() > 1 && gsProgramDir.back() == '/') gsProgramDir.pop_back();
    return true;
}

}  // namespace posbench
