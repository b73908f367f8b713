#pragma once
// The headless runner's stand-ins for the main window: the status list prints each line as it
// is added, the views hold plain values, and download progress goes to a terminal's stderr.
#include <cstdint>
#include <string>
#include <vector>

#include "base/Views.h"

namespace posbench::cli {

class TerminalProgress;

// Prints every status line on standard output as it is added.
class PrintingStatusList : public IStatusList {
public:
    void AddItem(const std::string& line) override;
    long ListCount() const override { return static_cast<long>(lines_.size()); }
    void RemoveItem(long index) override;
    void SetListIndex(long) override {}
    void Refresh() override {}
    std::string Item(long index) const override;

    // The progress line on stderr is ended before a status line is printed.
    void SetProgress(TerminalProgress* progress) { progress_ = progress; }

private:
    std::vector<std::string> lines_;
    TerminalProgress* progress_ = nullptr;
};

// Download progress as one rewritten line on stderr (only when stderr is a terminal).
class TerminalProgress : public IProgress {
public:
    explicit TerminalProgress(bool show) : show_(show) {}
    void DownloadProgress(int16_t port, const std::string& what, int64_t bytesDone,
                          int64_t bytesTotal, int64_t blocksDone, int64_t blocksTotal) override;
    void DownloadEnded(int16_t port, bool ok) override;
    // Ends the progress line so that other output starts on a line of its own.
    void BreakLine();

private:
    bool show_;
    bool lineOpen_ = false;
};

}  // namespace posbench::cli
