#pragma once
// The running printer: one medium, the interpreter, the output files and the faults, driven by
// one poll loop that sleeps until a descriptor, a signal or a deadline needs it.
#include <cstdint>
#include <cstdio>
#include <deque>
#include <memory>
#include <string>

#include "Medium.h"
#include "PrinterOptions.h"
#include "PrinterProtocol.h"

namespace posbench::sim {

class PrinterRunner final : public PrinterHost {
public:
    explicit PrinterRunner(PrinterOptions options);  // throws std::runtime_error
    ~PrinterRunner() override;
    PrinterRunner(const PrinterRunner&) = delete;
    PrinterRunner& operator=(const PrinterRunner&) = delete;

    // Serves until SIGTERM or SIGINT (which the caller has blocked); returns the exit status.
    int Run(int signalFd);

    // PrinterHost
    void Send(const Bytes& answer) override;
    void Print(const std::string& text) override;
    void Restart() override;
    void EraseFlash() override;
    void WriteFlash(uint8_t sector, uint32_t offset, const Bytes& data) override;
    void Store(const std::string& name, const Bytes& data) override;
    Bytes ImageData() override;
    Bytes NvramData() override;
    void Note(const std::string& event) override;

private:
    struct Outgoing {
        int64_t due;
        Bytes bytes;
    };

    int64_t Now() const;
    void ReportReady();
    void OnChunk(const Bytes& chunk);
    void FeedCounted(const Bytes& chunk);
    void OnSessionChanged();
    void FlushDue();
    void ClearOut();
    // Whether the link is read: not once the stall fault has struck, nor while the answers the
    // peer has not taken pass the bound of a real printer's output buffer.
    bool Reading() const;
    std::optional<int64_t> NextDeadline() const;

    PrinterOptions options_;
    PrinterProtocol protocol_;
    std::unique_ptr<Medium> medium_;
    std::FILE* paper_ = nullptr;
    std::FILE* capture_ = nullptr;
    std::FILE* log_ = nullptr;
    int flashFd_ = -1;
    std::deque<Outgoing> out_;
    std::size_t outBytes_ = 0;  // bytes in out_
    int64_t start_ = 0;
    int64_t now_ = 0;
    long received_ = 0;
    bool silent_ = false;
    bool dropped_ = false;
    bool stalled_ = false;
    std::optional<int64_t> resetEnd_;
};

}  // namespace posbench::sim
