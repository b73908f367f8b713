#include "comm/PortTrace.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <mutex>

namespace posbench {
namespace {

struct Trace {
    std::mutex mutex;
    std::FILE* file = nullptr;
    std::string path;
    std::chrono::steady_clock::time_point start;
};

Trace& TheTrace() {
    static Trace trace;
    return trace;
}

// Checked before the lock so that an untraced port pays nothing.
std::atomic<bool> gTraceOn{false};

void CloseLocked(Trace& trace) {
    gTraceOn.store(false);
    if (trace.file) std::fclose(trace.file);
    trace.file = nullptr;
    trace.path.clear();
}

}  // namespace

bool StartPortTrace(const std::string& path, std::string& error) {
    Trace& trace = TheTrace();
    std::lock_guard lock(trace.mutex);
    CloseLocked(trace);
    std::FILE* file = std::fopen(path.c_str(), "a");
    if (!file) {
        error = "cannot write the trace file " + path + ": " + std::strerror(errno);
        return false;
    }
    trace.file = file;
    trace.path = path;
    trace.start = std::chrono::steady_clock::now();
    gTraceOn.store(true);
    return true;
}

void StopPortTrace() {
    Trace& trace = TheTrace();
    std::lock_guard lock(trace.mutex);
    CloseLocked(trace);
}

bool PortTraceOn() { return gTraceOn.load(); }

std::string PortTraceFile() {
    Trace& trace = TheTrace();
    std::lock_guard lock(trace.mutex);
    return trace.path;
}

std::string FormatTraceRecord(double seconds, int16_t port, const std::string& name,
                              TraceDirection direction, const std::string& bytes) {
    char head[64];
    std::snprintf(head, sizeof head, "%.6f %d ", seconds, port);
    std::string record = head;
    for (char c : name)
        if (c != ' ' && c != ',') record += c;
    record += direction == TraceDirection::Sent ? " sent " : " received ";
    record += std::to_string(bytes.size());
    static const char kHex[] = "0123456789ABCDEF";
    for (unsigned char c : bytes) {
        record += ' ';
        record += kHex[c >> 4];
        record += kHex[c & 0x0F];
    }
    record += " |";
    for (unsigned char c : bytes) record += c >= 0x20 && c <= 0x7E ? static_cast<char>(c) : '.';
    record += '|';
    return record;
}

void TracePortBytes(int16_t port, const std::string& name, TraceDirection direction,
                    const std::string& bytes) {
    if (!gTraceOn.load() || bytes.empty()) return;
    Trace& trace = TheTrace();
    std::lock_guard lock(trace.mutex);
    if (!trace.file) return;
    // Taken under the lock, so records are in time order in the file as well.
    const std::chrono::duration<double> since = std::chrono::steady_clock::now() - trace.start;
    const std::string record = FormatTraceRecord(since.count(), port, name, direction, bytes) + '\n';
    std::fwrite(record.data(), 1, record.size(), trace.file);
    // Flushed per record: a trace is read when something went wrong, often after a crash.
    std::fflush(trace.file);
}

}  // namespace posbench
