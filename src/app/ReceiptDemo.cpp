#include "app/ReceiptDemo.h"

#include <array>
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

// A heading or button line: caption, left, top and its key ID or script, all four present.
struct Control {
    std::string caption, left, top, target;
};

// The line's four fields, or the message of the first one missing shown and false.
bool ReadControl(const std::string& line, const std::array<const char*, 4>& missing, Control& out) {
    out = Control{Field(1, line), Field(2, line), Field(3, line), Field(4, line)};
    const std::string* fields[] = {&out.caption, &out.left, &out.top, &out.target};
    for (std::size_t i = 0; i < 4; ++i) {
        if (fields[i]->empty()) {
            Display(missing[i]);
            return false;
        }
    }
    return true;
}

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
        Display(FailureLine("frmMain, Receipt Demo Error: "));
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
            Control c;
            if (!ReadControl(heading,
                             {"Invalid heading in configuration file",
                              "Invalid heading left position in configuration file",
                              "Invalid heading top position in configuration file",
                              "Invalid KeyID in configuration file"},
                             c))
                return false;
            view_.AddHeading(headings_, c.caption, Position(c.left), Position(c.top));
            const std::string buttons = Read(section_, c.target, fileName);
            if (buttons == "NONE") {
                Display("Invalid line in Demo configuration file");
                return false;
            }
            if (!ProcessFcnKeys(section_, buttons, fileName)) return false;
            ++headings_;
        }
        return true;
    } catch (...) {
        Display(FailureLine("frmMain, Receipt Demo Error: "));
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
            // A button without its script would do nothing when pressed: it is not placed.
            Control c;
            if (!ReadControl(button,
                             {"Invalid button caption in configuration file",
                              "Invalid button left position in configuration file",
                              "Invalid button top position in configuration file",
                              "Invalid Demo script file in configuration file"},
                             c))
                return false;
            view_.AddButton(ButtonCount(), c.caption, Position(c.left), Position(c.top));
            scripts_.push_back(c.target);
        }
        return true;
    } catch (...) {
        Display(FailureLine("frmMain, Receipt Demo Error: "));
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
        Display(FailureLine("frmMain, btnFcsn Error: "));
    }
}

}  // namespace posbench
