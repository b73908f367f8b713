#pragma once
// The link between the simulated printer and the tool. Every descriptor is non-blocking; the
// runner polls the descriptors a medium names and then lets it service them.
#include <poll.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace posbench::sim {

struct Received {
    std::string data;            // one chunk as read, possibly empty
    bool sessionChanged = false; // a peer came or went: partial exchanges are void
};

class Medium {
public:
    virtual ~Medium() = default;
    // "tcp 127.0.0.1:9001", "tcp-connect HOST:PORT", "pty PATH" or "fifo DIR".
    virtual std::string Endpoint() const = 0;
    virtual void AddPollFds(std::vector<pollfd>& fds) const = 0;
    // A time at which Service has work without any descriptor being ready (reconnects).
    virtual std::optional<int64_t> Deadline() const { return std::nullopt; }
    // Accepts, connects or reads as far as possible without blocking; at most one chunk.
    virtual Received Service(int64_t nowMs) = 0;
    // Where answers go; -1 while there is no peer.
    virtual int WriteFd() const = 0;
    // The link breaks as a cable pull would; the printer stays on and serves the next peer.
    virtual void Drop(int64_t nowMs) = 0;
    // Restart: the link goes down, and comes back with PowerOn.
    virtual void PowerOff() = 0;
    virtual void PowerOn(int64_t nowMs) = 0;
};

// Each throws std::runtime_error with the reason when the medium cannot be set up; the
// destructors remove what they created (pty link, FIFOs).
std::unique_ptr<Medium> MakeTcpListener(const std::string& hostPort);
std::unique_ptr<Medium> MakeTcpConnector(const std::string& hostPort);
std::unique_ptr<Medium> MakePty(const std::string& linkPath);
std::unique_ptr<Medium> MakeFifoPair(const std::string& dir);

// "HOST:PORT" into an IPv4 socket address; throws std::runtime_error on a bad text.
struct sockaddr_in ResolveIpv4(const std::string& hostPort);

}  // namespace posbench::sim
