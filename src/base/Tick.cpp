#include "base/Tick.h"

#include <chrono>

namespace posbench {
namespace {
std::function<uint32_t()>& Hook() {
    static std::function<uint32_t()> hook;
    return hook;
}
}  // namespace

uint32_t TickCount() {
    if (auto& hook = Hook()) return hook();
    auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

void SetClockHook(std::function<uint32_t()> hook) { Hook() = std::move(hook); }

bool ClockIsDriven() { return static_cast<bool>(Hook()); }

}  // namespace posbench
