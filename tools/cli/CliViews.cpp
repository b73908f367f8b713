#include "CliViews.h"

#include <cstdio>

#include "CliOutput.h"
#include "base/Display.h"
#include "base/RuntimeError.h"

namespace posbench::cli {

void PrintingStatusList::AddItem(const std::string& line) {
    if (progress_) progress_->BreakLine();
    const int16_t port = DisplayPort();
    output_.Status(port, line);
    lines_.push_back(line);
}

void PortResponseBox::SetText(const std::string& text) {
    const int16_t port = DisplayPort();
    if (port >= 1 && port <= kMaxPorts) text_(port) = text;
}

std::string PortResponseBox::Text() const {
    const int16_t port = DisplayPort();
    return port >= 1 && port <= kMaxPorts ? text_(port) : std::string();
}

void PrintingStatusList::RemoveItem(long index) {
    if (index < 0 || index >= ListCount()) Raise(err::SubscriptOutOfRange);
    lines_.erase(lines_.begin() + index);
}

std::string PrintingStatusList::Item(long index) const {
    if (index < 0 || index >= ListCount()) Raise(err::SubscriptOutOfRange);
    return lines_[static_cast<std::size_t>(index)];
}

void TerminalProgress::DownloadProgress(int16_t port, const std::string& what, int64_t bytesDone,
                                        int64_t bytesTotal, int64_t blocksDone,
                                        int64_t blocksTotal) {
    output_.Progress(port, what, bytesDone, bytesTotal, blocksDone, blocksTotal);
    if (!show_) return;
    const int percent =
        bytesTotal > 0 ? static_cast<int>(bytesDone * 100 / bytesTotal) : 100;
    std::fprintf(stderr, "\rPort %d %s: %lld of %lld bytes, block %lld of %lld (%d%%)\x1b[K",
                 port, what.c_str(), static_cast<long long>(bytesDone),
                 static_cast<long long>(bytesTotal), static_cast<long long>(blocksDone),
                 static_cast<long long>(blocksTotal), percent);
    std::fflush(stderr);
    lineOpen_ = true;
}

void TerminalProgress::DownloadEnded(int16_t, bool) {
    BreakLine();
}

void TerminalProgress::BreakLine() {
    if (show_ && lineOpen_) {
        std::fputc('\n', stderr);
        std::fflush(stderr);
        lineOpen_ = false;
    }
}

}  // namespace posbench::cli
