#pragma once
// The command table editor's logic (frmConfigMaint, "Configuration Commands Maintenance"): the
// selected model's configuration command list (section [Configure]: NumConfig=n, CA1..CAn =
// "description, command, input count") is shown, and entries are appended, inserted in front of
// the selected one, replaced or deleted. Every change is written to the file at once and the list
// read back from it.
//
// Nothing is lost: a list that did not load completely cannot be edited (a rewrite from it would
// drop the entries after the bad line), a section is rewritten in one atomic write, and values
// that would not read back as written (a comma in a field, an input count that is not a whole
// number) are refused.
#include <functional>
#include <string>
#include <vector>

namespace posbench {

class ICommandTableView {
public:
    virtual ~ICommandTableView() = default;
    // The command list ("Commands"): descriptions in entry order.
    virtual void ClearCommands() = 0;
    virtual void AddCommand(const std::string& description) = 0;
    virtual void SelectCommand(long index) = 0;  // 0-based; -1 for none
    virtual long SelectedCommand() const = 0;
    // The edit frame's three fields.
    virtual std::string Description() const = 0;
    virtual std::string Command() const = 0;
    virtual std::string Input() const = 0;
    virtual void SetFields(const std::string& description, const std::string& command,
                           const std::string& input) = 0;
    // The status list ("Status").
    virtual void AddStatus(const std::string& line) = 0;
};

class ConfigMaint {
public:
    explicit ConfigMaint(ICommandTableView& view) : view_(view) {}

    // Reads the file into the list and selects the first entry.
    void DisplayList(const std::string& fileName);
    void AppendKey();
    void InsertKey();
    void ReplaceKey();
    void DeleteKey();
    // A list entry chosen (0-based): its fields into the edit frame.
    void lstCommands_Click(long index);
    void btnClear_Click() { view_.SetFields("", "", ""); }

    // True when the last DisplayList read every entry the file announces.
    bool Complete() const { return complete_; }

private:
    struct Entry {
        std::string description, command, input;
        std::string Value() const { return description + ", " + command + ", " + input; }
    };
    // The checks every edit shares; the new value in value. needSelection: the edit acts on the
    // selected entry (1-based in selected).
    bool EditAllowed(bool needSelection, long& selected);
    bool NewValue(std::string& value);
    bool ReadCount(long& count);
    // NumConfig and every entry in one atomic write of the section.
    bool WriteSection(const std::vector<std::string>& values);
    // The entries' values with inserted placed before entry selected (1-based), or without
    // that entry when inserted is null.
    std::vector<std::string> Rewritten(long selected, const std::string* inserted) const;
    // One edit: body checks and writes (false: it stopped with its message); after a write the
    // list is read back and done shown; a run-time error is the edit's error line.
    void Edit(const char* name, const char* done, const std::function<bool()>& body);

    ICommandTableView& view_;
    std::string file_;
    std::vector<Entry> entries_;
    bool complete_ = false;
};

}  // namespace posbench
