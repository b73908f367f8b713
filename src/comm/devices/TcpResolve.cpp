#include "comm/devices/TcpResolve.h"

#include <netdb.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>

#include "base/Events.h"
#include "base/Tick.h"

namespace posbench {
namespace {

struct Lookup {
    std::mutex mutex;
    bool done = false;
    int rc = 0;
    std::vector<TcpAddress> addresses;
};

int Resolve(const std::string& host, const std::string& service, int flags,
            std::vector<TcpAddress>& found) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = flags;
    addrinfo* list = nullptr;
    const int rc = getaddrinfo(host.c_str(), service.c_str(), &hints, &list);
    if (rc != 0) return rc;
    for (const addrinfo* a = list; a != nullptr; a = a->ai_next) {
        if (a->ai_addrlen > sizeof(sockaddr_storage)) continue;
        TcpAddress address;
        std::memcpy(&address.address, a->ai_addr, a->ai_addrlen);
        address.length = a->ai_addrlen;
        address.family = a->ai_family;
        found.push_back(address);
    }
    freeaddrinfo(list);
    return 0;
}

}  // namespace

std::vector<TcpAddress> ResolveTcpHost(const std::string& hostText, uint16_t port,
                                       uint32_t timeoutMs, std::string& error) {
    std::string host = hostText;
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2);
    const std::string service = std::to_string(port);
    std::vector<TcpAddress> found;
    // An address needs no name server.
    if (Resolve(host, service, AI_NUMERICHOST, found) == 0) return found;

    auto lookup = std::make_shared<Lookup>();
    // Left to finish on its own when the bound passes: a name server cannot be interrupted.
    std::thread([lookup, host, service] {
        std::vector<TcpAddress> addresses;
        const int rc = Resolve(host, service, 0, addresses);
        {
            std::lock_guard lock(lookup->mutex);
            lookup->rc = rc;
            lookup->addresses = std::move(addresses);
            lookup->done = true;
        }
        WakeEvents();
    }).detach();

    const uint32_t deadline = TickCount() + timeoutMs;
    for (;;) {
        {
            std::lock_guard lock(lookup->mutex);
            if (lookup->done) {
                if (lookup->rc != 0) error = gai_strerror(lookup->rc);
                else if (lookup->addresses.empty()) error = "no address for " + host;
                return lookup->addresses;
            }
        }
        if (TickReached(TickCount(), deadline)) {
            error = "no answer for " + host + " from the name server";
            return {};
        }
        DoEvents();
        WaitEvents(std::chrono::milliseconds(10));
    }
}

}  // namespace posbench
