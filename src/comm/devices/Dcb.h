#pragma once
// Port settings of a serial or parallel line, kept in the 28-byte device-control record layout
// (DCBlength first) so that callers set fields by their familiar names, and mapped onto the
// line's termios when applied. Each field reads with the member without argument and writes with the
// same name and one argument; an invalid value raises and leaves the stored value alone.
#include <array>
#include <cstdint>

namespace posbench {

// The part of a line's termios that the record decides: mode words, flow characters and the
// rate (rateCode is the fixed speed code, or the free-rate code with the rate in rate).
struct LineSettings {
    uint32_t iflag = 0;
    uint32_t oflag = 0;
    uint32_t cflag = 0;
    uint32_t lflag = 0;
    uint8_t startChar = 0;
    uint8_t stopChar = 0;
    uint32_t rate = 0;
};

class clsDCB {
public:
    // The object-error base plus 31000, as a signed 32-bit error number.
    static constexpr int32_t kInvalidSettingError = static_cast<int32_t>(0x80047918u);
    static constexpr int32_t kRecordLength = 28;

    clsDCB();

    int32_t DCBlength() const { return rec_.DCBlength; }

    int32_t BaudRate() const { return rec_.BaudRate; }
    void BaudRate(int32_t value);

    bool fBinary() const { return Flag(kBinary); }
    void fBinary(bool value) { SetFlag(kBinary, value); }
    bool fParity() const { return Flag(kParity); }
    void fParity(bool value) { SetFlag(kParity, value); }
    bool fOutxCtsFlow() const { return Flag(kOutxCtsFlow); }
    void fOutxCtsFlow(bool value) { SetFlag(kOutxCtsFlow, value); }
    bool fOutxDsrFlow() const { return Flag(kOutxDsrFlow); }
    void fOutxDsrFlow(bool value) { SetFlag(kOutxDsrFlow, value); }
    int16_t fDtrControl() const { return static_cast<int16_t>((rec_.Flags >> 4) & 0x3u); }
    void fDtrControl(int16_t value);
    bool fDsrSensitivity() const { return Flag(kDsrSensitivity); }
    void fDsrSensitivity(bool value) { SetFlag(kDsrSensitivity, value); }
    bool fTXContinueOnXoff() const { return Flag(kTXContinueOnXoff); }
    void fTXContinueOnXoff(bool value) { SetFlag(kTXContinueOnXoff, value); }
    bool fOutX() const { return Flag(kOutX); }
    void fOutX(bool value) { SetFlag(kOutX, value); }
    bool fInX() const { return Flag(kInX); }
    void fInX(bool value) { SetFlag(kInX, value); }
    bool fErrorChar() const { return Flag(kErrorChar); }
    void fErrorChar(bool value) { SetFlag(kErrorChar, value); }
    bool fNull() const { return Flag(kNull); }
    void fNull(bool value) { SetFlag(kNull, value); }
    int16_t fRtsControl() const { return static_cast<int16_t>((rec_.Flags >> 12) & 0x3u); }
    void fRtsControl(int16_t value);
    bool fAbortOnError() const { return Flag(kAbortOnError); }
    void fAbortOnError(bool value) { SetFlag(kAbortOnError, value); }

    int16_t XonLim() const { return rec_.XonLim; }
    void XonLim(int16_t value) { rec_.XonLim = value; }
    int16_t XoffLim() const { return rec_.XoffLim; }
    void XoffLim(int16_t value) { rec_.XoffLim = value; }
    uint8_t ByteSize() const { return rec_.ByteSize; }
    void ByteSize(uint8_t value);
    uint8_t Parity() const { return rec_.Parity; }
    void Parity(uint8_t value);
    uint8_t StopBits() const { return rec_.StopBits; }
    void StopBits(uint8_t value);
    uint8_t XonChar() const { return rec_.XonChar; }
    void XonChar(uint8_t value) { rec_.XonChar = value; }
    uint8_t XoffChar() const { return rec_.XoffChar; }
    void XoffChar(uint8_t value) { rec_.XoffChar = value; }
    uint8_t ErrorChar() const { return rec_.ErrorChar; }
    void ErrorChar(uint8_t value) { rec_.ErrorChar = value; }
    uint8_t EofChar() const { return rec_.EofChar; }
    void EofChar(uint8_t value) { rec_.EofChar = value; }
    uint8_t EvtChar() const { return rec_.EvtChar; }
    void EvtChar(uint8_t value) { rec_.EvtChar = value; }

    // The settings a port gets when it is opened: 115200 8N1 with hardware handshake.
    void SetDefaults();

    // The 28-byte record, little-endian, in its standard field order.
    std::array<uint8_t, kRecordLength> Record() const;

    // Read the line's current settings into the record, or apply the record to the line.
    // False with the system's error number in LastErrno() when the line refuses.
    bool GetCommState(int fd);
    bool SetCommState(int fd);
    // The mapping itself, apart from any line: raw bytes with this record's rate, size, parity,
    // stop bits and flow control. ToLine is false (EINVAL) for a record no line can carry.
    bool ToLine(LineSettings& line);
    void FromLine(const LineSettings& line);
    int LastErrno() const { return lastErrno_; }

private:
    // Bits of the flag word.
    static constexpr uint32_t kBinary = 1u << 0;
    static constexpr uint32_t kParity = 1u << 1;
    static constexpr uint32_t kOutxCtsFlow = 1u << 2;
    static constexpr uint32_t kOutxDsrFlow = 1u << 3;
    static constexpr uint32_t kDsrSensitivity = 1u << 6;
    static constexpr uint32_t kTXContinueOnXoff = 1u << 7;
    static constexpr uint32_t kOutX = 1u << 8;
    static constexpr uint32_t kInX = 1u << 9;
    static constexpr uint32_t kErrorChar = 1u << 10;
    static constexpr uint32_t kNull = 1u << 11;
    static constexpr uint32_t kAbortOnError = 1u << 14;

    bool Flag(uint32_t bit) const { return (rec_.Flags & bit) != 0; }
    void SetFlag(uint32_t bit, bool value) {
        rec_.Flags = value ? (rec_.Flags | bit) : (rec_.Flags & ~bit);
    }
    void SetField(uint32_t shift, uint32_t value) {
        rec_.Flags = (rec_.Flags & ~(0x3u << shift)) | ((value & 0x3u) << shift);
    }

    struct Record28 {
        int32_t DCBlength = kRecordLength;
        int32_t BaudRate = 0;
        uint32_t Flags = 0;
        uint16_t wReserved = 0;
        int16_t XonLim = 0;
        int16_t XoffLim = 0;
        uint8_t ByteSize = 0;
        uint8_t Parity = 0;
        uint8_t StopBits = 0;
        uint8_t XonChar = 0;
        uint8_t XoffChar = 0;
        uint8_t ErrorChar = 0;
        uint8_t EofChar = 0;
        uint8_t EvtChar = 0;
        uint16_t wReserved1 = 0;
    };
    static_assert(sizeof(Record28) == kRecordLength);

    Record28 rec_;
    int lastErrno_ = 0;
};

}  // namespace posbench
