#include "CliImage.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "CliOutput.h"
#include "CliViews.h"
#include "base/Views.h"
#include "imaging/Tiff.h"
#include "script/ScriptState.h"

namespace posbench::cli {

bool PrintingImagingViews::ShowImageWindow(const std::string& bitmapPath) {
    std::printf(bare_ ? "%s\n" : "Bitmap: %s\n", bitmapPath.c_str());
    return true;
}

bool PrintingImagingViews::ShowPicture(const std::string& bitmapPath) {
    return ShowImageWindow(bitmapPath);
}

void PrintingImagingViews::ShowMicrText(const std::string& text) {
    std::printf(bare_ ? "%s\n" : "MICR: %s\n", text.c_str());
}

void PrintingImagingViews::ShowTagList(const std::vector<std::string>& lines) {
    for (const auto& line : lines) std::printf("%s\n", line.c_str());
}

int RunTiffOption(const std::string& option, const std::string& file) {
    CliOutput output(false, false, false);
    PrintingStatusList status(output);  // the decoder's own messages
    PrintingImagingViews views(true);
    SetStatusList(&status);
    SetImagingViews(&views);
    std::error_code ec;
    const std::string path = std::filesystem::absolute(file, ec).string();
    gPortState(1).ScriptFile = ec ? file : path;
    const char* command = option == "--image" ? "IMAGE SHOW " : option == "--tags" ? "TAG SHOW "
                                                                                  : "MICR SHOW ";
    const bool ok = ProcessTiffFile(1, command + gPortState(1).ScriptFile);
    std::fflush(stdout);
    if (!ok) std::fprintf(stderr, "posbench-cli: %s: %s\n", file.c_str(), gsTiffErr.c_str());
    SetImagingViews(nullptr);
    SetStatusList(nullptr);
    return ok ? 0 : 1;
}

}  // namespace posbench::cli
