#pragma once
// The simulated printer's command interpreter: a byte-stream state machine with no I/O of its
// own. Bytes arrive in chunks of any size (a command may be split across chunks, several may
// share one); answers, paper text and stored data leave through a PrinterHost. Time enters only
// as the millisecond stamps passed in, so tests drive it without clocks or sockets.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace posbench::sim {

using Bytes = std::string;  // one char per byte, 0..255

// Where the interpreter's effects go. The program implements it with files and the link;
// tests implement it with recorders.
class PrinterHost {
public:
    virtual ~PrinterHost() = default;
    virtual void Send(const Bytes& answer) = 0;          // bytes back to the tool
    virtual void Print(const std::string& text) = 0;     // text as the receipt reads
    virtual void Restart() = 0;                          // 1D FF: the link goes down for a while
    virtual void EraseFlash() = 0;
    virtual void WriteFlash(uint8_t sector, uint32_t offset, const Bytes& data) = 0;
    virtual void Store(const std::string& name, const Bytes& data) = 0;  // bank, logo, boot
    virtual Bytes ImageData() = 0;                       // served to the image request
    virtual Bytes NvramData() = 0;                       // served to the NVRAM request
    virtual void Note(const std::string& event) = 0;     // one line for the event log
};

struct ProtocolSettings {
    std::string model = "Q310";
    std::string version = "4.40";  // at most 4 characters; padded with blanks
    uint8_t topSector = 0x0F;
    long nakBlock = 0;      // the Nth flash data block after an erase is answered 15 (0: never)
    bool nakBank = false;   // every image bank is answered 15 at its end
    int64_t idleMs = 500;   // a gap this long ends a bank, a logo, or abandons a partial command
};

// Answer bytes and command bytes the interpreter uses; tests and the help text share them.
namespace reply {
inline constexpr uint8_t kAck = 0x06;
inline constexpr uint8_t kNak = 0x15;
inline constexpr uint8_t kBankOk = 0x00;
inline constexpr uint8_t kStatus = 0x12;   // 1D 04 n and 10 04 n: ready, no error bits
inline constexpr std::size_t kIdLength = 17;
inline constexpr std::size_t kVersionLength = 6;
inline constexpr std::size_t kImageHeaderLength = 14;
inline constexpr std::size_t kMaxStored = 16u << 20;  // largest bank, logo or boot body kept
}  // namespace reply

// The 17-byte identification answer and the 6-byte firmware version answer.
Bytes IdentificationReply(const std::string& model);
Bytes VersionReply(const std::string& version);
// The 14-byte header that precedes an image: the request echoed, zeros, the size (LSB first).
Bytes ImageHeader(uint32_t size);
// The firmware version a model must have at least; "1.00" for a model not in the table.
std::string RequiredVersion(const std::string& model);

class PrinterProtocol {
public:
    PrinterProtocol(ProtocolSettings settings, PrinterHost& host);

    // Interprets received bytes stamped with the time they arrived. After a reset command the
    // rest of the chunk is dropped: the printer is restarting.
    void Feed(const Bytes& bytes, int64_t nowMs);
    // Ends what an idle gap ends (a bank, a logo, a partial command) once its time has come.
    void Tick(int64_t nowMs);
    // When Tick next has something to do; empty while nothing is pending.
    std::optional<int64_t> Deadline() const;

    // The link was lost or a new peer arrived: partial commands and image transfers are
    // forgotten, download mode is kept (the printer itself did not restart).
    void NewSession();
    // The printer restarted: everything is forgotten, download mode included.
    void PowerCycle();

    // The USB interface the printer runs (true: printer class), and the one a mode command
    // stored for the next restart. A restart keeps both: they are settings, not session state.
    bool UsbPrinterClass() const { return usbPrinterClass_; }
    bool UsbPrinterClassStored() const { return usbPrinterClassStored_; }
    long FlashBlocks() const { return flashBlocks_; }

private:
    enum class State { Idle, Command, FlashData, BankData, LogoData, BootData, ImageAck };
    enum class Kind;
    struct Match;

    void Step(uint8_t byte);
    void StepIdle(uint8_t byte);
    void StepCommand(uint8_t byte);
    Match Classify() const;
    void Execute(Kind kind);
    void StartImage();
    void SendNextImageBlock();
    void FinishFlashBlock();
    void EndByIdleGap();
    void Answer(uint8_t byte);
    void FlushPaper();
    void ToIdle();

    ProtocolSettings settings_;
    PrinterHost& host_;
    State state_ = State::Idle;
    Bytes cmd_;          // the command being collected
    Bytes data_;         // the data of a flash block, bank, logo or boot body
    std::size_t want_ = 0;   // data bytes still expected (flash block, boot body)
    bool overflow_ = false;  // a bank or logo grew beyond what is kept
    bool logoMarker_ = false;
    bool logoFirst_ = false;
    uint8_t logoId_ = 0;
    uint8_t bank_ = 0;
    bool flashValid_ = false;  // the current block may be written
    uint32_t flashOffset_ = 0;
    std::optional<uint8_t> sector_;
    long flashBlocks_ = 0;
    bool downloadMode_ = false;
    bool usbPrinterClass_ = false;
    bool usbPrinterClassStored_ = false;
    Bytes imageOut_;     // image bytes not yet sent
    std::size_t imageBlock_ = 0;
    std::string paper_;
    int64_t lastByteMs_ = 0;
    bool restarted_ = false;
};

}  // namespace posbench::sim
