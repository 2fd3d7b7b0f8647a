#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

namespace velorin {

// Mixes 64-bit words into one hash, in the order they are fed, for the map's value types
// (tile keys, world points) used as keys of hash tables. Any thread; a local value.
class Hasher {
public:
    void combine(uint64_t word)
    {
        state_ = mix(state_ ^ (word + 0x9E3779B97F4A7C15ull + (state_ << 6) + (state_ >> 2)));
    }

    void combine(int64_t word) { combine(static_cast<uint64_t>(word)); }

    // Bit pattern of a double, with -0.0 fed as +0.0 so that equal values hash alike.
    void combine(double value) { combine(std::bit_cast<uint64_t>(value == 0.0 ? 0.0 : value)); }

    std::size_t finalize() const { return static_cast<std::size_t>(mix(state_)); }

private:
    // The finaliser of SplitMix64: every input bit reaches every output bit.
    static uint64_t mix(uint64_t z)
    {
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }

    uint64_t state_ = 0x6A09E667F3BCC908ull;
};

} // namespace velorin
