// Flash download speed: 1 MiB written to posbench-printer through the engine (script, state
// machine, device), against a minimal client that speaks the same protocol with plain blocking
// I/O on the same kind of link: the floor this machine allows. Both are timed over the block
// phase only, from the first acknowledged data block to the last, so the protocol's fixed
// pauses (100 ms before the top-sector query, 1500 ms before the reset), which both sides must
// honour equally, are left out of both figures. Run: posbench-bench-flash [tcp|pty|both]
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <arpa/inet.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/Views.h"
#include "comm/CommGlobals.h"
#include "comm/PortRequests.h"
#include "comm/PortTable.h"
#include "comm/StartupConfig.h"
#include "download/Downloads.h"
#include "script/ScriptProcessor.h"
#include "script/StateMachine.h"
#include "support/SimPrinter.h"
#include "support/TestSupport.h"

namespace {

using namespace posbench;
using Clock = std::chrono::steady_clock;

constexpr std::size_t kImage = 1048576;
constexpr int kSectors = 16;
constexpr long kBlocks = kSectors * 256L;

double Seconds(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double>(b - a).count();
}

std::string Image() {
    std::string image(kImage, '\0');
    for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<char>((i * 7 + i / 256) & 0x7F);
    return image;
}

std::unique_ptr<test::SimPrinter> StartPrinter(bool tcp, const test::ScratchDir& dir,
                                               const std::string& tag) {
    std::vector<std::string> args{"--flash", dir / (tag + "-flash.bin"), "--reset-ms", "300",
                                  "--log", dir / (tag + "-printer.log")};
    if (tcp) {
        args.insert(args.begin(), {"--listen", "127.0.0.1:0"});
    } else {
        args.insert(args.begin(), {"--pty", dir / (tag + "-com1")});
    }
    return std::make_unique<test::SimPrinter>(args);
}

// Times the span from the first acknowledged block to the last.
class BlockClock : public IProgress {
public:
    void DownloadProgress(int16_t, const std::string&, int64_t, int64_t, int64_t blocksDone,
                          int64_t) override {
        if (blocksDone == 1) first = Clock::now();
        if (blocksDone > 0) last = Clock::now();
        blocks = blocksDone;
    }
    void DownloadEnded(int16_t, bool okNow) override { ok = okNow; }
    Clock::time_point first, last;
    int64_t blocks = 0;
    bool ok = false;
};

double EngineFlash(bool tcp, const std::string& image) {
    test::ResetAllGlobals();
    test::ScratchDir dir;
    RegisterDownloads();
    BlockClock clock;
    SetProgress(&clock);
    test::RecordingStatusList status;
    SetStatusList(&status);
    auto printer = StartPrinter(tcp, dir, "engine");
    std::filesystem::create_directory(dir / "home");
    gsProgramDir = dir / "home";
    std::ofstream(dir / "home/Startup.ini")
        << (tcp ? "[Communication]\nTCP=127.0.0.1:" + std::to_string(printer->Port()) + ", ON\n"
                : "[Communication]\nCOM1=115200,DTR,ON\n[Devices]\nCOM1=" + printer->Path() + "\n");
    Startup();
    if (!ConfigureDevices()) throw std::runtime_error("port not opened: " + gsCommErr);
    StateMachineInit();
    dir.Write("fw.bin", image);
    const std::string script = dir.Write("s.txt", "[FLA] fw.bin\r\n");
    gbStop(1) = false;
    gbScriptRunning(1) = true;
    RunTextFile(1, false, script);
    const auto end = Clock::now() + std::chrono::seconds(20);
    RunStateMachine([&] { return (gbScriptRunning(1) || gbFlashDl(1)) && Clock::now() < end; });
    gcolDevices.Clear();
    SetProgress(nullptr);
    SetStatusList(nullptr);
    if (!clock.ok || clock.blocks != kBlocks) {
        std::string why = "engine flash failed after " + std::to_string(clock.blocks) + " blocks:";
        for (const auto& line : status.lines) why += "\n  " + line;
        std::ifstream log(dir / "engine-printer.log");
        std::vector<std::string> lines;
        for (std::string l; std::getline(log, l);) lines.push_back(l.substr(0, 60));
        for (std::size_t i = lines.size() > 6 ? lines.size() - 6 : 0; i < lines.size(); ++i)
            why += "\n  printer: " + lines[i];
        throw std::runtime_error(why);
    }
    return Seconds(clock.first, clock.last) / static_cast<double>(kBlocks - 1);
}

// The minimal client: blocking writes and reads of the same commands and pieces.
class Link {
public:
    explicit Link(int fd) : fd_(fd) {}
    ~Link() { ::close(fd_); }
    void Send(const std::string& bytes) {
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
            if (n <= 0) throw std::runtime_error("write failed");
            done += static_cast<std::size_t>(n);
        }
    }
    unsigned char Answer() {
        unsigned char b = 0;
        if (::read(fd_, &b, 1) != 1) throw std::runtime_error("read failed");
        return b;
    }
    unsigned char Ask(const std::string& bytes) {
        Send(bytes);
        return Answer();
    }

private:
    int fd_;
};

int OpenClientFd(bool tcp, const test::SimPrinter& printer) {
    if (tcp) {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(static_cast<uint16_t>(printer.Port()));
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0)
            throw std::runtime_error("connect failed");
        int one = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        return fd;
    }
    const int fd = ::open(printer.Path().c_str(), O_RDWR | O_NOCTTY);
    if (fd < 0) throw std::runtime_error("pty open failed");
    termios tio{};
    tcgetattr(fd, &tio);
    cfmakeraw(&tio);
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 0;
    tcsetattr(fd, TCSANOW, &tio);
    return fd;
}

double MinimalFlash(bool tcp, const std::string& image) {
    test::ScratchDir dir;
    auto printer = StartPrinter(tcp, dir, "floor");
    Link link(OpenClientFd(tcp, *printer));
    link.Send("\x1B\x5B\x7D");
    if (link.Ask("\x1D\x01") != 0x0F || link.Ask("\x1D\x0E") != 0x06)
        throw std::runtime_error("printer refused the download");
    Clock::time_point first, last;
    long blocks = 0;
    for (int s = 0; s < kSectors; ++s) {
        std::string select = "\x1D\x02";
        select += static_cast<char>(s);
        if (link.Ask(select) != 0x06) throw std::runtime_error("sector refused");
        for (int offset = 0; offset < 65536; offset += 256) {
            std::string header = "\x1D\x11";
            header += static_cast<char>(offset % 256);
            header += static_cast<char>(offset / 256);
            header += std::string("\x00\x01", 2);
            link.Send(header);  // header and data as two writes, as the engine sends them
            if (link.Ask(image.substr(static_cast<std::size_t>(s) * 65536 + offset, 256)) != 0x06)
                throw std::runtime_error("block refused");
            (++blocks == 1 ? first : last) = Clock::now();
        }
    }
    link.Send("\x1D\xFF");
    return Seconds(first, last) / static_cast<double>(blocks - 1);
}

void Compare(bool tcp, const std::string& image) {
    const char* medium = tcp ? "TCP loopback" : "pseudo-terminal";
    const double floor = MinimalFlash(tcp, image);
    const double engine = EngineFlash(tcp, image);
    std::printf("%s: minimal client %.1f us/block (%.3f s per MiB), posbench %.1f us/block "
                "(%.3f s per MiB), ratio %.2f\n",
                medium, floor * 1e6, floor * kBlocks, engine * 1e6, engine * kBlocks,
                engine / floor);
}

}  // namespace

int main(int argc, char** argv) {
    const std::string which = argc > 1 ? argv[1] : "both";
    const std::string image = Image();
    try {
        if (which == "tcp" || which == "both") Compare(true, image);
        if (which == "pty" || which == "both") Compare(false, image);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "posbench-bench-flash: %s\n", e.what());
        return 1;
    }
    return 0;
}
