#pragma once

#include <cstdint>

namespace kalvora {

using Extended = long double;

// The program's one random generator: a 32-bit linear congruential generator whose whole state is
// the seed, so a noisy run repeats exactly from the same seed.
struct RandomGenerator {
    std::uint32_t seed = 0;

    void advance() { seed = seed * 134775813u + 1u; }  // modulo 2^32 by unsigned wrap-around

    // In [0, 1).
    Extended nextReal() {
        advance();
        return static_cast<Extended>(seed) * (1.0L / 4294967296.0L);
    }

    // In [0, n): the upper half of the 64-bit product seed x n.
    std::uint32_t nextBelow(std::uint32_t n) {
        advance();
        return static_cast<std::uint32_t>((static_cast<std::uint64_t>(seed) * n) >> 32);
    }

    // Seeds from the milliseconds since midnight, universal time.
    void randomize();
};

}  // namespace kalvora
