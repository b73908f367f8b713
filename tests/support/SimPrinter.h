#pragma once
// SimPrinter: runs posbench-printer as a child process for the length of a test.
//
//   posbench::test::SimPrinter printer({"--listen", "127.0.0.1:0", "--model", "Q330"});
//   connect to 127.0.0.1 : printer.Port();            // TCP
//   SimPrinter pty({"--pty", dir / "com1"});  pty.Path() is the link to the slave side
//   SimPrinter usb({"--fifo", dir / "usb"});  usb.Path() + "/to-printer", "/from-printer"
//
// The constructor returns once the printer has reported "ready" (so its endpoint accepts
// connections) or throws std::runtime_error after the timeout or when the printer exits
// first. The destructor sends SIGTERM, waits (bounded) and falls back to SIGKILL.
// With no medium option the printer listens on 127.0.0.1:9001; tests should pass port 0.
#include <sys/types.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace posbench::test {

class SimPrinter {
public:
    explicit SimPrinter(std::vector<std::string> args,
                        std::chrono::milliseconds readyTimeout = std::chrono::seconds(10));
    ~SimPrinter();
    SimPrinter(const SimPrinter&) = delete;
    SimPrinter& operator=(const SimPrinter&) = delete;

    // The ready line without "ready ": KIND ENDPOINT, e.g. "tcp 127.0.0.1:40123".
    const std::string& Ready() const { return ready_; }
    const std::string& Kind() const { return kind_; }   // tcp, tcp-connect, pty, fifo
    const std::string& Path() const { return where_; }  // ENDPOINT: HOST:PORT or a path
    int Port() const;                                   // TCP only, else 0
    pid_t Pid() const { return pid_; }

    // Ends the printer now (SIGTERM, bounded wait, then SIGKILL) and returns its exit status,
    // or -1 when it had to be killed or died of a signal. Later calls return the same.
    int Stop();

private:
    pid_t pid_ = -1;
    int status_ = -1;
    std::string ready_, kind_, where_;
};

// The media the engine's end-to-end tests run over: a TCP printer on a free loopback port, a
// serial printer on a pseudo-terminal whose slave is linked at `where`, or a USB printer on the
// FIFO pair in the directory `where`.
enum class Medium { Tcp, Pty, Fifo };
inline const char* NameOf(Medium m) {
    return m == Medium::Tcp ? "Tcp" : m == Medium::Pty ? "Pty" : "Fifo";
}
// Names a test's medium parameter.
struct MediumName {
    template <class ParamInfo>
    std::string operator()(const ParamInfo& info) const { return NameOf(info.param); }
};

struct MediumPrinter {
    std::unique_ptr<SimPrinter> printer;
    std::string communication, devices;  // its lines of [Communication] and [Devices]
    std::string startupIni;  // a Startup.ini that defines port 1 on that printer, ON
};
MediumPrinter StartOnMedium(Medium medium, std::vector<std::string> args,
                            const std::string& where);

}  // namespace posbench::test
