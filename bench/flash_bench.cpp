// Flash download speed: 1 MiB written to posbench-printer through the engine (script, state
// machine, device), against a minimal client that speaks the same protocol with plain blocking
// I/O on the same kind of link (write the header, write the 256 bytes, read the answer): the
// floor this machine allows. Both are timed over the block phase only, from the first
// acknowledged data block to the last, so the protocol's fixed pauses (100 ms before the
// top-sector query, 1500 ms before the reset), which both sides must honour equally, are left
// out of both figures.
//   posbench-bench-flash [tcp|pty|both] [RUNS]   RUNS paired runs per medium (5), medians
//   posbench-bench-flash six [RUNS]               six printers at once on pseudo-terminals:
//                                                 six floor clients, then one posbench-cli
//                                                 for the six ports (3 paired runs, medians)
// Wall-clock figures move with whatever else the machine runs; CPU per block moves far less,
// so both are printed.
#include <fcntl.h>
#include <sys/wait.h>

#include <csignal>
#include <iterator>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <arpa/inet.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
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

// CPU time of this process (the engine with its reader threads, or the minimal client).
double CpuSeconds() {
    rusage use{};
    getrusage(RUSAGE_SELF, &use);
    return static_cast<double>(use.ru_utime.tv_sec + use.ru_stime.tv_sec) +
           static_cast<double>(use.ru_utime.tv_usec + use.ru_stime.tv_usec) / 1e6;
}

// Per acknowledged block: the time, and the CPU this process spent (which the load of the
// machine moves far less than the time).
struct PerBlock {
    double seconds = 0;
    double cpu = 0;
};

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
        if (blocksDone == 1) {
            first = Clock::now();
            cpuFirst = CpuSeconds();
        }
        if (blocksDone > 0) last = Clock::now();
        if (blocksDone == kBlocks) cpuLast = CpuSeconds();
        blocks = blocksDone;
    }
    void DownloadEnded(int16_t, bool okNow) override { ok = okNow; }
    Clock::time_point first, last;
    double cpuFirst = 0, cpuLast = 0;
    int64_t blocks = 0;
    bool ok = false;
};

PerBlock EngineFlash(bool tcp, const std::string& image) {
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
    return {Seconds(clock.first, clock.last) / static_cast<double>(kBlocks - 1),
            (clock.cpuLast - clock.cpuFirst) / static_cast<double>(kBlocks - 1)};
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

struct Span {
    Clock::time_point first, last;
    double cpuFirst = 0, cpuLast = 0;
    long blocks = 0;
    PerBlock Each() const {
        return {Seconds(first, last) / static_cast<double>(blocks - 1),
                (cpuLast - cpuFirst) / static_cast<double>(blocks - 1)};
    }
};

Span MinimalFlashOn(Link& link, const std::string& image, double (*cpuNow)() = CpuSeconds) {
    link.Send("\x1B\x5B\x7D");
    if (link.Ask("\x1D\x01") != 0x0F || link.Ask("\x1D\x0E") != 0x06)
        throw std::runtime_error("printer refused the download");
    Span span;
    for (int s = 0; s < kSectors; ++s) {
        std::string select = "\x1D\x02";
        select += static_cast<char>(s);
        if (link.Ask(select) != 0x06) throw std::runtime_error("sector refused");
        for (int offset = 0; offset < 65536; offset += 256) {
            std::string header = "\x1D\x11";
            header += static_cast<char>(offset % 256);
            header += static_cast<char>(offset / 256);
            header += std::string("\x00\x01", 2);
            link.Send(header);
            if (link.Ask(image.substr(static_cast<std::size_t>(s) * 65536 + offset, 256)) != 0x06)
                throw std::runtime_error("block refused");
            (++span.blocks == 1 ? span.first : span.last) = Clock::now();
            if (span.blocks == 1) span.cpuFirst = cpuNow();
            if (span.blocks == kBlocks) span.cpuLast = cpuNow();
        }
    }
    link.Send("\x1D\xFF");
    return span;
}

PerBlock MinimalFlash(bool tcp, const std::string& image) {
    test::ScratchDir dir;
    auto printer = StartPrinter(tcp, dir, "floor");
    Link link(OpenClientFd(tcp, *printer));
    return MinimalFlashOn(link, image).Each();
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 == 1 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// The figures of paired runs, each pair the floor then the engine, so that both see the same
// load on the machine: a speed figure, CPU per block, and the pair's ratio as the goal reads it.
struct Pairs {
    std::vector<double> floors, engines, ratios, floorCpu, engineCpu;
    void Add(double floor, double floorCpuPerBlock, double engine, double engineCpuPerBlock,
             double ratio) {
        floors.push_back(floor);
        floorCpu.push_back(floorCpuPerBlock);
        engines.push_back(engine);
        engineCpu.push_back(engineCpuPerBlock);
        ratios.push_back(ratio);
    }
};

void Compare(bool tcp, const std::string& image, int runs) {
    const char* medium = tcp ? "TCP loopback" : "pseudo-terminal";
    Pairs pairs;
    auto& [floors, engines, ratios, floorCpu, engineCpu] = pairs;
    for (int run = 1; run <= runs; ++run) {
        const PerBlock floor = MinimalFlash(tcp, image);
        const PerBlock engine = EngineFlash(tcp, image);
        pairs.Add(floor.seconds, floor.cpu, engine.seconds, engine.cpu,
                  engine.seconds / floor.seconds);
        std::printf("  %s run %d: minimal client %.1f us/block (CPU %.1f us), posbench %.1f "
                    "us/block (CPU %.1f us), ratio %.2f\n",
                    medium, run, floor.seconds * 1e6, floor.cpu * 1e6, engine.seconds * 1e6,
                    engine.cpu * 1e6, ratios.back());
        std::fflush(stdout);
    }
    const double floor = Median(floors), engine = Median(engines);
    std::printf("%s, median of %d: minimal client %.1f us/block (%.3f s per MiB), posbench %.1f "
                "us/block (%.3f s per MiB), ratio %.2f (median of the paired ratios %.2f); CPU "
                "per block: minimal client %.1f us, posbench %.1f us, ratio %.2f\n",
                medium, runs, floor * 1e6, floor * kBlocks, engine * 1e6, engine * kBlocks,
                engine / floor, Median(ratios), Median(floorCpu) * 1e6, Median(engineCpu) * 1e6,
                Median(engineCpu) / Median(floorCpu));
}

// ---- Six printers at once ----
//
// Over pseudo-terminals: one posbench-cli drives six ports only as six serial lines (its port
// table holds one TCP printer). Blocks per second come from the printers' own logs, the first
// data block any printer received to the last, on both sides alike. CPU per block: the floor's
// six threads each clock their own CPU from their first block to their last; posbench-cli is
// another process, so its CPU (all its threads) is sampled every few milliseconds and read off
// at the first and the last block the printers logged.

constexpr int kSix = 6;

// The first and the last data block a printer received, in this program's clock, from its
// --log ("MS COUNT HEX..." per read, MS since the printer started): the engine is another
// process, so only the printer sees its blocks. A block starts with 1D 11; the reset 1D FF
// follows the last block after a pause.
Span BlocksFromLog(const std::string& path, Clock::time_point started) {
    std::ifstream log(path);
    Span span;
    long firstMs = -1, lastMs = -1;
    for (std::string line; std::getline(log, line);) {
        if (line.find(" # ") != std::string::npos) continue;
        const long ms = std::atol(line.c_str());
        const auto hexAt = line.find(' ', line.find(' ') + 1);
        const std::string hex = hexAt == std::string::npos ? "" : line.substr(hexAt + 1);
        if (hex.rfind("1D FF", 0) == 0) break;
        if (firstMs < 0 && hex.rfind("1D 11", 0) == 0) firstMs = ms;
        if (firstMs >= 0) lastMs = ms;
    }
    if (firstMs < 0) throw std::runtime_error("no flash block in " + path);
    span.first = started + std::chrono::milliseconds(firstMs);
    span.last = started + std::chrono::milliseconds(lastMs);
    span.blocks = kBlocks;
    return span;
}

// All six together: blocks per second from the first block any printer logged to the last.
struct SixFigures {
    double blocksPerSecond = 0;
    double cpuPerBlock = 0;
};

Span Together(const std::vector<Span>& spans) {
    Span all = spans[0];
    all.blocks = 0;
    for (const Span& s : spans) {
        all.first = std::min(all.first, s.first);
        all.last = std::max(all.last, s.last);
        all.blocks += s.blocks;
    }
    return all;
}

struct Printers {
    test::ScratchDir dir;
    std::vector<std::unique_ptr<test::SimPrinter>> printers;
    std::vector<Clock::time_point> started;
    std::string tag;
    explicit Printers(const std::string& tagOfSide) : tag(tagOfSide) {
        for (int i = 0; i < kSix; ++i) {
            printers.push_back(StartPrinter(false, dir, tag + std::to_string(i)));
            started.push_back(Clock::now());
        }
    }
    std::string LogOf(int i) const { return dir / (tag + std::to_string(i) + "-printer.log"); }
    Span Blocks() const {
        std::vector<Span> spans;
        for (int i = 0; i < kSix; ++i) spans.push_back(BlocksFromLog(LogOf(i), started[i]));
        return Together(spans);
    }
};

double ThreadCpuSeconds() {
    rusage use{};
    getrusage(RUSAGE_THREAD, &use);
    return static_cast<double>(use.ru_utime.tv_sec + use.ru_stime.tv_sec) +
           static_cast<double>(use.ru_utime.tv_usec + use.ru_stime.tv_usec) / 1e6;
}

SixFigures SixFloors(const std::string& image) {
    std::vector<Span> spans(kSix);
    std::vector<std::string> errors(kSix);
    std::vector<std::thread> threads;
    Printers six("floor");
    for (int i = 0; i < kSix; ++i) {
        threads.emplace_back([&, i] {
            try {
                Link link(OpenClientFd(false, *six.printers[i]));
                spans[i] = MinimalFlashOn(link, image, ThreadCpuSeconds);
            } catch (const std::exception& e) {
                errors[i] = e.what();
            }
        });
    }
    for (auto& t : threads) t.join();
    for (const auto& e : errors)
        if (!e.empty()) throw std::runtime_error("floor client: " + e);
    double cpu = 0;
    for (const Span& s : spans) cpu += s.cpuLast - s.cpuFirst;
    // Timed as the engine's runs are: by the printers' own logs.
    const Span all = six.Blocks();
    return {static_cast<double>(all.blocks) / Seconds(all.first, all.last),
            cpu / static_cast<double>(all.blocks)};
}

std::string CliPath() {
    std::error_code ec;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return (self.parent_path().parent_path() / "tools/cli/posbench-cli").string();
}

// CPU seconds a process has run, all its threads, from the scheduler's nanosecond counts.
double ProcessCpuSeconds(pid_t pid) {
    double seconds = 0;
    std::error_code ec;
    const std::filesystem::path tasks = "/proc/" + std::to_string(pid) + "/task";
    for (const auto& task : std::filesystem::directory_iterator(tasks, ec)) {
        std::ifstream stat(task.path() / "schedstat");
        double ns = 0;
        if (stat >> ns) seconds += ns / 1e9;
    }
    return seconds;
}

struct CpuSample {
    Clock::time_point at;
    double cpu;
};

// The sampled CPU at a moment, between the samples around it.
double CpuAt(const std::vector<CpuSample>& samples, Clock::time_point at) {
    if (samples.empty()) return 0;
    if (at <= samples.front().at) return samples.front().cpu;
    for (std::size_t i = 1; i < samples.size(); ++i) {
        if (samples[i].at < at) continue;
        const CpuSample& a = samples[i - 1];
        const CpuSample& b = samples[i];
        const double span = Seconds(a.at, b.at);
        return span <= 0 ? b.cpu : a.cpu + (b.cpu - a.cpu) * Seconds(a.at, at) / span;
    }
    return samples.back().cpu;
}

SixFigures OneCliForSix(const std::string& image) {
    Printers six("engine");
    const std::string home = six.dir / "home";
    std::filesystem::create_directory(home);
    {
        std::ofstream ini(home + "/Startup.ini");
        ini << "[Communication]\n";
        for (int i = 1; i <= kSix; ++i) ini << "COM" << i << "=115200,DTR,ON\n";
        ini << "[Devices]\n";
        for (int i = 1; i <= kSix; ++i) ini << "COM" << i << "=" << six.printers[i - 1]->Path() << "\n";
    }
    std::ofstream(home + "/fw.bin", std::ios::binary) << image;
    const std::string cli = CliPath();
    const std::string firmware = home + "/fw.bin";
    const pid_t pid = fork();
    if (pid == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, STDOUT_FILENO);
        ::dup2(null, STDERR_FILENO);
        ::execl(cli.c_str(), cli.c_str(), "--dir", home.c_str(), "--port", "all", "--timeout",
                "120", firmware.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    // Done when every printer has been sent its reset; the link recovery that follows (seconds
    // of settle time) is not waited out. Meanwhile the program's CPU is sampled.
    std::vector<CpuSample> samples;
    const auto limit = Clock::now() + std::chrono::seconds(120);
    auto nextLook = Clock::now();
    for (int done = 0; done < kSix && Clock::now() < limit;) {
        samples.push_back({Clock::now(), ProcessCpuSeconds(pid)});
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        if (Clock::now() < nextLook) continue;
        nextLook = Clock::now() + std::chrono::milliseconds(100);
        done = 0;
        for (int i = 0; i < kSix; ++i) {
            std::ifstream log(six.LogOf(i));
            const std::string text((std::istreambuf_iterator<char>(log)), {});
            if (text.find(" 1D FF") != std::string::npos) ++done;
        }
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    const Span all = six.Blocks();
    return {static_cast<double>(all.blocks) / Seconds(all.first, all.last),
            (CpuAt(samples, all.last) - CpuAt(samples, all.first)) /
                static_cast<double>(all.blocks)};
}

// Paired runs: six floor clients, then one posbench-cli for six ports.
void CompareSix(const std::string& image, int runs) {
    Pairs pairs;
    auto& [floorRates, engineRates, ratios, floorCpu, engineCpu] = pairs;
    for (int run = 1; run <= runs; ++run) {
        const SixFigures floor = SixFloors(image);
        const SixFigures engine = OneCliForSix(image);
        pairs.Add(floor.blocksPerSecond, floor.cpuPerBlock, engine.blocksPerSecond,
                  engine.cpuPerBlock, engine.blocksPerSecond / floor.blocksPerSecond);
        std::printf("  six pseudo-terminals run %d: six minimal clients %.0f blocks/s (CPU %.1f us "
                    "per block), one posbench-cli %.0f blocks/s (CPU %.1f us per block), ratio "
                    "%.2f\n",
                    run, floor.blocksPerSecond, floor.cpuPerBlock * 1e6, engine.blocksPerSecond,
                    engine.cpuPerBlock * 1e6, ratios.back());
        std::fflush(stdout);
    }
    std::printf("six printers at once over pseudo-terminals, median of %d: six minimal clients "
                "%.0f blocks/s, one posbench-cli for six ports %.0f blocks/s, ratio %.2f (median "
                "of the paired ratios %.2f); CPU per block: minimal clients %.1f us, posbench-cli "
                "%.1f us, ratio %.2f\n",
                runs, Median(floorRates), Median(engineRates),
                Median(engineRates) / Median(floorRates), Median(ratios), Median(floorCpu) * 1e6,
                Median(engineCpu) * 1e6, Median(engineCpu) / Median(floorCpu));
}

}  // namespace

int main(int argc, char** argv) {
    const std::string which = argc > 1 ? argv[1] : "both";
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    const std::string image = Image();
    // Time per block moves with whatever else the machine runs; the load says how much did.
    std::ifstream loadavg("/proc/loadavg");
    std::string load1, load5;
    if (loadavg >> load1 >> load5)
        std::printf("load average %s (1 min), %s (5 min): time figures follow the load, CPU per "
                    "block far less\n", load1.c_str(), load5.c_str());
    try {
        if (which == "tcp" || which == "both") Compare(true, image, runs);
        if (which == "pty" || which == "both") Compare(false, image, runs);
        if (which == "six") CompareSix(image, argc > 2 ? runs : 3);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "posbench-bench-flash: %s\n", e.what());
        return 1;
    }
    return 0;
}
