// Serial printer: a pseudo-terminal in raw mode, reached by the tool through a symbolic link.
// The printer keeps a descriptor of the slave side itself, so the tool may close and reopen the
// slave between sessions without the master seeing a hang-up.
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "Medium.h"

namespace posbench::sim {

namespace {

class Pty final : public Medium {
public:
    explicit Pty(std::string link) : link_(std::move(link)) {
        struct stat st{};
        if (::lstat(link_.c_str(), &st) == 0 && !S_ISLNK(st.st_mode))
            throw std::runtime_error(link_ + " exists and is not a symbolic link");
        Open();
    }
    ~Pty() override {
        Close();
        RemoveLink();
    }
    std::string Endpoint() const override { return "pty " + link_; }
    void AddPollFds(std::vector<pollfd>& fds) const override {
        if (master_ >= 0) fds.push_back({master_, POLLIN, 0});
    }
    Received Service(int64_t nowMs) override {
        Received r;
        if (master_ < 0) return r;
        char buf[4096];
        const ssize_t n = ::read(master_, buf, sizeof buf);
        if (n > 0) {
            r.data.assign(buf, static_cast<std::size_t>(n));
        } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
            // Should not happen while the printer holds the slave; start afresh if it does.
            Drop(nowMs);
            r.sessionChanged = true;
        }
        return r;
    }
    int WriteFd() const override { return master_; }
    void Drop(int64_t) override {
        // The link names a new pty before the old one closes, so a tool that reopens as soon
        // as it sees the hang-up finds the new one.
        const int oldMaster = master_, oldSlave = slave_;
        Open();
        ::close(oldMaster);
        ::close(oldSlave);
    }
    void PowerOff() override { Drop(0); }
    void PowerOn(int64_t) override {}

private:
    // Creates a pty pair and points the link at it; the previous pair is the caller's.
    void Open() {
        master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0)
            throw std::runtime_error(std::string("cannot create a pty: ") + std::strerror(errno));
        char name[256] = {};
        if (::ptsname_r(master_, name, sizeof name) != 0)
            throw std::runtime_error("cannot name the pty");
        slave_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (slave_ < 0) throw std::runtime_error(std::string("cannot open ") + name);
        termios tio{};
        if (::tcgetattr(slave_, &tio) == 0) {
            ::cfmakeraw(&tio);
            ::tcsetattr(slave_, TCSANOW, &tio);
        }
        ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
        // Replace the link in one step, so the tool never finds it missing.
        const std::string tmp = link_ + ".new" + std::to_string(::getpid());
        ::unlink(tmp.c_str());
        if (::symlink(name, tmp.c_str()) != 0 || ::rename(tmp.c_str(), link_.c_str()) != 0) {
            ::unlink(tmp.c_str());
            throw std::runtime_error("cannot link " + link_ + ": " + std::strerror(errno));
        }
        target_ = name;
    }
    void Close() {
        if (master_ >= 0) ::close(master_);
        if (slave_ >= 0) ::close(slave_);
        master_ = slave_ = -1;
    }
    void RemoveLink() {
        char buf[256] = {};
        const ssize_t n = ::readlink(link_.c_str(), buf, sizeof buf - 1);
        if (n > 0 && target_ == std::string(buf, static_cast<std::size_t>(n)))
            ::unlink(link_.c_str());
    }

    std::string link_;
    std::string target_;
    int master_ = -1;
    int slave_ = -1;
};

}  // namespace

std::unique_ptr<Medium> MakePty(const std::string& linkPath) {
    return std::make_unique<Pty>(linkPath);
}

}  // namespace posbench::sim
