#include "app/Catalogue.h"

#include <filesystem>
#include <system_error>

#include "base/Display.h"
#include "base/File.h"
#include "base/Ini.h"
#include "base/Numbers.h"
#include "base/RuntimeError.h"
#include "base/StringOps.h"
#include "base/Text.h"
#include "comm/CommGlobals.h"

namespace posbench {

std::string gsCurrentConfigFile;

namespace {

DemoLoader gDemoLoader;
ConfigOpener gConfigOpener;

// A catalogue may name another catalogue, which opens its first printer at once; one that
// names itself (directly or round a ring) would recurse without end.
constexpr int kMaxCatalogueNesting = 8;
int gCatalogueNesting = 0;

class NestingGuard {
public:
    NestingGuard() { ++gCatalogueNesting; }
    ~NestingGuard() { --gCatalogueNesting; }
    NestingGuard(const NestingGuard&) = delete;
    NestingGuard& operator=(const NestingGuard&) = delete;
    bool TooDeep() const { return gCatalogueNesting > kMaxCatalogueNesting; }
};

std::string ReadValue(const std::string& section, const std::string& key, const std::string& file) {
    return GetPrivateProfileString(section, key, "NONE", file);
}

// Field `index` of a comma-separated value; empty when it is missing.
std::string Field(int16_t index, const std::string& value, bool toEnd = false) {
    if (!GetParameter(index, ",", toEnd, value)) return "";
    return gsResult;
}

int16_t LeadingNumber(const std::string& text) { return CInt(Val(text)); }

bool IsIniName(const std::string& name) { return UCase(Right(name, 4)) == ".INI"; }

void OpenConfiguration(const std::string& definitionFile, const std::string& dataFile) {
    if (gConfigOpener) {
        gConfigOpener(definitionFile, dataFile);
        return;
    }
    Display("This program has no configuration window: " + definitionFile);
}

}  // namespace

void SetDemoLoader(DemoLoader loader) { gDemoLoader = std::move(loader); }
void SetConfigOpener(ConfigOpener opener) { gConfigOpener = std::move(opener); }

void ResetCatalogueGlobals() {
    gsCurrentConfigFile.clear();
    gDemoLoader = nullptr;
    gConfigOpener = nullptr;
    gCatalogueNesting = 0;
}

std::string PatternForType(const std::string& type) {
    static const char* const kTypes[] = {"TXT", "BMP", "LGO", "BIN", "PBT",
                                         "DAT", "IB1", "IB2", "INI", "AXI"};
    const std::string upper = UCase(type);
    if (upper.empty()) return "*.txt";
    if (upper == "*") return "*.*";
    for (const char* known : kTypes)
        if (upper == known) return "*." + LCase(upper);
    return "";
}

std::string IniTypeMarker(const std::string& fileName) { return ReadValue("RQTYPE", "RQ", fileName); }

void Catalogue::LoadPrinters(const std::string& fileName) {
    try {
        view_.ClearMenu();
        printerCount_ = 0;
        subCount_ = 0;
        chosenSub_ = -1;
        subs_.assign(1, SubFunction{});
        rows_.reset();
        names_.clear();

        std::string file = fileName;
        if (!GetCompletePath(file, gsProgramDir + "/SUPrinters.ini")) {
            Display(gsFileErr);
            return;
        }
        const std::string buttons = ReadValue("Printers", "NumButtons", file);
        if (buttons.size() < 5) {
            Display("Invalid printer configuration file");
            return;
        }
        const std::string countField = Field(1, buttons);
        if (countField.empty()) {
            Display("Invalid Configuration parameter");
            return;
        }
        const int16_t count = LeadingNumber(countField);
        for (int i = 2; i <= count + 1; ++i) {
            const std::string name = Field(static_cast<int16_t>(i), buttons);
            if (name.empty()) {
                Display("Invalid printer name in printer file");
                return;
            }
            ProcessPrinter(name, file);
        }
    } catch (...) {
        Display(FailureLine("frmMain, LoadPrinters Error: "));
    }
}

void Catalogue::ProcessPrinter(const std::string& printerName, const std::string& fileName) {
    try {
        const int16_t k = printerCount_;
        // The row comes first: an eleventh printer fails here, before a button without a row
        // could appear in the menu.
        PrinterRow& row = rows_(k);
        view_.SetPrinterButton(k, printerName);
        if (static_cast<std::size_t>(k) < names_.size()) names_[k] = printerName;
        else names_.push_back(printerName);
        row.first = subCount_;
        row.count = 0;

        const std::string keys = ReadValue("Printers", printerName, fileName);
        if (keys.size() < 5) {
            Display("Invalid line in printer configuration file");
            return;
        }
        const std::string countField = Field(1, keys);
        if (countField.empty()) {
            Display("Invalid Line in configuration file");
            return;
        }
        const int16_t m = LeadingNumber(countField);
        row.count = m;
        for (int j = 2; j <= m + 1; ++j) {
            const std::string key = Field(static_cast<int16_t>(j), keys);
            if (key.empty()) {
                Display("Invalid Line in configuration file");
                return;
            }
            const std::string entry = ReadValue("Printers", key, fileName);
            if (entry.size() < 5) {
                Display("Invalid line in printer configuration file");
                return;
            }
            SubFunction sub;
            const std::string label = Field(1, entry);
            sub.caption = Field(2, entry);
            sub.file = Field(3, entry);
            sub.type = Field(4, entry);
            std::string picture = Field(5, entry, true);
            if (label.empty() || sub.caption.empty() || sub.file.empty() || sub.type.empty() ||
                picture.empty()) {
                Display("Invalid line in printer configuration file");
                return;
            }
            if (!GetCompletePath(sub.file, fileName) || !GetCompletePath(picture, fileName)) {
                Display(gsFileErr);
                return;
            }
            const std::string picturePath = NativePath(picture);
            std::error_code ec;
            if (!std::filesystem::is_regular_file(picturePath, ec)) Raise(err::FileNotFound);
            const int16_t s = subCount_;
            view_.SetSubFunction(s, label, picturePath);
            sub.folder = sub.file;
            if (static_cast<std::size_t>(s) < subs_.size()) subs_[s] = sub;
            else subs_.push_back(sub);
            ++subCount_;
        }
        ++printerCount_;
    } catch (...) {
        Display(FailureLine("frmMain, ProcessPrinter Error: "));
    }
}

void Catalogue::ProcessMain(int16_t index) {
    try {
        if (index < 0 || static_cast<std::size_t>(index) >= names_.size())
            Raise(err::SubscriptOutOfRange);
        const PrinterRow row = rows_(index);
        selectedPrinter_ = names_[index];
        // A printer whose sub-functions stopped at a bad line shows only those that were built.
        int16_t count = row.count;
        if (count > subCount_ - row.first) count = static_cast<int16_t>(subCount_ - row.first);
        if (count < 0) count = 0;
        view_.ShowMenu(static_cast<int16_t>(names_.size()), index, row.first, count);
        if (count > 0) ProcessSubFcn(row.first);
        else view_.HidePanels();
    } catch (...) {
        Display(FailureLine("frmMain, ProcessMain Error: "));
    }
}

void Catalogue::ProcessSubFcn(int16_t index) {
    try {
        view_.HidePanels();
        if (index < 0 || index >= subCount_) Raise(err::SubscriptOutOfRange);
        // A copy: choosing another catalogue below replaces the sub-functions.
        const SubFunction sub = subs_[index];
        chosenSub_ = index;
        gsCurrentConfigFile = sub.file;
        if (IsIniName(sub.file)) {
            const std::string marker = UCase(IniTypeMarker(sub.file));
            if (marker == "CMD") {
                view_.ShowPanel(Panel::Command, sub.caption);
                DisplayConfigurationList(sub.file);
            } else if (marker == "DEMO") {
                view_.ShowPanel(Panel::Receipt, sub.caption);
                if (gDemoLoader) gDemoLoader(sub.file);
                else Display("This program has no receipt demo panel: " + sub.file);
            } else if (marker == "PTRLOAD") {
                NestingGuard nesting;
                if (nesting.TooDeep()) {
                    Display("Printer catalogues nested too deeply: " + sub.file);
                    return;
                }
                LoadPrinters(sub.file);
                ProcessMain(0);
            } else {
                Display("Invalid configuration file");
            }
            return;
        }
        view_.ShowPanel(Panel::Script, sub.caption);
        const std::string folder = NativePath(sub.folder);
        std::error_code ec;
        if (!std::filesystem::is_directory(folder, ec)) Raise(err::PathNotFound);
        view_.ShowFolder(folder);
        const std::string pattern = PatternForType(sub.type);
        if (pattern.empty()) Display("Unsupported file type in configuration file");
        else view_.SetFilePattern(pattern);
    } catch (...) {
        Display(FailureLine("frmMain, ProcessSubFcn Error: ") + " [" +
                gsCurrentConfigFile + "]");
    }
}

void Catalogue::DisplayConfigurationList(const std::string& fileName) {
    try {
        view_.ClearCommands();
        commands_.clear();
        const std::string numConfig = ReadValue("Configure", "NumConfig", fileName);
        if (numConfig.empty() || numConfig.size() == 4) {
            Display("Invalid Section name or number key in Configuration List File");
            return;
        }
        const std::string countField = Field(1, numConfig);
        if (countField.empty()) {
            Display("Invalid count in configuration file");
            return;
        }
        // The records grow with the list, so both hold the same entries when a line stops
        // the reading.
        const int16_t count = LeadingNumber(countField);
        for (int i = 1; i <= count; ++i) {
            const std::string entry = ReadValue("Configure", "CA" + CStr(i), fileName);
            if (entry.size() < 5) {
                Display("Error in Configuration List File");
                return;
            }
            const std::string description = Field(1, entry);
            CommandRecord record{Field(2, entry), Field(3, entry)};
            if (description.empty() || record.command.empty() || record.inputCount.empty()) {
                Display("Invalid parameter in configuration List File");
                return;
            }
            view_.AddCommand(description);
            commands_.push_back(std::move(record));
        }
    } catch (...) {
        Display(FailureLine("frmMain, DisplayConfigurationList Error: "));
    }
}

void Catalogue::lstCmds_Click(long listIndex) {
    if (listIndex < 0 || listIndex >= commands_.size()) return;
    const CommandRecord& record = commands_(listIndex + 1);
    view_.SetCommand(record.command, record.inputCount);
    view_.FocusSend();
}

void Catalogue::lstCmds_DblClick(long listIndex) {
    if (listIndex < 0 || listIndex >= commands_.size()) return;
    lstCmds_Click(listIndex);
    if (send_) send_();
    view_.FocusSend();
}

void Catalogue::SetCurrentFolder(const std::string& folder) {
    if (chosenSub_ >= 0 && chosenSub_ < subCount_) subs_[chosenSub_].folder = folder;
}

void Catalogue::CommonINI(const std::string& fileName) {
    try {
        const std::string marker = IniTypeMarker(fileName);
        if (marker == "NONE") {
            Display("Invalid configuration file");
            return;
        }
        const std::string type = UCase(marker);
        if (type == "PTRLOAD") {
            LoadPrinters(fileName);
            ProcessMain(0);
        } else if (type == "NVRAM") {
            OpenConfiguration(fileName, "");
        } else if (type == "NVRDIR") {
            std::string dataFile = ReadValue("RQTYPE", "RQFILE", fileName);
            if (dataFile == "NONE") {
                Display("Error in NVR configuration file");
                return;
            }
            if (!GetCompletePath(dataFile, fileName)) {
                Display(gsFileErr);
                return;
            }
            OpenConfiguration(fileName, dataFile);
        } else {
            Display("This INI file type not appropriate here");
        }
    } catch (...) {
        Display(FailureLine("frmMain, CommonINI Error: ", ": "));
    }
}

}  // namespace posbench
