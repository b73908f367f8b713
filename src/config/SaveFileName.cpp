#include "config/SaveFileName.h"

#include <filesystem>
#include <system_error>

#include "base/Display.h"
#include "base/File.h"
#include "base/RuntimeError.h"
#include "base/StringOps.h"
#include "base/Views.h"
#include "comm/CommGlobals.h"

namespace posbench {

std::string SaveFileName::FileChosen(const std::string& folder, const std::string& file) {
    if (Right(folder, 1) == "/" || Right(folder, 1) == "\\") return folder + file;
    return folder + "/" + file;
}

bool SaveFileName::btnExit_Click(const std::string& nameBox) {
    try {
        std::string name = Trim(nameBox);
        if (InStr(name, ".") == 0) name += ".txt";
        std::error_code ec;
        if (Trim(nameBox).empty() || !GetCompletePath(name, gsProgramDir + "/") ||
            std::filesystem::is_directory(NativePath(name), ec)) {
            Display("Invalid File Name");
            return false;
        }
        saveFile_ = name;
        if (!std::filesystem::exists(NativePath(name), ec)) return true;
        return MsgBox("Replace existing file?", MsgButtons::YesNoCancel, "File Selection") ==
               MsgAnswer::Yes;
    } catch (...) {
        Display(ErrorLine("frmFileName, Exit Error: ", CurrentRuntimeError(), ": "));
        return false;
    }
}

}  // namespace posbench
