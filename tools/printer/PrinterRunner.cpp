#include "PrinterRunner.h"

#include "CheckImage.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <stdexcept>

namespace posbench::sim {

namespace {

constexpr int64_t kSectorSize = 65536;
constexpr std::size_t kMaxServed = 64u << 20;  // largest image or NVRAM file served
// Unread answers beyond which the printer stops taking requests, as its output buffer would.
constexpr std::size_t kMaxUnread = 64u << 10;

std::FILE* OpenAppend(const std::string& path) {
    if (path.empty()) return nullptr;
    std::FILE* f = std::fopen(path.c_str(), "ab");
    if (f == nullptr) throw std::runtime_error("cannot open " + path + ": " + std::strerror(errno));
    return f;
}

Bytes ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    Bytes data;
    char buf[65536];
    while (in && data.size() < kMaxServed) {
        in.read(buf, sizeof buf);
        data.append(buf, static_cast<std::size_t>(in.gcount()));
    }
    if (data.size() > kMaxServed) data.resize(kMaxServed);
    return data;
}

// Written beside the target and renamed over it, so readers see all of it or nothing.
void WriteAtomically(const std::string& path, const Bytes& data) {
    const std::string tmp = path + ".tmp" + std::to_string(::getpid());
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        out.write(data.data(), static_cast<std::streamsize>(data.size()));
        if (!out) throw std::runtime_error("cannot write " + tmp);
    }
    if (std::rename(tmp.c_str(), path.c_str()) != 0) {
        std::remove(tmp.c_str());
        throw std::runtime_error("cannot write " + path + ": " + std::strerror(errno));
    }
}

std::unique_ptr<Medium> MakeMedium(const PrinterOptions& o) {
    switch (o.medium) {
        case MediumKind::Listen: return MakeTcpListener(o.where);
        case MediumKind::Connect: return MakeTcpConnector(o.where);
        case MediumKind::Pty: return MakePty(o.where);
        case MediumKind::Fifo: return MakeFifoPair(o.where);
    }
    throw std::runtime_error("no medium");
}

}  // namespace

PrinterRunner::PrinterRunner(PrinterOptions options)
    : options_(std::move(options)), protocol_(options_.protocol, *this) {
    start_ = Now();
    now_ = start_;
    paper_ = OpenAppend(options_.paperFile);
    capture_ = OpenAppend(options_.captureFile);
    log_ = OpenAppend(options_.logFile);
    if (!options_.flashFile.empty()) {
        flashFd_ = ::open(options_.flashFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (flashFd_ < 0) throw std::runtime_error("cannot open " + options_.flashFile);
    }
    if (!options_.storeDir.empty()) ::mkdir(options_.storeDir.c_str(), 0755);
    medium_ = MakeMedium(options_);
}

PrinterRunner::~PrinterRunner() {
    medium_.reset();
    for (std::FILE* f : {paper_, capture_, log_})
        if (f != nullptr) std::fclose(f);
    if (flashFd_ >= 0) ::close(flashFd_);
}

int64_t PrinterRunner::Now() const {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

void PrinterRunner::ReportReady() {
    const std::string line = "ready " + medium_->Endpoint();
    if (!options_.readyFile.empty()) WriteAtomically(options_.readyFile, line + "\n");
    std::cout << line << std::endl;
    Note(line);
}

int PrinterRunner::Run(int signalFd) {
    ReportReady();
    std::vector<pollfd> fds;
    for (;;) {
        now_ = Now();
        if (resetEnd_ && now_ >= *resetEnd_) {
            resetEnd_.reset();
            medium_->PowerOn(now_);
            Note("ready again");
        }
        if (!resetEnd_) protocol_.Tick(now_);
        if (medium_->WriteFd() < 0) ClearOut();  // answers to nobody are lost

        fds.clear();
        fds.push_back({signalFd, POLLIN, 0});
        const bool reading = Reading();
        if (reading) medium_->AddPollFds(fds);
        const bool wantWrite = !out_.empty() && out_.front().due <= now_;
        if (wantWrite) fds.push_back({medium_->WriteFd(), POLLOUT, 0});
        int timeout = -1;
        if (auto due = NextDeadline())
            timeout = static_cast<int>(std::clamp<int64_t>(*due - now_, 0, 60000));
        if (::poll(fds.data(), fds.size(), timeout) < 0 && errno != EINTR)
            throw std::runtime_error(std::string("poll: ") + std::strerror(errno));
        if (fds[0].revents & POLLIN) break;
        now_ = Now();
        if (wantWrite) FlushDue();
        if (!reading) continue;
        const Received got = medium_->Service(now_);
        if (got.sessionChanged) OnSessionChanged();
        if (!got.data.empty()) OnChunk(got.data);
    }
    signalfd_siginfo info{};
    [[maybe_unused]] const ssize_t n = ::read(signalFd, &info, sizeof info);
    Note("stopped by signal " + std::to_string(info.ssi_signo));
    return 0;
}

std::optional<int64_t> PrinterRunner::NextDeadline() const {
    std::optional<int64_t> due = resetEnd_;
    const auto consider = [&due](std::optional<int64_t> t) {
        if (t && (!due || *t < *due)) due = t;
    };
    if (!resetEnd_) consider(protocol_.Deadline());
    if (Reading()) consider(medium_->Deadline());
    // A due answer waits on POLLOUT instead; only a future one needs the clock.
    if (!out_.empty() && out_.front().due > now_) consider(out_.front().due);
    return due;
}

void PrinterRunner::OnSessionChanged() {
    protocol_.NewSession();
    ClearOut();
    Note("link session changed");
}

void PrinterRunner::OnChunk(const Bytes& chunk) {
    if (log_ != nullptr) {
        std::string line = std::to_string(now_ - start_) + " " + std::to_string(chunk.size());
        static const char* digits = "0123456789ABCDEF";
        for (unsigned char c : chunk) {
            line += ' ';
            line += digits[c >> 4];
            line += digits[c & 15];
        }
        std::fprintf(log_, "%s\n", line.c_str());
        std::fflush(log_);
    }
    if (capture_ != nullptr) {
        std::fwrite(chunk.data(), 1, chunk.size(), capture_);
        std::fflush(capture_);
    }
    if (resetEnd_) {
        Note("restarting: " + std::to_string(chunk.size()) + " bytes lost");
        return;
    }
    FeedCounted(chunk);
}

// Feeds the chunk in pieces cut where a fault's byte count is reached.
void PrinterRunner::FeedCounted(const Bytes& chunk) {
    std::size_t pos = 0;
    while (pos < chunk.size() && !resetEnd_) {
        std::size_t n = chunk.size() - pos;
        const auto cutAt = [&](bool pending, long at) {
            if (pending && at >= 0)
                n = std::min<std::size_t>(n, static_cast<std::size_t>(std::max(0L, at - received_)));
        };
        cutAt(!silent_, options_.silentAfter);
        cutAt(!dropped_, options_.dropAfter);
        cutAt(true, options_.killAfter);
        cutAt(!stalled_, options_.stallAfter);
        if (n > 0) {
            protocol_.Feed(chunk.substr(pos, n), now_);
            received_ += static_cast<long>(n);
            pos += n;
        }
        if (!silent_ && options_.silentAfter >= 0 && received_ >= options_.silentAfter) {
            silent_ = true;
            Note("fault: silent from now on");
        }
        if (!dropped_ && options_.dropAfter >= 0 && received_ >= options_.dropAfter) {
            dropped_ = true;
            FlushDue();  // what was answered before the cut still goes out
            Note("fault: link dropped");
            medium_->Drop(now_);
            protocol_.NewSession();
            ClearOut();
            return;
        }
        if (options_.killAfter >= 0 && received_ >= options_.killAfter) {
            Note("fault: killed");
            ::kill(::getpid(), SIGKILL);
        }
        if (!stalled_ && options_.stallAfter >= 0 && received_ >= options_.stallAfter) {
            stalled_ = true;
            Note("fault: stopped reading");
            return;  // the rest of the chunk is lost: it was never read
        }
    }
}

void PrinterRunner::FlushDue() {
    const int fd = medium_->WriteFd();
    while (fd >= 0 && !out_.empty() && out_.front().due <= now_) {
        Bytes& b = out_.front().bytes;
        ssize_t n = ::send(fd, b.data(), b.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0 && errno == ENOTSOCK) n = ::write(fd, b.data(), b.size());
        if (n < 0) {
            if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return;
            Note(std::string("write failed: ") + std::strerror(errno));
            ClearOut();
            return;
        }
        b.erase(0, static_cast<std::size_t>(n));
        outBytes_ -= static_cast<std::size_t>(n);
        if (b.empty()) out_.pop_front();
    }
}

void PrinterRunner::ClearOut() {
    out_.clear();
    outBytes_ = 0;
}

bool PrinterRunner::Reading() const { return !stalled_ && outBytes_ < kMaxUnread; }

void PrinterRunner::Send(const Bytes& answer) {
    if (silent_ || answer.empty()) return;
    out_.push_back({now_ + options_.delayMs, answer});
    outBytes_ += answer.size();
}

void PrinterRunner::Print(const std::string& text) {
    if (paper_ == nullptr) return;
    std::fwrite(text.data(), 1, text.size(), paper_);
    std::fflush(paper_);
}

void PrinterRunner::Restart() {
    ClearOut();
    medium_->PowerOff();
    resetEnd_ = now_ + options_.resetMs;
}

void PrinterRunner::EraseFlash() {
    if (flashFd_ >= 0 && ::ftruncate(flashFd_, 0) != 0) Note("flash erase failed");
}

void PrinterRunner::WriteFlash(uint8_t sector, uint32_t offset, const Bytes& data) {
    if (flashFd_ < 0) return;
    struct stat st{};
    ::fstat(flashFd_, &st);
    const int64_t sectorEnd = (static_cast<int64_t>(sector) + 1) * kSectorSize;
    if (st.st_size < sectorEnd) {
        // Flash that was never written reads FF.
        const Bytes fill(static_cast<std::size_t>(sectorEnd - st.st_size), '\xFF');
        if (::pwrite(flashFd_, fill.data(), fill.size(), st.st_size) !=
            static_cast<ssize_t>(fill.size()))
            Note("flash fill failed");
    }
    const off_t at = static_cast<off_t>(sector) * kSectorSize + offset;
    if (::pwrite(flashFd_, data.data(), data.size(), at) != static_cast<ssize_t>(data.size()))
        Note("flash write failed");
}

void PrinterRunner::Store(const std::string& name, const Bytes& data) {
    if (options_.storeDir.empty()) return;
    try {
        WriteAtomically(options_.storeDir + "/" + name, data);
    } catch (const std::exception& e) {
        Note(e.what());
    }
}

Bytes PrinterRunner::ImageData() {
    return options_.imageFile.empty() ? CheckImageTiff() : ReadWholeFile(options_.imageFile);
}

Bytes PrinterRunner::NvramData() {
    if (!options_.nvramFile.empty()) return ReadWholeFile(options_.nvramFile);
    return BuiltInNvram(options_.protocol.model, options_.protocol.version,
                        options_.protocol.topSector);
}

void PrinterRunner::Note(const std::string& event) {
    if (log_ == nullptr) return;
    std::fprintf(log_, "%lld # %s\n", static_cast<long long>(now_ - start_), event.c_str());
    std::fflush(log_);
}

}  // namespace posbench::sim
