// The built-in NVRAM dump: what each model of the family answers to the NVRAM request when no
// --nvram file is given. Plausible settings and counters, different per model, so that a
// configuration report shows something a technician recognises. docs/printer.md has the layout.
#include <array>
#include <cstdint>
#include <string>

#include "PrinterOptions.h"

namespace posbench::sim {
namespace {

struct Profile {
    const char* model;
    uint8_t interface;   // 0 RS-232, 1 parallel, 2 USB, 3 Ethernet
    uint8_t baud;        // 0 9600, 1 19200, 2 38400, 3 57600, 4 115200
    uint8_t serial;      // bit 0 parity on, bit 1 odd parity, bit 2 two stop bits, bit 3 DTR/DSR
    uint8_t features;    // bit 0 cutter, 1 near-end sensor, 2 MICR, 3 imager, 4 slip, 5 drawer, 6 buzzer
    uint8_t density;     // 0..4, 2 is normal
    uint8_t codePage;    // 0 PC437, 2 PC850, 16 WPC1252
    uint8_t paperMm;
    uint32_t lines, cuts;
    uint16_t powerOns, micrReads;
    std::array<uint8_t, 4> hardwareId;
    std::array<uint8_t, 6> mac;       // zeros without Ethernet
    uint16_t dpi;                     // imager; 0 without one
    uint8_t compression, micrFont;    // 1 CCITT G3; 0 E13B, 1 CMC7
    uint32_t checks;
    const char* serialNumber;         // in the 27-byte header of the imaging models
    const char* made;                 // YYYYMMDD
};

constexpr Profile kProfiles[] = {
    {"Q310", 0, 4, 0x08, 0x23, 2, 0, 80, 1284350, 20417, 812, 0, {0x31, 0x0A, 0x00, 0x7C}, {}, 0, 0, 0, 0, "", ""},
    {"Q320", 2, 4, 0x08, 0x33, 3, 2, 80, 402113, 7750, 166, 0, {0x32, 0x0B, 0x01, 0x15}, {}, 0, 0, 0, 0, "", ""},
    {"Q330", 0, 2, 0x03, 0x37, 1, 2, 80, 2210987, 51023, 1490, 5321, {0x33, 0x11, 0x13, 0xE0}, {}, 0, 0, 0, 0, "", ""},
    {"W340", 3, 4, 0x08, 0x63, 2, 16, 58, 96500, 3120, 75, 0, {0x34, 0x1D, 0x00, 0x42},
     {0x00, 0x1B, 0x8C, 0x34, 0x00, 0x9A}, 0, 0, 0, 0, "", ""},
    {"Q350", 2, 4, 0x08, 0x3F, 2, 0, 80, 733201, 18022, 407, 18250, {0x35, 0x0E, 0x03, 0x01}, {},
     200, 1, 0, 18250, "Q350-0004711", "20250314"},
    {"Q360", 3, 4, 0x08, 0x7F, 4, 16, 80, 5120, 233, 12, 310, {0x36, 0x0F, 0x04, 0x99},
     {0x00, 0x1B, 0x8C, 0x36, 0x01, 0x07}, 240, 1, 1, 310, "Q360-0000815", "20260102"},
};

const Profile& ProfileOf(const std::string& model) {
    for (const Profile& p : kProfiles)
        if (model == p.model) return p;
    return kProfiles[0];
}

void Put(Bytes& bank, std::size_t at, uint64_t value, std::size_t bytes) {
    for (std::size_t i = 0; i < bytes; ++i) bank[at + i] = static_cast<char>((value >> (8 * i)) & 0xFFu);
}

void PutText(Bytes& bank, std::size_t at, const std::string& text, std::size_t width) {
    for (std::size_t i = 0; i < width; ++i) bank[at + i] = i < text.size() ? text[i] : ' ';
}

}  // namespace

Bytes BuiltInNvram(const std::string& model, const std::string& version, uint8_t topSector) {
    const Profile& p = ProfileOf(model);
    Bytes bank0(256, '\0');
    PutText(bank0, 0, model, 16);
    PutText(bank0, 16, version, 4);
    Put(bank0, 20, topSector, 1);
    Put(bank0, 21, p.interface, 1);
    Put(bank0, 22, p.baud, 1);
    Put(bank0, 23, p.serial, 1);
    Put(bank0, 24, p.features, 1);
    Put(bank0, 25, p.density, 1);
    Put(bank0, 26, p.codePage, 1);
    Put(bank0, 27, p.paperMm, 1);
    Put(bank0, 28, p.lines, 4);
    Put(bank0, 32, p.cuts, 4);
    Put(bank0, 36, p.powerOns, 2);
    Put(bank0, 38, p.micrReads, 2);
    for (std::size_t i = 0; i < p.hardwareId.size(); ++i) Put(bank0, 40 + i, p.hardwareId[i], 1);
    for (std::size_t i = 0; i < p.mac.size(); ++i) Put(bank0, 44 + i, p.mac[i], 1);

    Bytes bank1(256, '\0');
    Put(bank1, 0, p.dpi, 2);
    Put(bank1, 2, p.compression, 1);
    Put(bank1, 3, p.micrFont, 1);
    Put(bank1, 4, p.checks, 4);

    const Bytes tail = Bytes(5, '\0') + bank1 + Bytes("\r\n");
    if (p.dpi == 0) return Bytes("NV\x02", 3) + bank0 + tail;
    Bytes header = Bytes("NV\x02", 3) + Bytes(24, ' ');
    PutText(header, 3, p.serialNumber, 16);
    PutText(header, 19, p.made, 8);
    return header + bank0 + tail;
}

}  // namespace posbench::sim
