#pragma once
// posbench-printer's --log as the tests read it: a line per read ("MS COUNT HEX HEX ...") and a
// line per event ("MS # TEXT": "flash erased", "reset", "ready again", ...).
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "support/PrinterBytes.h"
#include "support/Wait.h"

namespace posbench::test {

struct PrinterLog {
    struct Read {
        long ms;
        std::string bytes;
    };
    std::vector<Read> reads;
    std::vector<std::string> events;

    explicit PrinterLog(const std::string& path) {
        std::ifstream in(path);
        for (std::string line; std::getline(in, line);) {
            std::istringstream fields(line);
            long ms = 0;
            std::string count, rest;
            if (!(fields >> ms >> count)) continue;
            std::getline(fields, rest);
            if (count == "#") events.push_back(rest.substr(rest.empty() ? 0 : 1));
            else reads.push_back({ms, Hex(rest)});
        }
    }
    // Every byte the printer read, in order.
    std::string Stream() const {
        std::string all;
        for (const Read& r : reads) all += r.bytes;
        return all;
    }
    bool HasEvent(const std::string& text) const {
        for (const std::string& e : events)
            if (e.find(text) != std::string::npos) return true;
        return false;
    }
};

// Waits (bounded) until the log holds an event line containing text.
inline bool WaitForLogEvent(const std::string& path, const std::string& text, int maxMs = 3000) {
    return PumpUntil([&] { return PrinterLog(path).HasEvent(text); }, maxMs);
}

}  // namespace posbench::test
