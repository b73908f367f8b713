#include "config/CommandTable.h"

#include <cctype>

#include "base/Ini.h"
#include "base/Numbers.h"
#include "base/RuntimeError.h"
#include "base/StringOps.h"
#include "base/Text.h"

namespace posbench {
namespace {

constexpr const char* kSection = "Configure";

std::string Read(const std::string& key, const std::string& file) {
    return GetPrivateProfileString(kSection, key, "NONE", file);
}

bool Missing(const std::string& value) { return value.empty() || value.size() == 4; }

std::string Key(long i) { return "CA" + CStr(static_cast<int64_t>(i)); }

// Field index of a comma-separated value; empty when it cannot be taken.
std::string Field(int16_t index, const std::string& value) {
    return GetParameter(index, ",", false, value) ? gsResult : std::string();
}

bool WholeNumber(const std::string& text) {
    const std::string t = Trim(text);
    if (t.empty() || t.size() > 9) return false;
    for (char c : t)
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    return true;
}

}  // namespace

void ConfigMaint::DisplayList(const std::string& fileName) {
    try {
        file_ = fileName;
        complete_ = false;
        entries_.clear();
        view_.ClearCommands();
        const std::string count = Read("NumConfig", fileName);
        const std::string first = Missing(count) ? "" : Field(1, count);
        if (first.empty()) {
            view_.AddStatus("Configuration File Error");
            return;
        }
        const long n = CLng(Val(first));
        for (long i = 1; i <= n; ++i) {
            const std::string value = Read(Key(i), fileName);
            if (Missing(value)) {
                view_.AddStatus("Configuration File Error");
                return;
            }
            Entry entry{Field(1, value), Field(2, value), Field(3, value)};
            view_.AddCommand(entry.description);
            if (entry.command.empty() || entry.input.empty()) {
                view_.AddStatus("Invalid parameter in configuration List File");
                return;
            }
            entries_.push_back(std::move(entry));
        }
        complete_ = true;
        if (!entries_.empty()) {
            view_.SelectCommand(0);
            lstCommands_Click(0);
        }
    } catch (...) {
        view_.AddStatus(ErrorLine("frmConfigMaint, DisplayList Error: ", CurrentRuntimeError(), " "));
    }
}

void ConfigMaint::lstCommands_Click(long index) {
    if (index < 0 || static_cast<std::size_t>(index) >= entries_.size()) return;
    const Entry& entry = entries_[static_cast<std::size_t>(index)];
    view_.SetFields(entry.description, entry.command, entry.input);
}

bool ConfigMaint::EditAllowed(bool needSelection, long& selected) {
    if (!complete_) {
        view_.AddStatus("The list did not load completely: mend the file before editing it");
        return false;
    }
    selected = view_.SelectedCommand() + 1;
    if (needSelection && (selected < 1 || static_cast<std::size_t>(selected) > entries_.size())) {
        view_.AddStatus("Select an entry first");
        return false;
    }
    return true;
}

bool ConfigMaint::NewValue(std::string& value) {
    const std::string description = view_.Description();
    const std::string command = view_.Command();
    const std::string input = view_.Input();
    if (description.empty() || command.empty() || input.empty()) {
        view_.AddStatus("Missing command or description");
        return false;
    }
    if (InStr(description, ",") > 0 || InStr(command, ",") > 0) {
        view_.AddStatus("A description or command may not contain a comma");
        return false;
    }
    if (!ProcessData(command)) {
        view_.AddStatus("Invalid Command String");
        return false;
    }
    if (!WholeNumber(input)) {
        view_.AddStatus("Input must be a whole number of reply bytes");
        return false;
    }
    value = description + ", " + command + ", " + Trim(input);
    return true;
}

bool ConfigMaint::ReadCount(long& count) {
    const std::string value = Read("NumConfig", file_);
    if (Missing(value)) {
        view_.AddStatus("Configuration File Error");
        return false;
    }
    count = CLng(Val(Field(1, value)));
    return true;
}

bool ConfigMaint::WriteSection(const std::vector<std::string>& values) {
    std::vector<std::string> lines{"NumConfig=" + CStr(static_cast<int64_t>(values.size()))};
    for (std::size_t i = 0; i < values.size(); ++i)
        lines.push_back(Key(static_cast<long>(i + 1)) + "=" + values[i]);
    if (WritePrivateProfileSection(kSection, lines, file_)) return true;
    view_.AddStatus("Error writing new configuration File");
    return false;
}

void ConfigMaint::Edit(const char* name, const char* done, const std::function<bool()>& body) {
    try {
        if (!body()) return;
        DisplayList(file_);
        view_.AddStatus(done);
    } catch (...) {
        view_.AddStatus(ErrorLine(std::string("frmConfigMaint, ") + name + " Error: ", CurrentRuntimeError(), " "));
    }
}

std::vector<std::string> ConfigMaint::Rewritten(long selected, const std::string* inserted) const {
    std::vector<std::string> values;
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        if (static_cast<long>(i + 1) == selected) {
            if (inserted == nullptr) continue;  // the entry deleted
            values.push_back(*inserted);
        }
        values.push_back(entries_[i].Value());
    }
    return values;
}

void ConfigMaint::AppendKey() {
    Edit("AppendKey", "Key successfully appended", [this] {
        long selected = 0, n = 0;
        std::string value;
        if (!EditAllowed(false, selected) || !NewValue(value) || !ReadCount(n)) return false;
        ++n;
        // The entry first: should the count fail to follow, the file still reads as before.
        if (!WritePrivateProfileString(kSection, Key(n), value, file_) ||
            !WritePrivateProfileString(kSection, "NumConfig", CStr(static_cast<int64_t>(n)), file_)) {
            view_.AddStatus("Error writing new configuration File");
            return false;
        }
        return true;
    });
}

void ConfigMaint::InsertKey() {
    Edit("InsertKey", "Key successfully Inserted", [this] {
        long selected = 0, n = 0;
        std::string value;
        if (!EditAllowed(true, selected) || !NewValue(value) || !ReadCount(n)) return false;
        return WriteSection(Rewritten(selected, &value));
    });
}

void ConfigMaint::ReplaceKey() {
    Edit("ReplaceKey", "Key successfully replaced", [this] {
        long selected = 0;
        std::string value;
        if (!EditAllowed(true, selected) || !NewValue(value)) return false;
        if (WritePrivateProfileString(kSection, Key(selected), value, file_)) return true;
        view_.AddStatus("Error writing new configuration File");
        return false;
    });
}

void ConfigMaint::DeleteKey() {
    Edit("DeleteKey", "Key successfully removed", [this] {
        long selected = 0, n = 0;
        if (!EditAllowed(true, selected) || !ReadCount(n)) return false;
        if (n < 2) {
            view_.AddStatus("Unable to delete last key");
            return false;
        }
        return WriteSection(Rewritten(selected, nullptr));
    });
}

}  // namespace posbench
