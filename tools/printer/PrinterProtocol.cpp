#include "PrinterProtocol.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdio>

namespace posbench::sim {

namespace {

constexpr uint8_t kEsc = 0x1B;
constexpr uint8_t kGs = 0x1D;
constexpr uint8_t kDle = 0x10;
constexpr uint8_t kUs = 0x1F;
constexpr uint32_t kSectorSize = 65536;

constexpr std::array<uint8_t, 6> kUsbNative{0x1F, 0x0B, 0x4E, 0x1F, 0x43, 0x00};
constexpr std::array<uint8_t, 11> kUsbClass{0x1F, 0x0A, 0xA3, 0x01, 0x00, 0x00,
                                            0x00, 0x00, 0xA0, 0xA9, 0x01};

// Parameter bytes of the everyday formatting sequences, so that their arguments do not end up
// on the paper. Sequences not listed take none.
std::size_t EscParams(uint8_t c) {
    switch (c) {
        case 0x20: case 0x21: case 0x2D: case 0x33: case 0x45: case 0x47: case 0x4A:
        case 0x4D: case 0x52: case 0x56: case 0x61: case 0x64: case 0x74: case 0x7B:
            return 1;
        default:
            return 0;
    }
}

std::size_t GsParams(uint8_t c) {
    switch (c) {
        case 0x21: case 0x42: case 0x48: case 0x56: case 0x66: case 0x68: case 0x77:
            return 1;
        default:
            return 0;
    }
}

std::string Hex2(unsigned v) {
    char buf[4];
    std::snprintf(buf, sizeof buf, "%02X", v & 0xFFu);
    return buf;
}

std::string PadTo(std::string text, std::size_t width) {
    text.resize(width, ' ');
    return text;
}

}  // namespace

enum class PrinterProtocol::Kind {
    Control, Id, Version, Reset, Status, RtStatus, Download, BootHeader, TopSector, Erase,
    Select, BlockHeader, Bank, Logo, Image, Nvram, UsbNative, UsbClass
};

struct PrinterProtocol::Match {
    enum Type { Incomplete, Complete, Skip } type;
    Kind kind;
    std::size_t length;  // Skip: the bytes that form the sequence; the rest is read again
};

Bytes IdentificationReply(const std::string& model) {
    return PadTo(model, reply::kIdLength - 1) + '\0';
}

Bytes VersionReply(const std::string& version) {
    return "\x02" + PadTo(version, 4) + "\x03";
}

Bytes ImageHeader(uint32_t size) {
    Bytes header("\x1D\x69\x49", 3);
    header.append(7, '\0');
    for (int i = 0; i < 4; ++i) header += static_cast<char>((size >> (8 * i)) & 0xFFu);
    return header;
}

std::string RequiredVersion(const std::string& model) {
    static const std::array<std::pair<const char*, const char*>, 6> table{{
        {"Q310", "4.40"}, {"Q320", "1.00"}, {"Q330", "1.22"},
        {"W340", "1.00"}, {"Q350", "3.38"}, {"Q360", "1.00"},
    }};
    std::string upper = model;
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    for (const auto& [name, version] : table)
        if (upper == name) return version;
    return "1.00";
}

PrinterProtocol::PrinterProtocol(ProtocolSettings settings, PrinterHost& host)
    : settings_(std::move(settings)), host_(host) {}

void PrinterProtocol::Feed(const Bytes& bytes, int64_t nowMs) {
    if (state_ != State::Idle && nowMs - lastByteMs_ >= settings_.idleMs) EndByIdleGap();
    restarted_ = false;
    for (char c : bytes) {
        if (restarted_) break;
        Step(static_cast<uint8_t>(c));
    }
    if (!bytes.empty()) lastByteMs_ = nowMs;
    FlushPaper();
}

void PrinterProtocol::Tick(int64_t nowMs) {
    auto due = Deadline();
    if (due && nowMs >= *due) EndByIdleGap();
    FlushPaper();
}

std::optional<int64_t> PrinterProtocol::Deadline() const {
    // An image waiting for its acknowledgement waits for the tool, not for a clock.
    if (state_ == State::Idle || state_ == State::ImageAck) return std::nullopt;
    return lastByteMs_ + settings_.idleMs;
}

void PrinterProtocol::NewSession() {
    if (state_ == State::BankData || state_ == State::LogoData) EndByIdleGap();
    ToIdle();
    imageOut_.clear();
}

void PrinterProtocol::PowerCycle() {
    ToIdle();
    imageOut_.clear();
    downloadMode_ = false;
    sector_.reset();
    paper_.clear();
}

void PrinterProtocol::ToIdle() {
    state_ = State::Idle;
    cmd_.clear();
    data_.clear();
    want_ = 0;
    overflow_ = false;
}

void PrinterProtocol::Step(uint8_t byte) {
    switch (state_) {
        case State::Idle:
            StepIdle(byte);
            break;
        case State::Command:
            StepCommand(byte);
            break;
        case State::FlashData:
            data_ += static_cast<char>(byte);
            if (--want_ == 0) FinishFlashBlock();
            break;
        case State::BootData:
            data_ += static_cast<char>(byte);
            if (--want_ == 0) {
                host_.Store("boot.bin", data_);
                host_.Note("boot image of " + std::to_string(data_.size()) + " bytes stored");
                ToIdle();
            }
            break;
        case State::LogoData:
            if (logoFirst_) {
                logoFirst_ = false;
                if (byte == kEsc) {
                    logoMarker_ = true;
                    break;
                }
            }
            [[fallthrough]];
        case State::BankData:
            if (data_.size() < reply::kMaxStored)
                data_ += static_cast<char>(byte);
            else
                overflow_ = true;
            break;
        case State::ImageAck:
            if (byte == reply::kAck) {
                SendNextImageBlock();
            } else {
                host_.Note("image transfer abandoned: no acknowledgement");
                imageOut_.clear();
                ToIdle();
                StepIdle(byte);
            }
            break;
    }
}

void PrinterProtocol::StepIdle(uint8_t byte) {
    if (byte == kEsc || byte == kGs || byte == kDle || byte == kUs) {
        cmd_.assign(1, static_cast<char>(byte));
        state_ = State::Command;
    } else if (byte == 0x0A || (byte >= 0x20 && byte < 0x7F)) {
        paper_ += static_cast<char>(byte);
    }
    // Every other control byte (CR, a late 06, ...) moves nothing on the paper.
}

void PrinterProtocol::StepCommand(uint8_t byte) {
    cmd_ += static_cast<char>(byte);
    const Match m = Classify();
    if (m.type == Match::Incomplete) return;
    if (m.type == Match::Complete) {
        const Kind kind = m.kind;
        state_ = State::Idle;
        Execute(kind);
        cmd_.clear();
        return;
    }
    // Not (or no longer) a command the printer acts on: the sequence is left off the paper and
    // whatever followed it is read again from the start.
    const Bytes rest = cmd_.substr(std::min(m.length, cmd_.size()));
    cmd_.clear();
    state_ = State::Idle;
    for (char c : rest) Step(static_cast<uint8_t>(c));
}

PrinterProtocol::Match PrinterProtocol::Classify() const {
    const auto at = [this](std::size_t i) { return static_cast<uint8_t>(cmd_[i]); };
    const std::size_t n = cmd_.size();
    const Match more{Match::Incomplete, Kind::Control, 0};
    const auto done = [](Kind k, std::size_t len) { return Match{Match::Complete, k, len}; };
    const auto skip = [](std::size_t len) { return Match{Match::Skip, Kind::Control, len}; };
    const auto need = [n](std::size_t len) { return n < len; };

    switch (at(0)) {
        case kDle:
            if (need(2)) return more;
            if (at(1) != 0x04) return skip(1);
            return need(3) ? more : done(Kind::RtStatus, 3);
        case kUs: {
            const auto prefixOf = [&](const auto& pattern) {
                if (n > pattern.size()) return false;
                return std::equal(cmd_.begin(), cmd_.end(), pattern.begin(),
                                  [](char a, uint8_t b) { return static_cast<uint8_t>(a) == b; });
            };
            if (prefixOf(kUsbNative))
                return n == kUsbNative.size() ? done(Kind::UsbNative, n) : more;
            if (prefixOf(kUsbClass))
                return n == kUsbClass.size() ? done(Kind::UsbClass, n) : more;
            return skip(1);
        }
        case kEsc:
            if (need(2)) return more;
            if (at(1) == 0x5B) {
                if (need(3)) return more;
                if (at(2) == 0x7D) return done(Kind::Download, 3);
                if (at(2) == 0x42) return need(8) ? more : done(Kind::BootHeader, 8);
                return skip(2);
            }
            return need(2 + EscParams(at(1))) ? more : skip(2 + EscParams(at(1)));
        case kGs:
            if (need(2)) return more;
            switch (at(1)) {
                case 0xFF: return done(Kind::Reset, 2);
                case 0x01: return done(Kind::TopSector, 2);
                case 0x0E: return done(Kind::Erase, 2);
                case 0x04: return need(3) ? more : done(Kind::Status, 3);
                case 0x02: return need(3) ? more : done(Kind::Select, 3);
                case 0x16: return need(3) ? more : done(Kind::Bank, 3);
                case 0x23: return need(3) ? more : done(Kind::Logo, 3);
                case 0x11: return need(6) ? more : done(Kind::BlockHeader, 6);
                case 0x49:
                    if (need(3)) return more;
                    if (at(2) != 0x40) return skip(3);
                    if (need(4)) return more;
                    if (at(3) == 0x27) return done(Kind::Id, 4);
                    if (at(3) == 0xA3) return done(Kind::Version, 4);
                    return skip(4);
                case 0x69:
                    if (need(3)) return more;
                    if (at(2) == 0x4E) return done(Kind::Nvram, 3);
                    if (at(2) == 0x49) return need(5) ? more : done(Kind::Image, 5);
                    return skip(3);
                default:
                    return need(2 + GsParams(at(1))) ? more : skip(2 + GsParams(at(1)));
            }
        default:
            return skip(1);
    }
}

void PrinterProtocol::Execute(Kind kind) {
    const auto at = [this](std::size_t i) { return static_cast<uint8_t>(cmd_[i]); };
    // Flash, bank and interface commands act only after 1B 5B 7D, as on the real hardware; out
    // of download mode they are swallowed so that stray bytes cannot touch the flash.
    const bool needsDownload = kind == Kind::TopSector || kind == Kind::Erase ||
                               kind == Kind::Select || kind == Kind::BlockHeader ||
                               kind == Kind::Bank || kind == Kind::UsbClass;
    if (needsDownload && !downloadMode_) {
        host_.Note("ignored outside download mode: " + Hex2(at(0)) + " " + Hex2(at(1)));
        return;
    }
    switch (kind) {
        case Kind::Control:
            break;
        case Kind::Id:
            host_.Send(IdentificationReply(settings_.model));
            break;
        case Kind::Version:
            host_.Send(VersionReply(settings_.version));
            break;
        case Kind::Status:
        case Kind::RtStatus:
            Answer(reply::kStatus);
            break;
        case Kind::Reset:
            FlushPaper();
            host_.Note("reset");
            PowerCycle();
            // A mode command is stored at once but the interface changes only as the printer
            // restarts, the way the real printer asks for a reset after the switch.
            usbPrinterClass_ = usbPrinterClassStored_;
            host_.Note(std::string("USB interface after restart: ") + (usbPrinterClass_ ? "printer class" : "native"));
            restarted_ = true;
            host_.Restart();
            break;
        case Kind::Download:
            downloadMode_ = true;
            host_.Note("download mode");
            break;
        case Kind::UsbNative:
            usbPrinterClassStored_ = false;
            host_.Note("USB interface: native");
            break;
        case Kind::UsbClass:
            usbPrinterClassStored_ = true;
            host_.Note("USB interface: printer class");
            Answer(reply::kAck);
            break;
        case Kind::TopSector:
            Answer(settings_.topSector);
            break;
        case Kind::Erase:
            host_.EraseFlash();
            flashBlocks_ = 0;
            sector_.reset();
            host_.Note("flash erased");
            Answer(reply::kAck);
            break;
        case Kind::Select:
            if (at(2) <= settings_.topSector) {
                sector_ = at(2);
                Answer(reply::kAck);
            } else {
                sector_.reset();
                Answer(reply::kNak);
            }
            break;
        case Kind::BlockHeader: {
            flashOffset_ = static_cast<uint32_t>(at(2) | (at(3) << 8));
            const std::size_t length = static_cast<std::size_t>(at(4) | (at(5) << 8));
            if (length == 0) {
                Answer(reply::kNak);
                break;
            }
            flashValid_ = sector_.has_value() && flashOffset_ + length <= kSectorSize;
            want_ = length;
            data_.clear();
            state_ = State::FlashData;
            break;
        }
        case Kind::Bank:
            bank_ = at(2);
            data_.clear();
            overflow_ = false;
            if (bank_ == 1 || bank_ == 2) {
                Answer(reply::kAck);
                state_ = State::BankData;
            } else {
                Answer(reply::kNak);
            }
            break;
        case Kind::Logo:
            logoId_ = at(2);
            logoMarker_ = false;
            logoFirst_ = true;
            data_.clear();
            overflow_ = false;
            state_ = State::LogoData;
            break;
        case Kind::BootHeader: {
            const std::size_t length = static_cast<std::size_t>(at(3)) |
                                       (static_cast<std::size_t>(at(4)) << 8) |
                                       (static_cast<std::size_t>(at(5)) << 16) |
                                       (static_cast<std::size_t>(at(6)) << 24);
            if (length == 0 || length > reply::kMaxStored) {
                host_.Note("boot header refused: length " + std::to_string(length));
                break;
            }
            want_ = length;
            data_.clear();
            state_ = State::BootData;
            break;
        }
        case Kind::Image:
            imageBlock_ = static_cast<std::size_t>(at(3) | (at(4) << 8));
            StartImage();
            break;
        case Kind::Nvram:
            host_.Send(host_.NvramData());
            break;
    }
}

void PrinterProtocol::Answer(uint8_t byte) {
    host_.Send(Bytes(1, static_cast<char>(byte)));
}

void PrinterProtocol::FinishFlashBlock() {
    ++flashBlocks_;
    const bool nak = settings_.nakBlock > 0 && flashBlocks_ == settings_.nakBlock;
    if (flashValid_ && !nak && sector_) {
        host_.WriteFlash(*sector_, flashOffset_, data_);
        Answer(reply::kAck);
    } else {
        if (nak) host_.Note("flash block " + std::to_string(flashBlocks_) + " refused (fault)");
        Answer(reply::kNak);
    }
    ToIdle();
}

void PrinterProtocol::StartImage() {
    Bytes image = host_.ImageData();
    host_.Note("image of " + std::to_string(image.size()) + " bytes, block " +
               std::to_string(imageBlock_));
    imageOut_ = std::move(image);
    if (imageBlock_ == 0 || imageOut_.size() <= imageBlock_) {
        host_.Send(ImageHeader(static_cast<uint32_t>(imageOut_.size())) + imageOut_);
        imageOut_.clear();
        return;
    }
    host_.Send(ImageHeader(static_cast<uint32_t>(imageOut_.size())) +
               imageOut_.substr(0, imageBlock_));
    imageOut_.erase(0, imageBlock_);
    state_ = State::ImageAck;
}

void PrinterProtocol::SendNextImageBlock() {
    const std::size_t n = std::min(imageBlock_, imageOut_.size());
    host_.Send(imageOut_.substr(0, n));
    imageOut_.erase(0, n);
    // The last block is not waited for: a short one is never acknowledged, and a stray 06
    // after a full one is ignored.
    if (imageOut_.empty()) ToIdle();
}

void PrinterProtocol::EndByIdleGap() {
    switch (state_) {
        case State::BankData: {
            const bool bad = settings_.nakBank || overflow_ || data_.size() < 256;
            if (!bad) host_.Store("bank-" + std::to_string(bank_) + ".bin", data_);
            host_.Note("image bank " + std::to_string(bank_) + " of " +
                       std::to_string(data_.size()) + " bytes" + (bad ? " refused" : ""));
            Answer(bad ? reply::kNak : reply::kBankOk);
            break;
        }
        case State::LogoData:
            if (!data_.empty()) {
                const std::string name = (logoMarker_ ? "bitmap-" : "logo-") + Hex2(logoId_);
                host_.Store(name + ".bin", data_);
                host_.Note(name + " of " + std::to_string(data_.size()) + " bytes" +
                           (overflow_ ? " (truncated)" : ""));
            }
            break;
        case State::FlashData:
            host_.Note("flash block abandoned after " + std::to_string(data_.size()) + " bytes");
            break;
        case State::BootData:
            host_.Note("boot image abandoned after " + std::to_string(data_.size()) + " bytes");
            break;
        case State::Command:
            host_.Note("partial command dropped: " + std::to_string(cmd_.size()) + " bytes");
            break;
        case State::Idle:
        case State::ImageAck:
            return;
    }
    ToIdle();
}

void PrinterProtocol::FlushPaper() {
    if (paper_.empty()) return;
    host_.Print(paper_);
    paper_.clear();
}

}  // namespace posbench::sim
