// The report interpreter of the configuration window: the raw data file becomes the
// configuration image, and each definition line reads, computes, compares, stores or reports.
#include <filesystem>
#include <system_error>

#include "base/File.h"
#include "base/Ini.h"
#include "base/Numbers.h"
#include "base/RuntimeError.h"
#include "base/StringOps.h"
#include "base/Text.h"
#include "base/Views.h"
#include "comm/CommGlobals.h"
#include "comm/PortRequests.h"
#include "config/ConfigWindow.h"
#include "script/StateMachine.h"

namespace posbench {
namespace {

constexpr long kLabelWidth = 27;
constexpr int16_t kFields = 5;
// Far beyond any printer's NVRAM; a larger "data file" is not configuration data.
constexpr int32_t kMaxDataBytes = 16 << 20;

// A definition line whose procedure has shown its error line: the rest of the line is skipped.
struct LineAbandoned {};

// Runs body; a run-time error becomes the procedure's error line and abandons the line.
template <typename Body>
auto Guarded(IConfigView& view, const char* prefix, Body body) -> decltype(body()) {
    try {
        return body();
    } catch (const LineAbandoned&) {
        throw;
    } catch (...) {
        view.AddLine(ErrorLine(prefix, CurrentRuntimeError(), " "));
        throw LineAbandoned{};
    }
}

uint8_t ImageByte(const std::string& image, int64_t offset) {
    if (offset < 0 || offset >= static_cast<int64_t>(image.size())) Raise(err::SubscriptOutOfRange);
    return static_cast<uint8_t>(image[static_cast<std::size_t>(offset)]);
}

std::string Label27(const std::string& label) { return Left(label + Repeat(' ', kLabelWidth), kLabelWidth); }

std::string ReportLine(const std::string& label, const std::string& value) {
    return "  " + Label27(label) + value;
}

// The configuration image from the raw data, by the layouts the printers send (recognised by
// their exact length): banks first, then the header; any other length is used as it is.
std::string ImageFromRaw(const std::string& raw) {
    const auto bank = [&raw](std::size_t at) { return raw.substr(at, 256); };
    switch (raw.size()) {
        case 261: return bank(3);
        case 522: return bank(3) + bank(264);
        case 285: return bank(27) + raw.substr(0, 27);
        case 546: return bank(27) + bank(288) + raw.substr(0, 27);
        case 286: return bank(28) + raw.substr(0, 28);
        case 547: return bank(28) + bank(289) + raw.substr(0, 28);
        default: return raw;
    }
}

// A handle of OpenFile, closed however the block that holds it is left.
struct OpenedFile {
    explicit OpenedFile(int16_t h) : handle(h) {}
    ~OpenedFile() { CloseFile(handle); }
    OpenedFile(const OpenedFile&) = delete;
    OpenedFile& operator=(const OpenedFile&) = delete;
    int16_t handle;
};

// One file however it is spelled: both resolve to the same file on disk.
bool SameFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    const std::filesystem::path pa = NativePath(a), pb = NativePath(b, true);
    if (std::filesystem::equivalent(pa, pb, ec)) return true;
    return std::filesystem::weakly_canonical(pa, ec) == std::filesystem::weakly_canonical(pb, ec) && !ec;
}

}  // namespace

void AddConfigListLine(IStatusList& list, const std::string& line) {
    if (line.empty()) {
        list.AddItem("  ");
    } else {
        for (std::size_t at = 0; at < line.size(); at += kConfigListWidth)
            list.AddItem(line.substr(at, kConfigListWidth));
    }
    list.SetListIndex(list.ListCount() - 1);
    list.SetListIndex(-1);
    while (list.ListCount() >= kConfigListBound) list.RemoveItem(0);
}

int32_t ConfigIn::ConvToNum(const std::string& image, const std::string& text) {
    return Guarded(view_, "frmMain, ConvToNum Error: ", [&]() -> int32_t {
        if (Left(text, 1) == "[") {
            for (const auto& [name, value] : variables_)
                if (name == text) return value;
            return 0;
        }
        if (Left(text, 1) == "=") return CLng(Val(Mid(text, 2)));
        return ImageByte(image, CLng(Val(text)));
    });
}

int32_t ConfigIn::GetNumber(const std::string& image, int32_t offset, int32_t count) {
    return Guarded(view_, "frmMain, GetNumber Error: ", [&]() -> int32_t {
        int64_t value = 0;
        for (int32_t i = 0; i < count; ++i) {
            const uint8_t byte = ImageByte(image, static_cast<int64_t>(offset) + i);
            if (i >= 4) {
                if (byte != 0) Raise(err::Overflow);
                continue;
            }
            value = ToLong(value + (static_cast<int64_t>(byte) << (8 * i)));
        }
        return static_cast<int32_t>(value);
    });
}

std::string ConfigIn::GetHexString(const std::string& image, int32_t offset, int32_t count) {
    return Guarded(view_, "frmMain, GetHexString Error: ", [&] {
        std::string text;
        for (int32_t i = 0; i < count; ++i)
            text += Hex2(ImageByte(image, static_cast<int64_t>(offset) + i)) + " ";
        return text;
    });
}

void ConfigIn::Store(const std::string& name, int32_t value) {
    for (auto& entry : variables_) {
        if (entry.first == name) {
            entry.second = value;
            return;
        }
    }
    variables_.emplace_back(name, value);
}

void ConfigIn::OutputOrSave(int16_t port, const std::string& image, const std::string& label,
                            const std::string& text, int32_t value) {
    Guarded(view_, "frmMain, OutputOrSave Error: ", [&] {
        if (Left(label, 1) == "[") {
            Store(label, text.empty() ? value : ConvToNum(image, text));
            return;
        }
        OutputOrSave(port, ReportLine(label, text.empty() ? CStr(static_cast<int64_t>(value)) : text));
    });
}

void ConfigIn::OutputOrSave(int16_t /*port*/, const std::string& line) {
    Guarded(view_, "frmMain, OutputOrSave Error: ", [&] {
        Show(line);
        if (saved_) *saved_ += line + "\n";
        if (view_.PrintChecked() && !WriteReadOk(line + "\n", 0, false, in_.port))
            Show("Error printing configuration line");
    });
}

void ConfigIn::ProcessConfigEntry(int16_t port, const std::string& image, const std::string& line) {
    try {
        std::string field[kFields];
        for (int16_t i = 0; i < kFields; ++i) {
            if (!GetParameter(static_cast<int16_t>(i + 1), ",", false, line) || gsResult.empty()) {
                Show("Invalid entry in the print configuration definition file");
                return;
            }
            field[i] = gsResult;
        }
        const std::string command = UCase(field[0]);
        const std::string& label = field[1];
        const std::string& opA = field[2];
        const std::string& opB = field[3];
        const std::string& message = field[4];
        const auto a = [&] { return ConvToNum(image, opA); };
        const auto b = [&] { return ConvToNum(image, opB); };
        const auto valueForm = [&](int64_t value) { OutputOrSave(port, image, label, "", ToLong(value)); };
        const auto condition = [&](bool holds) {
            if (holds) OutputOrSave(port, image, label, message, 0);
        };

        if (command == "TEXT") {
            const int32_t offset = CLng(Val(opA));
            const int32_t count = CLng(Val(Mid(opB, 2)));
            std::string text;
            for (int32_t i = 0; i < count; ++i)
                text += static_cast<char>(ImageByte(image, static_cast<int64_t>(offset) + i));
            OutputOrSave(port, ReportLine(label, text));
        } else if (command == "MUL") {
            valueForm(static_cast<int64_t>(a()) * b());
        } else if (command == "ADD") {
            valueForm(static_cast<int64_t>(a()) + b());
        } else if (command == "SUB") {
            valueForm(static_cast<int64_t>(a()) - b());
        } else if (command == "DIV") {
            const int32_t dividend = a(), divisor = b();
            if (divisor == 0) Raise(err::DivisionByZero);
            valueForm(CLng(static_cast<double>(dividend) / divisor));
        } else if (command == "COND=") {
            condition(a() == b());
        } else if (command == "COND<>") {
            condition(a() != b());
        } else if (command == "COND<") {
            condition(a() < b());
        } else if (command == "COND>") {
            condition(a() > b());
        } else if (command == "MASK") {
            valueForm(a() & b());
        } else if (command == "NUMB") {
            const int32_t offset = CLng(Val(opA));
            valueForm(GetNumber(image, offset, b()));
        } else if (command == "HEX") {
            const int32_t offset = CLng(Val(opA));
            OutputOrSave(port, ReportLine(label, GetHexString(image, offset, b())));
        } else if (command == "VALUE") {
            OutputOrSave(port, ReportLine(label, CStr(static_cast<int64_t>(a()))));
        } else if (command == "FORMAT") {
            if (!view_.PrintChecked()) return;
            if (!ProcessData(label)) {
                Show(gsTextErr);
            } else if (!WriteReadOk(gsResult, 0, false, in_.port)) {
                Show("Error sending format to printer");
            }
        } else if (command == "MSG") {
            OutputOrSave(port, label);
        } else if (command == "CLEAR") {
            variables_.clear();
        } else if (command == "NOP") {
        } else {
            Show("unknown Command in print configuration file");
        }
    } catch (const LineAbandoned&) {
    } catch (...) {
        Show(ErrorLine("frmMain, ProcessConfigEntry Error: ", CurrentRuntimeError(), " "));
    }
}

bool ConfigIn::ReadWhole(const std::string& name, std::string& bytes) {
    if (!OpenFile(name, open_mode::BinaryRead)) {
        Show(gsFileErr);
        return false;
    }
    const OpenedFile file(giFileNum);
    const int32_t length = FileLen(file.handle);
    if (length > kMaxDataBytes) Raise(err::OutOfMemory);
    bytes = ReadBytes(file.handle, length);
    return true;
}

bool ConfigIn::MakeImage(const std::string& dataFile, const std::string& imageFile) {
    std::string raw;
    if (!ReadWhole(dataFile, raw)) return false;
    std::error_code ec;
    std::filesystem::remove(NativePath(imageFile), ec);
    if (!OpenFile(imageFile, open_mode::BinaryWrite)) {
        Show(gsFileErr);
        return false;
    }
    const OpenedFile image(giFileNum);
    WriteBytes(image.handle, ImageFromRaw(raw));
    return true;
}

bool ConfigIn::RunReport() {
    const std::string dataFile = in_.dataFile.empty() ? gsProgramDir + "/nvTemp.dat" : in_.dataFile;
    const std::string definition = definition_;
    if (!CheckPath(definition)) {
        Show("Invalid file specification - " + definition);
        return false;
    }
    const std::string imageFile = gsSplitName + "tmpNVRAM.dat";
    if (in_.port >= 1 && in_.port <= kMaxPorts) gbStop(in_.port) = false;
    view_.ClearLines();
    variables_.clear();

    if (!SameFile(dataFile, imageFile) && !MakeImage(dataFile, imageFile)) return false;
    if (view_.SaveChecked() && !saveFile_.empty()) saved_.emplace();
    std::string image;
    if (!ReadWhole(imageFile, image)) return false;

    const std::string numLines = GetPrivateProfileString("NVRAM", "NumLines", "NONE", definition);
    if (numLines.empty() || numLines.size() == 4) {
        Show("Configuration File Error");
        return false;
    }
    const int32_t count = CLng(Val(numLines));
    for (int32_t i = 1; i <= count; ++i) {
        const std::string line =
            GetPrivateProfileString("NVRAM", "NV" + CStr(static_cast<int64_t>(i)), "NONE", definition);
        if (line.empty() || line.size() == 4) {
            Show("Error in print configuration file");
            return false;
        }
        ProcessConfigEntry(in_.port, image, line);
    }
    if (saved_ && !ReplaceFileAtomically(NativePath(saveFile_, true), *saved_)) {
        Show("Unable to save the report as " + saveFile_);
        return false;
    }
    return true;
}

bool ConfigIn::ProcessConfigFile(int16_t port, bool /*stop*/) {
    bool completed = false;
    saved_.reset();
    try {
        completed = SwitchFlowBack(port) && RunReport();
    } catch (...) {
        Show(ErrorLine("frmMain, ProcessConfigFile Error: ", CurrentRuntimeError(), " "));
        completed = false;
    }
    saved_.reset();
    Finish(port, completed);
    return completed;
}

}  // namespace posbench
