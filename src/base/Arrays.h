#pragma once
// Arrays with fixed inclusive bounds (per-port arrays 1..6, COM settings
// 0..7, the port table 1..n). Any index outside is the "Subscript out of range" run-time error.
#include <array>
#include <cstddef>
#include <utility>
#include <vector>

#include "base/RuntimeError.h"

namespace posbench {

template <typename T, long Lower, long Upper>
class BoundedArray {
    static_assert(Upper >= Lower);

public:
    T& operator()(long i) { return slots_[index(i)]; }
    const T& operator()(long i) const { return slots_[index(i)]; }
    void fill(const T& value) { slots_.fill(value); }
    void reset() { slots_.fill(T{}); }
    static constexpr long lower() { return Lower; }
    static constexpr long upper() { return Upper; }

private:
    static std::size_t index(long i) {
        if (i < Lower || i > Upper) Raise(err::SubscriptOutOfRange);
        return static_cast<std::size_t>(i - Lower);
    }
    std::array<T, static_cast<std::size_t>(Upper - Lower + 1)> slots_{};
};

// A growable array indexed from 1 (the port table grows by one element per entry).
template <typename T>
class OneBasedArray {
public:
    T& operator()(long i) { return items_[index(i)]; }
    const T& operator()(long i) const { return items_[index(i)]; }
    void push_back(T value) { items_.push_back(std::move(value)); }
    void resize(long n) { items_.resize(n < 0 ? 0 : static_cast<std::size_t>(n)); }
    long size() const { return static_cast<long>(items_.size()); }
    void clear() { items_.clear(); }

private:
    std::size_t index(long i) const {
        if (i < 1 || i > size()) Raise(err::SubscriptOutOfRange);
        return static_cast<std::size_t>(i - 1);
    }
    std::vector<T> items_;
};

}  // namespace posbench
