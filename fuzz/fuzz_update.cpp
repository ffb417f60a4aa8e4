// SPDX-License-Identifier: GPL-3.0-or-later
// The frame update on any terrain definition the reader accepts and any
// stream of keys and frame times.
//
// Input: a definition header, then events.
//   byte 0       circle density, 0..255 -> 0..40 circles (kept small so a
//                run spends its time in the frame update, not in the grid:
//                a circle of a huge size visits all 22801 points; the
//                circles themselves are fuzzed by fuzz_terrains)
//   6 fields     circleSizeMin, circleSizeMax, circleHeight,
//                circleHeightFactor, gravity, friction: one selector byte
//                each; below 128 it picks a value from kPicks, from 128 up
//                the next four bytes are the float's bits
//   1 byte       invert (as a signed number)
//   2 bytes      the seed of rand()
//   events       two bytes each: the top two bits of the first say what
//                0: one frame of 1..16384 ms (what the loop's tick
//                   difference can give), 1: 2 * (arg + 1) frames of 16 ms,
//                2: key down, 3: key up (arg picks the key)
// The definition goes through a real terrains file and loadTerrains, so the
// frame update sees exactly what the game would accept from a file.

#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/random.h"
#include "play_driver.h"
#include "quiet.h"

namespace
{

std::string path;
std::FILE *quiet = nullptr;

constexpr float kPicks[] = {0.0f,   -0.0f,   1.0f,     -1.0f,    0.5f,   9.81f, 20.0f, 60.0f,
                            255.0f, 256.0f,  1000.0f,  -1000.0f, 1e-6f,  1e6f,  -1e6f, 1e30f,
                            -1e30f, 3.4e38f, -3.4e38f, 1e-38f,   1e-45f, 0.1f,  2.0f,  4.0f,
                            100.0f, -255.0f, 1e4f,     -1e4f,    1e10f,  30.0f, 0.01f, 5e5f};
// Long play is the soak's job; short runs let the fuzzer try many more streams.
constexpr int kMaxFrames = 600;
constexpr int kMaxNewMatches = 3;

struct Reader {
    const std::uint8_t *p;
    std::size_t left;
    bool take(std::uint8_t &b)
    {
        if (left == 0)
            return false;
        b = *p++;
        --left;
        return true;
    }
};

float readField(Reader &in)
{
    std::uint8_t sel = 0;
    in.take(sel);
    if (sel < 128)
        return kPicks[sel % (sizeof kPicks / sizeof kPicks[0])];
    std::uint32_t bits = 0;
    for (int i = 0; i < 4; ++i) {
        std::uint8_t b = 0;
        in.take(b);
        bits = bits << 8 | b;
    }
    float v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

[[noreturn]] void fault(const char *what, int frame)
{
    std::fprintf(stderr, "fuzz_update: %s after frame %d\n", what, frame);
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    path = "/tmp/quorbly-fuzz-update-" + std::to_string(getpid());
    quiet = std::fopen("/dev/null", "w");
    quietStdout();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    Reader in{data, size};
    std::uint8_t density = 0;
    in.take(density);
    float fields[6];
    for (float &f : fields)
        f = readField(in);
    std::uint8_t invert = 0;
    in.take(invert);
    std::uint8_t seedBytes[2] = {};
    in.take(seedBytes[0]);
    in.take(seedBytes[1]);

    // A terrains file of one line; %.9g gives every float back bit for bit
    // (and writes inf or nan where the bits say so, which the reader refuses).
    std::FILE *f = std::fopen(path.c_str(), "w");
    if (!f)
        return 0;
    std::fprintf(f, "Fuzz,%.9g,%.9g,%.9g,%.9g,%.9g,%d,%.9g,%.9g,0.5,0.5,0.5,0.2,0.2,0.2,0.5,30\n",
                 density / 255.0 * 40.0 / 22500.0, fields[0], fields[1], fields[2], fields[3],
                 static_cast<int>(static_cast<std::int8_t>(invert)), fields[4], fields[5]);
    std::fclose(f);
    if (!loadTerrains(path.c_str()))
        return 0;

    play::start(quiet, seedBytes[0] << 8 | seedBytes[1]);

    int frames = 0;
    int newMatches = 0;
    std::uint8_t op = 0, arg = 0;
    while (frames < kMaxFrames && in.take(op) && in.take(arg)) {
        switch (op >> 6) {
        case 0: {
            const int ms = 1 + ((op & 0x3f) << 8 | arg);
            runFrame(ms / 1000.0f);
            ++frames;
            break;
        }
        case 1:
            for (int i = 0; i < 2 * (arg + 1) && frames < kMaxFrames; ++i) {
                runFrame(0.016f);
                ++frames;
                if (const char *bad = play::firstFault())
                    fault(bad, frames);
            }
            break;
        case 2: {
            const auto key = static_cast<play::Key>(arg % play::kKeyCount);
            // New grids cost far more than frames; a few per run are plenty.
            if ((key == play::kF1 || (key == play::kSpace && endGame == 1)) &&
                newMatches >= kMaxNewMatches)
                break;
            newMatches += play::keyDown(key) ? 1 : 0;
            break;
        }
        default:
            play::keyUp(static_cast<play::Key>(arg % play::kKeyCount));
            break;
        }
        if (const char *bad = play::firstFault())
            fault(bad, frames);
    }
    destroyTerrains();
    return 0;
}
