#pragma once
// Bytes as the printer tests write and read them: hex pairs, deterministic filler that differs
// from block to block and from FF, and firmware images of random bytes.
#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <string_view>

namespace posbench::test {

inline std::string Hex(std::string_view pairs) {
    std::string out;
    unsigned v = 0;
    int digits = 0;
    for (const char c : pairs) {
        if (c == ' ') continue;
        v = v * 16 + static_cast<unsigned>(c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10);
        if (++digits == 2) {
            out += static_cast<char>(v);
            v = 0;
            digits = 0;
        }
    }
    return out;
}

inline std::string Pattern(std::size_t n, unsigned seed = 7) {
    std::string s(n, '\0');
    uint32_t x = seed;
    for (auto& c : s) {
        x = x * 1103515245u + 12345u;
        c = static_cast<char>((x >> 16) & 0x7F);
    }
    return s;
}

// Bytes of every value, the same for the same seed.
inline std::string RandomBytes(std::size_t n, unsigned seed) {
    std::string s(n, '\0');
    std::mt19937 random(seed);
    for (auto& c : s) c = static_cast<char>(random());
    return s;
}

}  // namespace posbench::test
