#pragma once
// The main window's view as plain values, for the headless runner (which has no window) and for
// the tests of the window logic: what the user would have typed or chosen is set directly, and
// what the logic shows is kept to be read back.
#include <string>
#include <vector>

#include "app/MainWindowView.h"
#include "base/Views.h"

namespace posbench {

class TextResponseBox : public IResponseBox {
public:
    void SetText(const std::string& text) override { text_ = text; }
    std::string Text() const override { return text_; }

private:
    std::string text_;
};

// The script panel (file mode) or the command panel is shown as `commandPanel` says. A list
// index outside the list is "Subscript out of range", as in the window.
class PlainMainWindowView : public IMainWindowView {
public:
    long PortListIndex() const override { return index; }
    void SetPortListIndex(long i) override { index = i; }
    long PortListCount() const override { return static_cast<long>(ports.size()); }
    std::string PortListItem(long i) const override;
    void ClearPortList() override {
        ports.clear();
        index = -1;
    }
    void AddPortListItem(const std::string& text) override { ports.push_back(text); }

    bool ScriptPanelShown() const override { return !commandPanel; }
    bool CommandPanelShown() const override { return commandPanel; }
    std::string FileName() const override { return fileName; }

    std::string CommandText() const override { return command; }
    long CommandItemCount() const override { return static_cast<long>(history.size()); }
    std::string CommandItem(long i) const override;
    void AddCommandItem(const std::string& text) override { history.push_back(text); }
    std::string InCountText() const override { return inCount; }
    void SetInCountText(const std::string& text) override { inCount = text; }

    std::string InputText() const override { return input; }
    void SetInputText(const std::string& text) override { input = text; }
    void SetResponseText(const std::string& text) override { response.SetText(text); }
    void HideThumbnail() override {}

    long index = -1;
    std::vector<std::string> ports;
    std::vector<std::string> history;
    bool commandPanel = false;
    std::string fileName;
    std::string command;
    std::string inCount;
    std::string input;
    TextResponseBox response;
};

}  // namespace posbench
