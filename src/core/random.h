// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The game's random generator. It draws exactly the C library's rand()
// sequence from the same srand() seed (glibc's additive feedback generator),
// but its state is the game's own: a library that calls rand() cannot shift
// the game's draws, and a snapshot of the match holds it.

#include <array>
#include <cstdint>

struct RandomState {
    std::array<std::uint32_t, 31> table{};
    std::uint8_t front = 3; // the two taps, 3 apart around the table
    std::uint8_t rear = 0;
    bool operator==(const RandomState &) const = default;
};

// The next draw, 0 to 2^31 - 1.
constexpr int nextRandom(RandomState &r)
{
    std::uint32_t &sum = r.table[r.front];
    sum += r.table[r.rear];
    const int result = static_cast<int>(sum >> 1);
    r.front = static_cast<std::uint8_t>(r.front == 30 ? 0 : r.front + 1);
    r.rear = static_cast<std::uint8_t>(r.rear == 30 ? 0 : r.rear + 1);
    return result;
}

// The state srand(seed) leaves; seed 0 counts as 1, as in the C library.
constexpr RandomState seededRandom(std::uint32_t seed)
{
    RandomState r;
    const std::uint32_t first = seed == 0 ? 1 : seed;
    r.table[0] = first;
    // The library works on the seed as a signed 32-bit word.
    std::int64_t word = static_cast<std::int32_t>(first);
    for (std::size_t i = 1; i < r.table.size(); ++i) {
        // 16807 * word mod (2^31 - 1), without overflowing 31 bits.
        const std::int64_t hi = word / 127773, lo = word % 127773;
        word = 16807 * lo - 2836 * hi;
        if (word < 0)
            word += 2147483647;
        r.table[i] = static_cast<std::uint32_t>(word);
    }
    for (int i = 0; i < 310; ++i)
        nextRandom(r);
    return r;
}

// The game's draws, from game.match.random (core/state.cpp): a rand() and
// an srand() of its own.
int gameRand();
void seedGameRand(std::uint32_t randSeed);
// A draw as a double in [0, 1).
inline double gameUniform()
{
    return gameRand() / 2147483648.0;
}
