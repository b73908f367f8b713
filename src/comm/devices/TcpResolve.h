#pragma once
// A TCP printer's host name or address turned into the addresses to try, IPv4 and IPv6, in the
// resolver's order. A name may wait on a name server: that lookup runs on a thread of its own
// while the events keep flowing, and is given up at its time bound.
#include <sys/socket.h>

#include <cstdint>
#include <string>
#include <vector>

namespace posbench {

struct TcpAddress {
    sockaddr_storage address{};
    socklen_t length = 0;
    int family = 0;
};

// The addresses of host ("printer.local", "192.168.1.20", "::1" or "[::1]") at port; none with
// the resolver's reason in error.
std::vector<TcpAddress> ResolveTcpHost(const std::string& host, uint16_t port, uint32_t timeoutMs,
                                       std::string& error);

}  // namespace posbench
