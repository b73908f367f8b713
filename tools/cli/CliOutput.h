#pragma once
// Where posbench-cli's events go: human text (the default) or JSON Lines (--json), one place
// for both so that the two always carry the same events. Text: status lines and responses on
// standard output, prefixed "[N] " with their port when several ports run. JSON: one object per line on standard output, every event with its port.
#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace posbench::cli {

struct PortResult {
    int16_t port = 0;
    std::string name;  // the port's device key (COM1, TCP, ...); "" for a port not defined
    bool ok = false;
};

// The bytes behind a response text: printable characters stand for themselves and " (HH) "
// for the byte HH; in the hex form (hexDisplay) every byte is "HH ".
std::string ResponseBytes(const std::string& text, bool hexDisplay);
// Bytes as upper-case hex pairs separated by blanks.
std::string HexPairs(const std::string& bytes);
// text as a JSON string literal, quotes included.
std::string JsonString(const std::string& text);

class CliOutput {
public:
    CliOutput(bool json, bool hex, bool prefixPorts);

    bool Json() const { return json_; }
    // A status line; port 0 for lines of the program itself (start-up).
    void Status(int16_t port, const std::string& text);
    // The printer's reply on the port, as the engine shows it (hexDisplay: the port showed it
    // in hex).
    void Response(int16_t port, const std::string& text, bool hexDisplay);
    void Progress(int16_t port, const std::string& what, int64_t bytesDone, int64_t bytesTotal,
                  int64_t blocksDone, int64_t blocksTotal);
    // Link recovery (JSON only): state "closing", "reopening", "open" or "given up";
    // secondsLeft until its next step (0 when none is due).
    void Recovery(int16_t port, const std::string& state, double secondsLeft);
    // The last event: the exit status and every port's result. Text: a summary line naming
    // the failed ports, only when several ports ran.
    void End(int status, const std::vector<PortResult>& results);

private:
    double Seconds() const;
    std::string Prefix(int16_t port) const;
    void Line(const std::string& line);

    bool json_;
    bool hex_;
    bool prefixPorts_;
    std::chrono::steady_clock::time_point start_;
};

}  // namespace posbench::cli
