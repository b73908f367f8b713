#include "support/Pty.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

#include "support/Wait.h"

namespace posbench::test {

Pty::Pty() {
    char name[256] = {};
    if (openpty(&master_, &slave_, name, nullptr, nullptr) != 0) {
        throw std::runtime_error("openpty failed");
    }
    slavePath_ = name;
    termios t = Settings();
    cfmakeraw(&t);
    tcsetattr(slave_, TCSANOW, &t);
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
}

Pty::~Pty() {
    CloseMaster();
    if (slave_ >= 0) close(slave_);
}

termios Pty::Settings() const {
    termios t{};
    tcgetattr(slave_, &t);
    return t;
}

void Pty::CloseMaster() {
    if (master_ >= 0) close(master_);
    master_ = -1;
}

void Pty::Write(const std::string& bytes) const {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n < 0 && errno != EINTR && errno != EAGAIN) {
            throw std::runtime_error("pty write failed");
        } else {
            pollfd p{master_, POLLOUT, 0};
            poll(&p, 1, 100);
        }
    }
}

bool Pty::Send(const std::string& bytes) const {
    Write(bytes);
    return PumpUntil([&] { return InputQueued() >= static_cast<int>(bytes.size()); });
}

int Pty::InputQueued() const {
    int n = 0;
    ioctl(slave_, FIONREAD, &n);
    return n;
}

bool Pty::ReadSome(std::string& got, std::size_t most) const {
    char buf[4096];
    const ssize_t n = ::read(master_, buf, most < sizeof buf ? most : sizeof buf);
    if (n > 0) got.append(buf, static_cast<std::size_t>(n));
    return n > 0 || (n < 0 && (errno == EAGAIN || errno == EINTR));
}

std::string Pty::Read(std::size_t count, std::chrono::milliseconds timeout) const {
    std::string got;
    bool open = true;
    PumpUntil([&] {
        open = open && ReadSome(got, count - got.size());
        return got.size() >= count || !open;  // a hung-up line sends nothing more
    }, static_cast<int>(timeout.count()));
    return got;
}

std::string Pty::Drain(std::chrono::milliseconds quiet) const {
    std::string got;
    for (pollfd p{master_, POLLIN, 0};
         poll(&p, 1, static_cast<int>(quiet.count())) > 0 && ReadSome(got, 1 << 16);) {
    }
    return got;
}

}  // namespace posbench::test
