#pragma once
// The headless runner's stand-ins for the main window: the status list prints each line as it
// is added, the views hold plain values, and download progress goes to a terminal's stderr.
#include <cstdint>
#include <string>
#include <vector>

#include "app/PlainMainWindowView.h"
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
class PortResponseBox : public IResponseBox {
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

// The main window's view with the response box of every port: a reply the window logic shows or
// clears lands in the box of the port being served.
class CliMainWindowView : public PlainMainWindowView {
public:
    void SetResponseText(const std::string& text) override { responses.SetText(text); }

    PortResponseBox responses;
};

}  // namespace posbench::cli
