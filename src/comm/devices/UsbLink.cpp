#include "comm/devices/UsbLink.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <thread>
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

bool SetNonBlocking(int fd) {
    const int flags = fcntl(fd, F_GETFL);
    return flags >= 0 && fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

bool WouldBlock(int code) { return code == EAGAIN || code == EWOULDBLOCK; }

// Byte streams on descriptors: a usblp printer (one descriptor for both pipes) or the pair
// named in [Devices] (FIFOs of the simulated printer and of tests).
class FdLink : public ByteLink {
public:
    FdLink(int writeFd, int readFd) : writeFd_(writeFd), readFd_(readFd) {
        struct stat st {};
        readIsPipe_ = fstat(readFd_, &st) == 0 && S_ISFIFO(st.st_mode);
    }
    ~FdLink() override { Close(); }

    // A driver that called itself readable and then had nothing is not watched again until it
    // delivers: the engine would wake over and over for nothing.
    int ReadFd() const override { return emptyWhenReady_ ? -1 : readFd_; }

    long Read(char* area, size_t n, int& code) override {
        // Only a descriptor that polls readable is read: a FIFO whose printer has not opened
        // its end yet reads as ended, yet polls as not ready, which is the truth.
        pollfd p{readFd_, POLLIN, 0};
        const int ready = poll(&p, 1, 0);
        if (ready == 0 || (ready < 0 && errno == EINTR)) return 0;
        if (ready < 0 || (p.revents & POLLNVAL)) {
            code = ready < 0 ? errno : EBADF;
            return -1;
        }
        for (;;) {
            const ssize_t got = read(readFd_, area, n);
            if (got > 0) {
                emptyWhenReady_ = false;
                return got;
            }
            if (got < 0 && errno == EINTR) continue;
            if (got < 0 && !WouldBlock(errno)) {
                code = errno;
                return -1;
            }
            if (got == 0 && readIsPipe_) {
                code = 0;  // the printer's end of the pipe has closed: it is gone, not silent
                return -1;
            }
            emptyWhenReady_ = true;
            return 0;
        }
    }

    long Write(const char* bytes, size_t n, int& code) override {
        for (;;) {
            const ssize_t done = write(writeFd_, bytes, n);
            if (done >= 0) return done;
            if (errno == EINTR) continue;
            if (WouldBlock(errno)) return 0;
            code = errno;
            return -1;
        }
    }

    int WriteFd() const override { return writeFd_; }

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
    bool emptyWhenReady_ = false;
};

// A native printer through libusb: the bulk OUT and bulk IN endpoints of its vendor-specific
// interface. libusb can only wait in a transfer, so a thread of the link's own takes the bulk
// IN transfers and passes their bytes into a pipe, whose read end is what the engine polls;
// the printer's bytes wait there as they would in a socket. A write waits at most one short
// slice in its transfer and reports what the printer took.
class LibusbLink : public ByteLink {
public:
    static constexpr unsigned kWriteSliceMs = 20;
    // Transfers are cut into slices so that the thread notices Close between them.
    static constexpr int kReadSliceMs = 100;

    LibusbLink(libusb_context* context, libusb_device_handle* handle, int interfaceNumber,
               unsigned char out, unsigned char in)
        : context_(context), handle_(handle), interface_(interfaceNumber), out_(out), in_(in) {}
    ~LibusbLink() override { Close(); }

    // Starts the thread; false with the error number in code.
    bool Start(int& code) {
        int fds[2];
        if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
            code = errno;
            return false;
        }
        pipeRead_ = fds[0];
        pipeWrite_ = fds[1];
        try {
            thread_ = std::thread(&LibusbLink::Feed, this);
        } catch (const std::system_error& e) {
            close(pipeWrite_);
            code = e.code().value();
            return false;
        }
        return true;
    }

    int ReadFd() const override { return pipeRead_; }

    long Read(char* area, size_t n, int& code) override {
        for (;;) {
            const ssize_t got = read(pipeRead_, area, n);
            if (got > 0) return got;
            if (got < 0 && errno == EINTR) continue;
            if (got < 0 && WouldBlock(errno)) return 0;
            // The thread has ended: the transfer's failure, or 0 for a printer gone.
            code = got == 0 ? failure_.load() : errno;
            return -1;
        }
    }

    long Write(const char* bytes, size_t n, int& code) override {
        int sent = 0;
        auto* data = reinterpret_cast<unsigned char*>(const_cast<char*>(bytes));
        const int rc = libusb_bulk_transfer(handle_, out_, data, static_cast<int>(n), &sent,
                                            kWriteSliceMs);
        if (rc == 0 || rc == LIBUSB_ERROR_TIMEOUT) return std::max(sent, 0);
        code = rc;
        return -1;
    }

    int WriteFd() const override { return -1; }

    std::string Close() override {
        stop_ = true;
        if (thread_.joinable()) thread_.join();
        if (pipeRead_ >= 0) close(pipeRead_);
        pipeRead_ = -1;
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
    void Feed() {
        unsigned char packet[1024];
        while (!stop_) {
            int got = 0;
            const int rc = libusb_bulk_transfer(handle_, in_, packet, sizeof packet, &got, kReadSliceMs);
            if (got > 0 && !Pass(packet, static_cast<size_t>(got))) break;
            if (rc != 0 && rc != LIBUSB_ERROR_TIMEOUT) {
                failure_ = rc;
                break;
            }
        }
        // The engine reads the end of the pipe as the end of the printer's stream.
        close(pipeWrite_);
    }

    // All of the bytes into the pipe, waiting for room while the engine has not read it.
    bool Pass(const unsigned char* bytes, size_t n) {
        while (n > 0 && !stop_) {
            const ssize_t done = write(pipeWrite_, bytes, n);
            if (done > 0) {
                bytes += done;
                n -= static_cast<size_t>(done);
            } else if (done < 0 && WouldBlock(errno)) {
                pollfd p{pipeWrite_, POLLOUT, 0};
                poll(&p, 1, kReadSliceMs);
            } else if (done < 0 && errno != EINTR) {
                return false;
            }
        }
        return !stop_;
    }

    libusb_context* context_;
    libusb_device_handle* handle_;
    int interface_;
    unsigned char out_;
    unsigned char in_;
    int pipeRead_ = -1;
    int pipeWrite_ = -1;  // the thread's once started
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<int> failure_{0};
};

// One program at a time on a printer: a second one would take the first one's answers and
// interleave its bytes with a transfer. False with the failure in error and reason.
bool ClaimExclusive(int fd, const std::string& path, std::string& error, std::string& reason) {
    if (flock(fd, LOCK_EX | LOCK_NB) == 0) return true;
    error = "Invalid Write Handle Error: " + CStr(errno);
    reason = OpenFailureReason(path, errno);
    return false;
}

std::unique_ptr<ByteLink> OpenPair(const std::string& pair, std::string& error,
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

std::unique_ptr<ByteLink> OpenPrinterClass(std::string& error, std::string& reason) {
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

std::unique_ptr<ByteLink> OpenNative(std::string& error, std::string& reason) {
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
    auto link = std::make_unique<LibusbLink>(context, handle, intf.number, intf.out, intf.in);
    int code = 0;
    if (!link->Start(code)) {
        error = "Invalid Read Handle Error: " + CStr(code);
        return nullptr;
    }
    return link;
}

}  // namespace

std::unique_ptr<ByteLink> OpenUsbLink(bool printerClass, std::string& error, std::string& reason) {
    const std::string pair = Trim(DevicePath("USB"));
    if (!pair.empty()) return OpenPair(pair, error, reason);
    return printerClass ? OpenPrinterClass(error, reason) : OpenNative(error, reason);
}

}  // namespace posbench
