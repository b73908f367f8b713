#include "UsageChecks.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "app/MainWindow.h"
#include "base/StringOps.h"
#include "base/Text.h"

namespace posbench::cli {

bool CheckBeforeOpening(const CliOptions& options, std::string& error) {
    for (const CliCommand& command : options.commands) {
        std::string line = command.data;
        if (!StripComment(false, line) || !ProcessData(line)) {
            error = "--command \"" + command.data + "\": " + gsTextErr;
            return false;
        }
    }
    if (options.commandMode || options.listPorts || options.config.Active()) return true;
    struct stat info {};
    if (stat(options.file.c_str(), &info) != 0) {
        error = options.file + ": " + std::strerror(errno);
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        error = "Not a regular file: " + options.file;  // the engine's words for it
        return false;
    }
    if (access(options.file.c_str(), R_OK) != 0) {
        error = options.file + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

std::string NotSentText(const std::string& fileName) {
    std::string scripts, downloads;
    for (const char* type : kScriptFileTypes)
        scripts += (scripts.empty() ? "" : " and ") + std::string(type);
    for (const char* type : kDownloadFileTypes)
        downloads += (downloads.empty() ? "" : ", ") + std::string(type);
    return fileName + ": nothing sent: only " + scripts + " (scripts) and " + downloads +
           " (downloads) are sent";
}

}  // namespace posbench::cli
