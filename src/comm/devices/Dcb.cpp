#include "comm/devices/Dcb.h"

// The kernel's own termios (with free baud rates) rather than the C library's, so that rates
// such as 14400 or 56000 reach the line; the two declarations cannot share a file.
#include <asm/termbits.h>
#include <cerrno>
#include <sys/ioctl.h>

#include "base/RuntimeError.h"

namespace posbench {

namespace {

[[noreturn]] void InvalidSetting(const char* message) {
    throw RuntimeError(clsDCB::kInvalidSettingError, message, "clsDCB");
}

struct BaudCode {
    int32_t rate;
    tcflag_t code;  // B-constant, or BOTHER for rates the fixed table lacks
};

constexpr BaudCode kBaudRates[] = {
    {110, B110},       {300, B300},       {600, B600},        {1200, B1200},
    {2400, B2400},     {4800, B4800},     {9600, B9600},      {14400, BOTHER},
    {19200, B19200},   {38400, B38400},   {56000, BOTHER},    {57600, B57600},
    {115200, B115200}, {128000, BOTHER},  {256000, BOTHER},
};

// Fixed codes the line may report that are not in the settable list (read back as they are).
constexpr BaudCode kOtherCodes[] = {
    {50, B50},         {75, B75},           {134, B134},         {150, B150},
    {200, B200},       {1800, B1800},       {230400, B230400},   {460800, B460800},
    {500000, B500000}, {576000, B576000},   {921600, B921600},   {1000000, B1000000},
};

const BaudCode* FindRate(int32_t rate) {
    for (const auto& b : kBaudRates)
        if (b.rate == rate) return &b;
    return nullptr;
}

int32_t RateOfCode(tcflag_t code, speed_t explicitSpeed) {
    if (code == BOTHER) return static_cast<int32_t>(explicitSpeed);
    for (const auto& b : kBaudRates)
        if (b.code == code && b.code != BOTHER) return b.rate;
    for (const auto& b : kOtherCodes)
        if (b.code == code) return b.rate;
    return 0;
}

void PutLE(std::array<uint8_t, clsDCB::kRecordLength>& out, size_t at, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out[at + static_cast<size_t>(i)] = static_cast<uint8_t>(value >> (8 * i));
}

}  // namespace

clsDCB::clsDCB() = default;

void clsDCB::BaudRate(int32_t value) {
    if (FindRate(value) == nullptr) InvalidSetting("Invalid baud rate");
    rec_.BaudRate = value;
}

void clsDCB::fDtrControl(int16_t value) {
    if (value < 0 || value > 2) InvalidSetting("Invalid fDtrControl setting");
    SetField(4, static_cast<uint32_t>(value));
}

void clsDCB::fRtsControl(int16_t value) {
    if (value < 0 || value > 3) InvalidSetting("Invalid fRtsControl setting");
    SetField(12, static_cast<uint32_t>(value));
}

void clsDCB::ByteSize(uint8_t value) {
    if (value < 4 || value > 8) InvalidSetting("Invalid Byte size setting");
    rec_.ByteSize = value;
}

void clsDCB::Parity(uint8_t value) {
    if (value > 4) InvalidSetting("Invalid Parity setting");
    rec_.Parity = value;
}

void clsDCB::StopBits(uint8_t value) {
    if (value > 2) InvalidSetting("Invalid Stop bits");
    rec_.StopBits = value;
}

void clsDCB::SetDefaults() {
    BaudRate(115200);
    fBinary(true);
    fParity(false);
    fOutxCtsFlow(true);
    fOutxDsrFlow(true);
    fDtrControl(2);
    fDsrSensitivity(false);
    fTXContinueOnXoff(false);
    fOutX(false);
    fInX(false);
    fErrorChar(false);
    fNull(false);
    fRtsControl(2);
    fAbortOnError(false);
    XonLim(256);
    XoffLim(256);
    ByteSize(8);
    Parity(0);
    StopBits(0);
    XonChar(17);
    XoffChar(19);
    ErrorChar(63);
    EofChar(26);
    EvtChar(0);
}

std::array<uint8_t, clsDCB::kRecordLength> clsDCB::Record() const {
    std::array<uint8_t, kRecordLength> out{};
    PutLE(out, 0, static_cast<uint32_t>(rec_.DCBlength), 4);
    PutLE(out, 4, static_cast<uint32_t>(rec_.BaudRate), 4);
    PutLE(out, 8, rec_.Flags, 4);
    PutLE(out, 12, rec_.wReserved, 2);
    PutLE(out, 14, static_cast<uint16_t>(rec_.XonLim), 2);
    PutLE(out, 16, static_cast<uint16_t>(rec_.XoffLim), 2);
    out[18] = rec_.ByteSize;
    out[19] = rec_.Parity;
    out[20] = rec_.StopBits;
    out[21] = rec_.XonChar;
    out[22] = rec_.XoffChar;
    out[23] = rec_.ErrorChar;
    out[24] = rec_.EofChar;
    out[25] = rec_.EvtChar;
    PutLE(out, 26, rec_.wReserved1, 2);
    return out;
}

namespace {

LineSettings Extract(const termios2& tio) {
    LineSettings line;
    line.iflag = tio.c_iflag;
    line.oflag = tio.c_oflag;
    line.cflag = tio.c_cflag;
    line.lflag = tio.c_lflag;
    line.startChar = tio.c_cc[VSTART];
    line.stopChar = tio.c_cc[VSTOP];
    line.rate = tio.c_ospeed;
    return line;
}

}  // namespace

void clsDCB::FromLine(const LineSettings& line) {
    // The record mirrors the line as it is, so values outside the settable ranges are kept.
    rec_.BaudRate = RateOfCode(line.cflag & CBAUD, line.rate);
    switch (line.cflag & CSIZE) {
    case CS5: rec_.ByteSize = 5; break;
    case CS6: rec_.ByteSize = 6; break;
    case CS7: rec_.ByteSize = 7; break;
    default: rec_.ByteSize = 8; break;
    }
    if ((line.cflag & PARENB) == 0) rec_.Parity = 0;
    else if (line.cflag & CMSPAR) rec_.Parity = (line.cflag & PARODD) ? 3 : 4;
    else rec_.Parity = (line.cflag & PARODD) ? 1 : 2;
    fParity((line.cflag & PARENB) != 0);
    rec_.StopBits = (line.cflag & CSTOPB) ? 2 : 0;
    fBinary(true);
    fOutX((line.iflag & IXON) != 0);
    fInX((line.iflag & IXOFF) != 0);
    rec_.XonChar = line.startChar;
    rec_.XoffChar = line.stopChar;
    bool hardware = (line.cflag & CRTSCTS) != 0;
    fOutxCtsFlow(hardware);
    SetField(12, hardware ? 2u : 1u);
}

bool clsDCB::ToLine(LineSettings& line) {
    const BaudCode* baud = FindRate(rec_.BaudRate);
    if (baud == nullptr || rec_.ByteSize < 5 || rec_.ByteSize > 8 || rec_.Parity > 4 ||
        rec_.StopBits > 2) {
        lastErrno_ = EINVAL;  // the line cannot carry this record (e.g. 4-bit bytes)
        return false;
    }
    // Raw bytes both ways: no translation, no echo, no signals, reads return what is there.
    line.iflag &= ~static_cast<uint32_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR |
                                         ICRNL | IXON | IXOFF | IXANY | INPCK);
    line.oflag &= ~static_cast<uint32_t>(OPOST);
    line.lflag &= ~static_cast<uint32_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    line.cflag &= ~static_cast<uint32_t>(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS |
                                         CBAUD | (CBAUD << IBSHIFT));
    line.cflag |= CLOCAL | CREAD;
    line.cflag |= baud->code | (baud->code << IBSHIFT);
    line.rate = static_cast<uint32_t>(rec_.BaudRate);

    static constexpr uint32_t kSizes[] = {CS5, CS6, CS7, CS8};
    line.cflag |= kSizes[rec_.ByteSize - 5];
    switch (rec_.Parity) {
    case 1: line.cflag |= PARENB | PARODD; break;
    case 2: line.cflag |= PARENB; break;
    case 3: line.cflag |= PARENB | PARODD | CMSPAR; break;
    case 4: line.cflag |= PARENB | CMSPAR; break;
    default: break;
    }
    if (rec_.Parity != 0 && fParity()) line.iflag |= INPCK;
    // One and a half stop bits do not exist here; the nearer safe choice is two.
    if (rec_.StopBits != 0) line.cflag |= CSTOPB;
    if (fOutX()) line.iflag |= IXON;
    if (fInX()) line.iflag |= IXOFF;
    line.startChar = rec_.XonChar;
    line.stopChar = rec_.XoffChar;
    if (fOutxCtsFlow() || fRtsControl() == 2) line.cflag |= CRTSCTS;
    return true;
}

bool clsDCB::GetCommState(int fd) {
    lastErrno_ = 0;
    termios2 tio{};
    if (ioctl(fd, TCGETS2, &tio) != 0) {
        lastErrno_ = errno;
        return false;
    }
    FromLine(Extract(tio));
    int lines = 0;
    if (ioctl(fd, TIOCMGET, &lines) == 0) SetField(4, (lines & TIOCM_DTR) ? 1u : 0u);
    return true;
}

bool clsDCB::SetCommState(int fd) {
    lastErrno_ = 0;
    termios2 tio{};
    if (ioctl(fd, TCGETS2, &tio) != 0) {
        lastErrno_ = errno;
        return false;
    }
    LineSettings line = Extract(tio);
    if (!ToLine(line)) return false;
    tio.c_iflag = line.iflag;
    tio.c_oflag = line.oflag;
    tio.c_cflag = line.cflag;
    tio.c_lflag = line.lflag;
    tio.c_cc[VSTART] = line.startChar;
    tio.c_cc[VSTOP] = line.stopChar;
    // The line is non-blocking: with a minimum of 1 an empty read says EAGAIN and only a hung-up
    // line reads 0 bytes, so a read needs no poll before it to tell the two apart.
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    tio.c_ospeed = line.rate;
    tio.c_ispeed = line.rate;
    if (ioctl(fd, TCSETS2, &tio) != 0) {
        lastErrno_ = errno;
        return false;
    }
    // DTR: disable drops it, enable and handshake raise it. Lines without modem control
    // (pseudo-terminals) refuse the request, which is no failure of the settings.
    int dtr = TIOCM_DTR;
    if (ioctl(fd, fDtrControl() == 0 ? TIOCMBIC : TIOCMBIS, &dtr) != 0 && errno != ENOTTY &&
        errno != EINVAL) {
        lastErrno_ = errno;
        return false;
    }
    return true;
}

}  // namespace posbench
