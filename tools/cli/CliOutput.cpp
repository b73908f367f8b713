#include "CliOutput.h"

#include <cstdio>

namespace posbench::cli {
namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// The byte of "HH" at text[i], or -1.
int HexByteAt(const std::string& text, std::size_t i) {
    if (i + 1 >= text.size()) return -1;
    const int high = HexDigit(text[i]), low = HexDigit(text[i + 1]);
    return high < 0 || low < 0 ? -1 : high * 16 + low;
}

std::string Fixed(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", value);
    return text;
}

}  // namespace

std::string ResponseBytes(const std::string& text, bool hexDisplay) {
    std::string bytes;
    for (std::size_t i = 0; i < text.size();) {
        if (hexDisplay) {
            const int byte = HexByteAt(text, i);
            if (byte >= 0) bytes += static_cast<char>(byte);
            i += byte >= 0 ? 3 : 1;
            continue;
        }
        // " (HH) " is one byte outside 32..127; anything else is the character itself.
        if (text.compare(i, 2, " (") == 0 && i + 5 < text.size() && text[i + 4] == ')' &&
            text[i + 5] == ' ' && HexByteAt(text, i + 2) >= 0) {
            bytes += static_cast<char>(HexByteAt(text, i + 2));
            i += 6;
        } else {
            bytes += text[i++];
        }
    }
    return bytes;
}

std::string HexPairs(const std::string& bytes) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : bytes) {
        if (!out.empty()) out += ' ';
        out += kHex[c >> 4];
        out += kHex[c & 0x0F];
    }
    return out;
}

std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + '"';
}

CliOutput::CliOutput(bool json, bool hex, bool prefixPorts)
    : json_(json), hex_(hex), prefixPorts_(prefixPorts),
      start_(std::chrono::steady_clock::now()) {}

double CliOutput::Seconds() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
}

std::string CliOutput::Prefix(int16_t port) const {
    return prefixPorts_ && port > 0 ? "[" + std::to_string(port) + "] " : std::string();
}

void CliOutput::Line(const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void CliOutput::Status(int16_t port, const std::string& text) {
    if (json_)
        Line(R"({"event":"status","port":)" + std::to_string(port) + R"(,"time":)" +
             Fixed(Seconds()) + R"(,"text":)" + JsonString(text) + "}");
    else
        Line(Prefix(port) + text);
}

void CliOutput::Response(int16_t port, const std::string& text, bool hexDisplay) {
    const std::string bytes = ResponseBytes(text, hexDisplay);
    if (json_)
        Line(R"({"event":"response","port":)" + std::to_string(port) + R"(,"hex":)" +
             JsonString(HexPairs(bytes)) + R"(,"text":)" + JsonString(text) + "}");
    else
        Line(Prefix(port) + "Response: " + (hex_ ? HexPairs(bytes) : text));
}

void CliOutput::Progress(int16_t port, const std::string& what, int64_t bytesDone,
                         int64_t bytesTotal, int64_t blocksDone, int64_t blocksTotal) {
    if (!json_) return;  // the text form is the terminal's progress line
    Line(R"({"event":"progress","port":)" + std::to_string(port) + R"(,"file":)" +
         JsonString(what) + R"(,"bytes":)" + std::to_string(bytesDone) + R"(,"total":)" +
         std::to_string(bytesTotal) + R"(,"blocks":)" + std::to_string(blocksDone) +
         R"(,"blocks_total":)" + std::to_string(blocksTotal) + "}");
}

void CliOutput::Recovery(int16_t port, const std::string& state, double secondsLeft) {
    if (!json_) return;  // the text form is the runner's note on standard error
    Line(R"({"event":"recovery","port":)" + std::to_string(port) + R"(,"state":)" +
         JsonString(state) + R"(,"seconds_left":)" + Fixed(secondsLeft) + "}");
}

void CliOutput::End(int status, const std::vector<PortResult>& results) {
    if (json_) {
        std::string ports;
        for (const PortResult& r : results) {
            if (!ports.empty()) ports += ',';
            ports += R"({"port":)" + std::to_string(r.port) + R"(,"name":)" + JsonString(r.name) +
                     R"(,"ok":)" + (r.ok ? "true" : "false") + "}";
        }
        Line(R"({"event":"exit","status":)" + std::to_string(status) + R"(,"ports":[)" + ports +
             "]}");
        return;
    }
    if (results.size() < 2) return;
    std::string failed;
    for (const PortResult& r : results) {
        if (r.ok) continue;
        failed += (failed.empty() ? "" : ", ") + std::to_string(r.port);
        if (!r.name.empty()) failed += " (" + r.name + ")";
    }
    Line(failed.empty() ? "All " + std::to_string(results.size()) + " ports succeeded"
                        : "Failed: port " + failed);
}

}  // namespace posbench::cli
