#include "comm/devices/UsbLink.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <vector>

#include <fcntl.h>
#include <libusb.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/Numbers.h"
#include "base/StringOps.h"
#include "comm/CommGlobals.h"
#include "comm/devices/OpenFailure.h"

namespace posbench {
namespace {

// How long a write may wait for the printer to take its bytes.
constexpr int kWriteTimeoutMs = 5000;

// All the bytes, on a non-blocking descriptor, within kWriteTimeoutMs: a printer that has died
// or stopped reading must not hold the program in write() for ever.
bool WriteAll(int fd, const std::string& bytes, int& code) {
    size_t done = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWriteTimeoutMs);
    while (done < bytes.size()) {
        ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
        if (n >= 0) {
            done += static_cast<size_t>(n);
            continue;
        }
        if (errno == EINTR) continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) {
            code = errno;
            return false;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd p{fd, POLLOUT, 0};
        if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) == 0) {
            code = ETIMEDOUT;
            return false;
        }
    }
    return true;
}

bool SetNonBlocking(int fd) {
    const int flags = fcntl(fd, F_GETFL);
    return flags >= 0 && fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

// Byte streams on descriptors: a usblp printer (one descriptor for both pipes) or the pair
// named in [Devices] (FIFOs of the simulated printer and of tests).
class FdLink : public UsbLink {
public:
    FdLink(int writeFd, int readFd) : writeFd_(writeFd), readFd_(readFd) {
        struct stat st {};
        readIsPipe_ = fstat(readFd_, &st) == 0 && S_ISFIFO(st.st_mode);
    }
    ~FdLink() override { Close(); }

    bool Write(const std::string& bytes, int& code) override { return WriteAll(writeFd_, bytes, code); }

    long Read(char* area, size_t n, int timeoutMs, const StopSignal& stop, int& code) override {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            switch (WaitReadable(readFd_, stop, timeoutMs)) {
                case WaitResult::Stopped:
                case WaitResult::TimedOut:
                    return 0;
                case WaitResult::Failed:
                    code = errno;
                    return -1;
                case WaitResult::Ready:
                    break;
            }
            ssize_t got = read(readFd_, area, n);
            if (got > 0) return got;
            if (got < 0 && errno == EINTR) continue;
            if (got < 0 && errno != EAGAIN) {
                code = errno;
                return -1;
            }
            if (got == 0 && readIsPipe_) {
                // The printer's end of the pipe has closed: it is gone, not silent.
                code = EPIPE;
                return -1;
            }
            // Nothing after all: a driver would have waited its time-out before returning
            // empty, and a reader looping on instant empty reads would spin.
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            pollfd p{stop.fd(), POLLIN, 0};
            if (left.count() > 0) poll(&p, 1, static_cast<int>(left.count()));
            return 0;
        }
    }

    std::string Close() override {
        std::string error;
        if (readFd_ >= 0 && readFd_ != writeFd_ && close(readFd_) != 0)
            error = "Close Read Error: " + CStr(errno);
        readFd_ = -1;
        if (writeFd_ >= 0 && close(writeFd_) != 0) error = "Close Write: " + CStr(errno);
        writeFd_ = -1;
        return error;
    }

private:
    int writeFd_;
    int readFd_;
    bool readIsPipe_ = false;
};

// A native printer through libusb: the bulk OUT and bulk IN endpoints of its vendor-specific
// interface.
class LibusbLink : public UsbLink {
public:
    static constexpr unsigned kWriteTimeoutMs = 5000;
    // Reads are cut into short transfers so that a stop is noticed between them.
    static constexpr int kReadSliceMs = 100;

    LibusbLink(libusb_context* context, libusb_device_handle* handle, int interfaceNumber,
               unsigned char out, unsigned char in)
        : context_(context), handle_(handle), interface_(interfaceNumber), out_(out), in_(in) {}
    ~LibusbLink() override { Close(); }

    bool Write(const std::string& bytes, int& code) override {
        size_t done = 0;
        std::vector<unsigned char> data(bytes.begin(), bytes.end());
        while (done < data.size()) {
            int sent = 0;
            int rc = libusb_bulk_transfer(handle_, out_, data.data() + done,
                                          static_cast<int>(data.size() - done), &sent, kWriteTimeoutMs);
            done += static_cast<size_t>(std::max(sent, 0));
            if (rc != 0) {
                code = rc;
                return false;
            }
        }
        return true;
    }

    long Read(char* area, size_t n, int timeoutMs, const StopSignal& stop, int& code) override {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        // A bulk IN transfer must take whole packets; what the caller did not ask for waits
        // here for the next read.
        while (pending_.empty() && !stop.requested() && std::chrono::steady_clock::now() < deadline) {
            unsigned char packet[1024];
            int got = 0;
            int rc = libusb_bulk_transfer(handle_, in_, packet, sizeof packet, &got, kReadSliceMs);
            if (got > 0) pending_.insert(pending_.end(), packet, packet + got);
            if (rc != 0 && rc != LIBUSB_ERROR_TIMEOUT) {
                if (!pending_.empty()) break;
                code = rc;
                return -1;
            }
        }
        const size_t take = std::min(n, pending_.size());
        std::copy_n(pending_.begin(), take, area);
        pending_.erase(pending_.begin(), pending_.begin() + static_cast<long>(take));
        return static_cast<long>(take);
    }

    std::string Close() override {
        if (handle_) {
            libusb_release_interface(handle_, interface_);
            libusb_close(handle_);
            handle_ = nullptr;
        }
        if (context_) libusb_exit(context_);
        context_ = nullptr;
        return {};
    }

private:
    libusb_context* context_;
    libusb_device_handle* handle_;
    int interface_;
    unsigned char out_;
    unsigned char in_;
    std::vector<char> pending_;
};

// One program at a time on a printer: a second one would take the first one's answers and
// interleave its bytes with a transfer. False with the failure in error and reason.
bool ClaimExclusive(int fd, const std::string& path, std::string& error, std::string& reason) {
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) return true;
    error = "Invalid Write Handle Error: " + CStr(errno);
    reason = OpenFailureReason(path, errno);
    return false;
}

std::unique_ptr<UsbLink> OpenPair(const std::string& pair, std::string& error,
                                  std::string& reason) {
    const long comma = InStr(pair, ",");
    const std::string writePath = Trim(comma > 0 ? Left(pair, comma - 1) : pair);
    const std::string readPath = comma > 0 ? Trim(Mid(pair, comma + 1)) : writePath;
    // Read and write access: a FIFO opens at once whether or not the printer is there yet.
    int writeFd = open(writePath.c_str(), O_RDWR | O_CLOEXEC | O_NOCTTY);
    if (writeFd < 0) {
        error = "Invalid Write Handle Error: " + CStr(errno);
        reason = OpenFailureReason(writePath, errno);
        return nullptr;
    }
    if (!ClaimExclusive(writeFd, writePath, error, reason) || !SetNonBlocking(writeFd)) {
        if (error.empty()) error = "Invalid Write Handle Error: " + CStr(errno);
        close(writeFd);
        return nullptr;
    }
    // A separate read stream is opened for reading only, so that its end-of-file tells when
    // the printer's end has gone; non-blocking, so that the open does not wait for it.
    const int readFlags = readPath == writePath ? O_RDWR : O_RDONLY | O_NONBLOCK;
    int readFd = open(readPath.c_str(), readFlags | O_CLOEXEC | O_NOCTTY);
    if (readFd < 0) {
        error = "Invalid Read Handle Error: " + CStr(errno);
        reason = OpenFailureReason(readPath, errno);
        close(writeFd);
        return nullptr;
    }
    return std::make_unique<FdLink>(writeFd, readFd);
}

std::unique_ptr<UsbLink> OpenPrinterClass(std::string& error, std::string& reason) {
    std::vector<std::string> printers;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/sys/class/usbmisc", ec)) {
        const std::string name = entry.path().filename().string();
        if (Left(name, 2) == "lp") printers.push_back(name);
    }
    if (printers.empty()) {
        error = "EnumDevError: " + CStr(ENODEV);
        return nullptr;
    }
    std::sort(printers.begin(), printers.end(), [](const std::string& a, const std::string& b) {
        return a.size() != b.size() ? a.size() < b.size() : a < b;
    });
    const std::string path = "/dev/usb/" + printers.front();
    int fd = open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        error = "Invalid Write Handle Error: " + CStr(errno);
        reason = OpenFailureReason(path, errno, "lp");
        return nullptr;
    }
    if (!ClaimExclusive(fd, path, error, reason) || !SetNonBlocking(fd)) {
        if (error.empty()) error = "Invalid Write Handle Error: " + CStr(errno);
        close(fd);
        return nullptr;
    }
    return std::make_unique<FdLink>(fd, fd);
}

// "vvvv:pppp" in hex; false when the text is not of that form.
bool ParseUsbId(const std::string& text, int& vendor, int& product) {
    const long colon = InStr(text, ":");
    if (colon != 5 || text.size() != 9) return false;
    try {
        size_t used = 0;
        vendor = std::stoi(text.substr(0, 4), &used, 16);
        if (used != 4) return false;
        product = std::stoi(text.substr(5, 4), &used, 16);
        return used == 4;
    } catch (...) {
        return false;
    }
}

struct NativeInterface {
    int number = -1;
    int altSetting = 0;
    unsigned char out = 0;
    unsigned char in = 0;
};

bool FindVendorInterface(libusb_device* device, NativeInterface& found) {
    libusb_config_descriptor* config = nullptr;
    if (libusb_get_active_config_descriptor(device, &config) != 0 &&
        libusb_get_config_descriptor(device, 0, &config) != 0)
        return false;
    bool ok = false;
    for (int i = 0; i < config->bNumInterfaces && !ok; ++i) {
        const libusb_interface& intf = config->interface[i];
        for (int a = 0; a < intf.num_altsetting && !ok; ++a) {
            const libusb_interface_descriptor& d = intf.altsetting[a];
            if (d.bInterfaceClass != LIBUSB_CLASS_VENDOR_SPEC) continue;
            NativeInterface candidate{d.bInterfaceNumber, d.bAlternateSetting, 0, 0};
            for (int e = 0; e < d.bNumEndpoints; ++e) {
                const libusb_endpoint_descriptor& ep = d.endpoint[e];
                if ((ep.bmAttributes & LIBUSB_TRANSFER_TYPE_MASK) != LIBUSB_TRANSFER_TYPE_BULK) continue;
                if (ep.bEndpointAddress & LIBUSB_ENDPOINT_IN) {
                    if (!candidate.in) candidate.in = ep.bEndpointAddress;
                } else if (!candidate.out) {
                    candidate.out = ep.bEndpointAddress;
                }
            }
            if (candidate.in && candidate.out) {
                found = candidate;
                ok = true;
            }
        }
    }
    libusb_free_config_descriptor(config);
    return ok;
}

std::unique_ptr<UsbLink> OpenNative(std::string& error, std::string& reason) {
    int vendor = -1;
    int product = -1;
    const std::string id = Trim(DevicePath("USBID"));
    if (!id.empty() && !ParseUsbId(id, vendor, product)) {
        error = "EnumDevError: " + CStr(LIBUSB_ERROR_INVALID_PARAM);
        return nullptr;
    }
    libusb_context* context = nullptr;
    int rc = libusb_init(&context);
    if (rc != 0) {
        error = "EnumDevError: " + CStr(rc);
        return nullptr;
    }
    libusb_device** list = nullptr;
    ssize_t count = libusb_get_device_list(context, &list);
    if (count < 0) {
        error = "EnumDevError: " + CStr(static_cast<int64_t>(count));
        libusb_exit(context);
        return nullptr;
    }
    libusb_device* chosen = nullptr;
    NativeInterface intf;
    libusb_device_descriptor desc{};
    for (ssize_t i = 0; i < count && !chosen; ++i) {
        if (libusb_get_device_descriptor(list[i], &desc) != 0) continue;
        if (vendor >= 0 && (desc.idVendor != vendor || desc.idProduct != product)) continue;
        if (FindVendorInterface(list[i], intf)) chosen = list[i];
    }
    libusb_device_handle* handle = nullptr;
    rc = chosen ? libusb_open(chosen, &handle) : LIBUSB_ERROR_NO_DEVICE;
    libusb_free_device_list(list, 1);
    if (!chosen) {
        error = "EnumDevError: " + CStr(rc);
        libusb_exit(context);
        return nullptr;
    }
    if (rc == 0) {
        libusb_set_auto_detach_kernel_driver(handle, 1);
        rc = libusb_claim_interface(handle, intf.number);
        if (rc == 0 && intf.altSetting != 0)
            rc = libusb_set_interface_alt_setting(handle, intf.number, intf.altSetting);
        if (rc != 0) libusb_close(handle);
    }
    if (rc != 0) {
        error = "Invalid Write Handle Error: " + CStr(rc);
        char found[16];
        std::snprintf(found, sizeof found, "%04x:%04x", desc.idVendor, desc.idProduct);
        reason = std::string("USB printer ") + found + ": " + libusb_strerror(rc);
        // Raw USB devices belong to root unless a udev rule hands them to the user.
        if (rc == LIBUSB_ERROR_ACCESS) reason += " (add a udev rule for the printer, see README)";
        libusb_exit(context);
        return nullptr;
    }
    return std::make_unique<LibusbLink>(context, handle, intf.number, intf.out, intf.in);
}

}  // namespace

std::unique_ptr<UsbLink> OpenUsbLink(bool printerClass, std::string& error, std::string& reason) {
    const std::string pair = Trim(DevicePath("USB"));
    if (!pair.empty()) return OpenPair(pair, error, reason);
    return printerClass ? OpenPrinterClass(error, reason) : OpenNative(error, reason);
}

}  // namespace posbench
