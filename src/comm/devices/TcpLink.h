#pragma once
// The TCP printer link: a client connection to the printer's port, or a listening socket the
// printer connects to (it connects anew for each counted answer). Opening may wait on a name
// server and on the connect; both are bounded and keep the events flowing meanwhile.
#include <cstdint>
#include <memory>
#include <string>

#include "comm/devices/ByteLink.h"

namespace posbench {

inline constexpr uint16_t kTcpClientPort = 9001;
inline constexpr uint16_t kTcpServerPort = 9000;
// A printer that does not answer must not freeze the program while the connect runs.
inline constexpr uint32_t kTcpConnectTimeoutMs = 5000;

// Connects to "host[:port]" (a name, an IPv4 or IPv6 address; port 9001 by default) within
// timeoutMs, name lookup included. Null with the failure text in error and, for a refused or
// unanswered connect, the address and the system's reason in reason.
std::unique_ptr<ByteLink> OpenTcpClient(const std::string& target, uint32_t timeoutMs,
                                        std::string& error, std::string& reason);

// Listens on every IPv4 address at the port after "SERVER:" (9000 by default), backlog 1. No
// connection is taken here: the first read or write takes the printer's. Null with the failure
// text in error.
std::unique_ptr<ByteLink> OpenTcpServer(const std::string& name, std::string& error);

}  // namespace posbench
