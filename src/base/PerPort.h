#pragma once
// Per-port state: arrays of six indexed by port number 1..6.
#include "base/Arrays.h"

namespace posbench {

inline constexpr int kMaxPorts = 6;

template <typename T>
using PerPort = BoundedArray<T, 1, kMaxPorts>;

}  // namespace posbench
