// USB printer: a pair of FIFOs. The printer opens both read-write, so it never blocks in open,
// never sees end-of-file when the tool closes its ends, and the tool's opens never block either.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "Medium.h"

namespace posbench::sim {

namespace {

class FifoPair final : public Medium {
public:
    explicit FifoPair(std::string dir)
        : dir_(std::move(dir)), in_(dir_ + "/to-printer"), out_(dir_ + "/from-printer") {
        struct stat st{};
        if (::stat(dir_.c_str(), &st) != 0) {
            if (::mkdir(dir_.c_str(), 0700) != 0)
                throw std::runtime_error("cannot create " + dir_ + ": " + std::strerror(errno));
            madeDir_ = true;
        }
        madeIn_ = MakeFifo(in_);
        madeOut_ = MakeFifo(out_);
        inFd_ = OpenBoth(in_);
        outFd_ = OpenBoth(out_);
    }
    ~FifoPair() override {
        if (inFd_ >= 0) ::close(inFd_);
        if (outFd_ >= 0) ::close(outFd_);
        if (madeIn_) ::unlink(in_.c_str());
        if (madeOut_) ::unlink(out_.c_str());
        if (madeDir_) ::rmdir(dir_.c_str());
    }
    std::string Endpoint() const override { return "fifo " + dir_; }
    void AddPollFds(std::vector<pollfd>& fds) const override {
        fds.push_back({inFd_, POLLIN, 0});
    }
    std::optional<int64_t> Deadline() const override { return reopenAt_; }
    Received Service(int64_t nowMs) override {
        if (reopenAt_ && nowMs >= *reopenAt_) {
            reopenAt_.reset();
            outFd_ = ::open(out_.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
            if (outFd_ < 0) reopenAt_ = nowMs + kDropMs;  // removed under us: try again
        }
        Received r;
        char buf[4096];
        const ssize_t n = ::read(inFd_, buf, sizeof buf);
        if (n > 0) r.data.assign(buf, static_cast<std::size_t>(n));
        return r;
    }
    int WriteFd() const override { return outFd_; }
    void Drop(int64_t nowMs) override {
        // With the printer's end closed for a while, a tool reading from-printer reads what
        // was already answered and then end-of-file.
        if (outFd_ < 0) return;
        ::close(outFd_);
        outFd_ = -1;
        reopenAt_ = nowMs + kDropMs;
    }
    void PowerOff() override {
        if (outFd_ >= 0) Drain(outFd_);
    }
    void PowerOn(int64_t) override { Drain(inFd_); }

private:
    static bool MakeFifo(const std::string& path) {
        struct stat st{};
        if (::stat(path.c_str(), &st) == 0) {
            if (S_ISFIFO(st.st_mode)) return false;
            throw std::runtime_error(path + " exists and is not a FIFO");
        }
        if (::mkfifo(path.c_str(), 0600) != 0)
            throw std::runtime_error("cannot create " + path + ": " + std::strerror(errno));
        return true;
    }
    static int OpenBoth(const std::string& path) {
        const int fd = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) throw std::runtime_error("cannot open " + path + ": " + std::strerror(errno));
        return fd;
    }
    // Throws away what waits in a FIFO (a restarting printer loses its buffers).
    static void Drain(int fd) {
        char buf[4096];
        while (::read(fd, buf, sizeof buf) > 0) {
        }
    }

    static constexpr int64_t kDropMs = 250;

    std::string dir_, in_, out_;
    std::optional<int64_t> reopenAt_;
    int inFd_ = -1;
    int outFd_ = -1;
    bool madeDir_ = false, madeIn_ = false, madeOut_ = false;
};

}  // namespace

std::unique_ptr<Medium> MakeFifoPair(const std::string& dir) {
    return std::make_unique<FifoPair>(dir);
}

}  // namespace posbench::sim
