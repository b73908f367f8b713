#include "ListPorts.h"

#include <fcntl.h>
#include <grp.h>
#include <linux/serial.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <libusb-1.0/libusb.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <vector>

#include "CliOutput.h"
#include "PortRun.h"
#include "base/StringOps.h"
#include "comm/CommGlobals.h"
#include "comm/StartupConfig.h"

namespace posbench::cli {
namespace {

namespace fs = std::filesystem;

struct Found {
    std::string kind;    // serial, usb-printer, usb
    std::string path;    // the device node
    std::string detail;  // by-id names, the IEEE 1284 ID, vendor:product
    std::string group;
    bool mayOpen = false;
};

std::string GroupOf(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) return "?";
    if (const group* g = getgrgid(info.st_gid)) return g->gr_name;
    return std::to_string(info.st_gid);
}

Found Describe(std::string kind, const std::string& path, std::string detail) {
    return {std::move(kind), path, std::move(detail), GroupOf(path),
            access(path.c_str(), R_OK | W_OK) == 0};
}

// Names under DIR/serial/by-id that lead to path.
std::string ByIdNames(const std::string& root, const std::string& path) {
    std::string names;
    std::error_code ec;
    const fs::path target = fs::canonical(path, ec);
    if (ec) return names;
    for (const auto& link : fs::directory_iterator(root + "/serial/by-id", ec)) {
        std::error_code linkEc;
        if (fs::canonical(link.path(), linkEc) == target && !linkEc)
            names += (names.empty() ? "" : " ") + link.path().filename().string();
    }
    return names;
}

// A ttyS line is listed only when a UART stands behind it; the kernel makes every ttySn.
bool RealUart(const std::string& path) {
    const std::string name = fs::path(path).filename().string();
    std::ifstream type("/sys/class/tty/" + name + "/type");
    int uart = 0;
    if (type >> uart) return uart != 0;
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return false;
    serial_struct info {};
    const bool real = ioctl(fd, TIOCGSERIAL, &info) == 0 && info.type != PORT_UNKNOWN;
    close(fd);
    return real;
}

// The USB printer driver's request for the IEEE 1284 device ID (not in the exported headers).
#ifndef LPIOC_GET_DEVICE_ID
#define LPIOC_GET_DEVICE_ID(len) _IOC(_IOC_READ, 'P', 1, len)
#endif

// The IEEE 1284 device ID the printer reports (without its two length bytes).
std::string DeviceId(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return {};
    char id[1024] = {};
    std::string text;
    if (ioctl(fd, LPIOC_GET_DEVICE_ID(sizeof id), id) == 0) {
        const std::size_t length =
            std::min<std::size_t>((static_cast<unsigned char>(id[0]) << 8 |
                                   static_cast<unsigned char>(id[1])),
                                  sizeof id);
        if (length > 2) text.assign(id + 2, strnlen(id + 2, length - 2));
    }
    close(fd);
    return text;
}

std::vector<std::string> Matching(const std::string& dir, const std::string& prefix) {
    std::vector<std::string> paths;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(dir, ec)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(prefix, 0) == 0 && name.size() > prefix.size()) paths.push_back(entry.path());
    }
    std::sort(paths.begin(), paths.end());
    return paths;
}

void FindSerial(const std::string& root, std::vector<Found>& found) {
    for (const char* prefix : {"ttyS", "ttyUSB", "ttyACM"}) {
        for (const std::string& path : Matching(root, prefix)) {
            if (std::string(prefix) == "ttyS" && !RealUart(path)) continue;
            const std::string byId = ByIdNames(root, path);
            found.push_back(Describe("serial", path, byId.empty() ? "" : "by-id " + byId));
        }
    }
}

void FindUsbPrinters(const std::string& root, std::vector<Found>& found) {
    for (const std::string& path : Matching(root + "/usb", "lp"))
        found.push_back(Describe("usb-printer", path, DeviceId(path)));
}

// USB devices with an interface the program can drive: printer class, or vendor-specific
// (the native mode).
void FindLibusb(const std::string& root, std::vector<Found>& found) {
    libusb_context* context = nullptr;
    if (libusb_init(&context) != 0) return;
    libusb_device** list = nullptr;
    const ssize_t count = libusb_get_device_list(context, &list);
    for (ssize_t i = 0; i < count; ++i) {
        libusb_device_descriptor desc{};
        if (libusb_get_device_descriptor(list[i], &desc) != 0) continue;
        libusb_config_descriptor* config = nullptr;
        if (libusb_get_active_config_descriptor(list[i], &config) != 0) continue;
        std::string classes;
        for (int n = 0; n < config->bNumInterfaces; ++n) {
            for (int a = 0; a < config->interface[n].num_altsetting; ++a) {
                const int c = config->interface[n].altsetting[a].bInterfaceClass;
                if (c == LIBUSB_CLASS_PRINTER && classes.find("printer") == std::string::npos)
                    classes += " printer-class";
                if (c == LIBUSB_CLASS_VENDOR_SPEC && classes.find("native") == std::string::npos)
                    classes += " native";
            }
        }
        libusb_free_config_descriptor(config);
        if (classes.empty()) continue;
        char node[64], ids[64];
        std::snprintf(node, sizeof node, "%s/bus/usb/%03d/%03d", root.c_str(),
                      libusb_get_bus_number(list[i]), libusb_get_device_address(list[i]));
        std::snprintf(ids, sizeof ids, "%04x:%04x", desc.idVendor, desc.idProduct);
        found.push_back(Describe("usb", node, std::string(ids) + classes));
    }
    if (count >= 0) libusb_free_device_list(list, 1);
    libusb_exit(context);
}

// Where a defined port's medium is opened.
std::string DeviceOfEntry(const std::string& entry) {
    const std::string kind = UCase(Left(entry, 3));
    const std::string medium = kind == "COM" || kind == "LPT" ? UCase(Left(entry, 4)) : kind;
    if (kind == "TCP") return Trim(gsTCPAddress);
    std::string path = Trim(DevicePath(medium));
    if (!path.empty()) return path;
    const int number = std::atoi(medium.c_str() + 3);
    if (kind == "COM") return "/dev/ttyS" + std::to_string(number - 1);
    if (kind == "LPT") return "/dev/lp" + std::to_string(number - 1);
    const bool printerClass = UCase(Left(entry, 6)) == "USB, P";
    return printerClass ? "/dev/usb/lp*" : "libusb " + Trim(DevicePath("USBID"));
}

}  // namespace

int ListPorts(const CliOptions& options) {
    const char* rootVariable = std::getenv("POSBENCH_DEVICE_ROOT");
    const std::string root = rootVariable && *rootVariable ? rootVariable : "/dev";
    std::vector<Found> found;
    FindSerial(root, found);
    FindUsbPrinters(root, found);
    FindLibusb(root, found);
    for (const Found& f : found) {
        if (options.json)
            std::printf(R"({"kind":%s,"path":%s,"detail":%s,"group":%s,"may_open":%s})"
                        "\n",
                        JsonString(f.kind).c_str(), JsonString(f.path).c_str(),
                        JsonString(f.detail).c_str(), JsonString(f.group).c_str(),
                        f.mayOpen ? "true" : "false");
        else
            std::printf("%-12s %-22s group %-10s %-11s %s\n", f.kind.c_str(), f.path.c_str(),
                        f.group.c_str(), f.mayOpen ? "may open" : "no access", f.detail.c_str());
    }

    // The table as Startup.ini builds it; no port is opened.
    Startup();
    for (int16_t p = 1; p <= giNumPorts; ++p) {
        const std::string entry = gsPortTable(p);
        const std::string state = UCase(Right(entry, 2)) == "ON" ? "ON" : "OFF";
        const std::string device = DeviceOfEntry(entry);
        if (options.json)
            std::printf(R"({"kind":"port","port":%d,"entry":%s,"device":%s,"state":%s})"
                        "\n",
                        p, JsonString(entry).c_str(), JsonString(device).c_str(),
                        JsonString(state).c_str());
        else
            std::printf("port %d       %-30s %-22s %s\n", p, entry.c_str(), device.c_str(),
                        state.c_str());
    }
    if (!options.json && found.empty() && giNumPorts == 0)
        std::puts("No serial lines or USB printers found, and Startup.ini defines no ports.");
    std::fflush(stdout);
    return kExitOk;
}

}  // namespace posbench::cli
