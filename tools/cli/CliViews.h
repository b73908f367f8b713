#pragma once
// The headless runner's stand-ins for the main window: the status list prints each line as it
// is added, the views hold plain values, and download progress goes to a terminal's stderr.
#include <cstdint>
#include <string>
#include <vector>

#include "app/MainWindowView.h"
#include "base/PerPort.h"
#include "base/Views.h"

namespace posbench::cli {

class CliOutput;
class TerminalProgress;

// Prints every status line as it is added, with the port whose work wrote it.
class PrintingStatusList : public IStatusList {
public:
    explicit PrintingStatusList(CliOutput& output) : output_(output) {}
    void AddItem(const std::string& line) override;
    long ListCount() const override { return static_cast<long>(lines_.size()); }
    void RemoveItem(long index) override;
    void SetListIndex(long) override {}
    void Refresh() override {}
    std::string Item(long index) const override;

    // The progress line on stderr is ended before a status line is printed.
    void SetProgress(TerminalProgress* progress) { progress_ = progress; }

private:
    CliOutput& output_;
    std::vector<std::string> lines_;
    TerminalProgress* progress_ = nullptr;
};

// The response box, one per port: the engine shows a port's reply while serving that port.
class TextResponseBox : public IResponseBox {
public:
    void SetText(const std::string& text) override;
    std::string Text() const override;
    std::string Text(int16_t port) const { return text_(port); }
    void Clear(int16_t port) { text_(port).clear(); }

private:
    PerPort<std::string> text_;
};

// Download progress as one rewritten line on stderr (only when stderr is a terminal) or as
// events (--json).
class TerminalProgress : public IProgress {
public:
    TerminalProgress(bool show, CliOutput& output) : show_(show), output_(output) {}
    void DownloadProgress(int16_t port, const std::string& what, int64_t bytesDone,
                          int64_t bytesTotal, int64_t blocksDone, int64_t blocksTotal) override;
    void DownloadEnded(int16_t port, bool ok) override;
    // Ends the progress line so that other output starts on a line of its own.
    void BreakLine();

private:
    bool show_;
    CliOutput& output_;
    bool lineOpen_ = false;
};

// The main window with the script panel (file mode) or the command panel shown.
class CliMainWindowView : public IMainWindowView {
public:
    long PortListIndex() const override { return index_; }
    void SetPortListIndex(long index) override { index_ = index; }
    long PortListCount() const override { return static_cast<long>(ports_.size()); }
    std::string PortListItem(long index) const override;
    void ClearPortList() override {
        ports_.clear();
        index_ = -1;
    }
    void AddPortListItem(const std::string& text) override { ports_.push_back(text); }

    bool ScriptPanelShown() const override { return !commandPanel; }
    bool CommandPanelShown() const override { return commandPanel; }
    std::string FileName() const override { return fileName; }

    std::string CommandText() const override { return command; }
    long CommandItemCount() const override { return static_cast<long>(history_.size()); }
    std::string CommandItem(long index) const override;
    void AddCommandItem(const std::string& text) override { history_.push_back(text); }
    std::string InCountText() const override { return inCount; }
    void SetInCountText(const std::string& text) override { inCount = text; }

    std::string InputText() const override { return input; }
    void SetInputText(const std::string& text) override { input = text; }
    void SetResponseText(const std::string& text) override { response.SetText(text); }
    void HideThumbnail() override {}

    bool commandPanel = false;
    std::string fileName;
    std::string command;
    std::string inCount;
    std::string input;
    TextResponseBox response;

private:
    long index_ = -1;
    std::vector<std::string> ports_;
    std::vector<std::string> history_;
};

}  // namespace posbench::cli
