#include "app/ReceiptDemo.h"

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

namespace {

// A value of the demo file, "NONE" when it is missing or empty.
std::string Read(const std::string& section, const std::string& key, const std::string& file) {
    const std::string value = GetPrivateProfileString(section, key, "NONE", file);
    return value.empty() ? "NONE" : value;
}

// Field `index` of a comma-separated value; empty when it is missing.
std::string Field(int16_t index, const std::string& value) {
    if (!GetParameter(index, ",", false, value)) return "";
    return Trim(gsResult);
}

int Position(const std::string& field) { return CInt(Val(field)); }

}  // namespace

void ReceiptDemo::Load(const std::string& fileName) {
    try {
        view_.ClearDemo();
        headings_ = 0;
        scripts_.clear();
        capNoticed_ = false;
        const std::string section = Read("Section", "SName", fileName);
        if (section == "NONE") {
            Display("Invalid Demo configuration file");
            return;
        }
        const std::string headingList = Read(section, "NumHeadings", fileName);
        if (headingList == "NONE") {
            Display("Invalid Demo configuration file");
            return;
        }
        section_ = section;
        ProcessSubSection("Section", headingList, fileName);
    } catch (...) {
        Display(ErrorLine("frmMain, Receipt Demo Error: ", CurrentRuntimeError()));
    }
}

bool ReceiptDemo::ProcessSubSection(const std::string& /*label*/, const std::string& headingList,
                                    const std::string& fileName) {
    try {
        const std::string countField = Field(1, headingList);
        if (countField.empty()) return true;
        const int16_t count = CInt(Val(countField));
        for (int16_t h = 0; h < count; ++h) {
            if (headings_ >= kMaxDemoHeadings) {
                Display("Demo cut: the panel holds at most " + CStr(kMaxDemoHeadings) + " headings");
                return false;
            }
            const std::string heading = Read(section_, Field(static_cast<int16_t>(h + 2), headingList), fileName);
            if (heading == "NONE") {
                Display("Invalid line in Demo configuration file");
                return false;
            }
            const std::string caption = Field(1, heading);
            const std::string left = Field(2, heading);
            const std::string top = Field(3, heading);
            const std::string keyId = Field(4, heading);
            const char* problem = caption.empty() ? "Invalid heading in configuration file"
                                  : left.empty()  ? "Invalid heading left position in configuration file"
                                  : top.empty()   ? "Invalid heading top position in configuration file"
                                  : keyId.empty() ? "Invalid KeyID in configuration file"
                                                  : nullptr;
            if (problem) {
                Display(problem);
                return false;
            }
            view_.AddHeading(headings_, caption, Position(left), Position(top));
            const std::string buttons = Read(section_, keyId, fileName);
            if (buttons == "NONE") {
                Display("Invalid line in Demo configuration file");
                return false;
            }
            if (!ProcessFcnKeys(section_, buttons, fileName)) return false;
            ++headings_;
        }
        return true;
    } catch (...) {
        Display(ErrorLine("frmMain, Receipt Demo Error: ", CurrentRuntimeError()));
        return false;
    }
}

bool ReceiptDemo::ProcessFcnKeys(const std::string& section, const std::string& buttonList,
                                 const std::string& fileName) {
    try {
        const int16_t count = CInt(Val(Field(1, buttonList)));
        for (int16_t b = 0; b < count; ++b) {
            if (ButtonCount() >= kMaxDemoButtons) {
                Display("Demo cut: the panel holds at most " + CStr(kMaxDemoButtons) + " buttons");
                return false;
            }
            const std::string button = Read(section, Field(static_cast<int16_t>(b + 2), buttonList), fileName);
            if (button == "NONE") {
                Display("Invalid button definition in Demo configuration file");
                return false;
            }
            const std::string caption = Field(1, button);
            const std::string left = Field(2, button);
            const std::string top = Field(3, button);
            const std::string script = Field(4, button);
            // A button without its script would do nothing when pressed: it is not placed.
            const char* problem = caption.empty() ? "Invalid button caption in configuration file"
                                  : left.empty()  ? "Invalid button left position in configuration file"
                                  : top.empty()   ? "Invalid button top position in configuration file"
                                  : script.empty() ? "Invalid Demo script file in configuration file"
                                                   : nullptr;
            if (problem) {
                Display(problem);
                return false;
            }
            view_.AddButton(ButtonCount(), caption, Position(left), Position(top));
            scripts_.push_back(script);
        }
        return true;
    } catch (...) {
        Display(ErrorLine("frmMain, Receipt Demo Error: ", CurrentRuntimeError()));
        return false;
    }
}

void ReceiptDemo::btnFcns_Click(int16_t index) {
    try {
        if (index < 0 || index >= ButtonCount()) Raise(err::SubscriptOutOfRange);
        std::string name = scripts_[static_cast<std::size_t>(index)];
        std::error_code ec;
        if (!GetCompletePath(name, gsProgramDir + "/") ||
            !std::filesystem::is_regular_file(NativePath(name), ec)) {
            Display("Invalid Demo script file name");
            return;
        }
        if (send_) send_(NativePath(name));
    } catch (...) {
        Display(ErrorLine("frmMain, btnFcsn Error: ", CurrentRuntimeError()));
    }
}

}  // namespace posbench
