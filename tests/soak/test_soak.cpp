// SPDX-License-Identifier: GPL-3.0-or-later
// The headless game under random keys for both players, the bot driving most
// of the time, random frame times, over every shipped terrain and the
// silliest definitions the terrains file accepts. Every frame the state is
// checked, and nothing may allocate while frames run. QUORBLY_SOAK_FRAMES
// sets the frames played (a short soak by default; the deep stage plays a
// million).

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "core/random.h"
#include "play_driver.h"

// ---- allocation counting: operator new goes through malloc, and malloc,
// calloc and realloc are wrapped at link time (--wrap).
namespace
{
// volatile: the compiler must not move these across malloc, which it knows
// cannot read them.
volatile bool counting = false;
volatile long allocations = 0;
void count()
{
    if (counting)
        allocations = allocations + 1;
}
} // namespace

extern "C" {
void *__real_malloc(std::size_t n);
void *__real_calloc(std::size_t n, std::size_t size);
void *__real_realloc(void *p, std::size_t n);
void *__wrap_malloc(std::size_t n)
{
    count();
    return __real_malloc(n);
}
void *__wrap_calloc(std::size_t n, std::size_t size)
{
    count();
    return __real_calloc(n, size);
}
void *__wrap_realloc(void *p, std::size_t n)
{
    count();
    return __real_realloc(p, n);
}
}

// The other forms of new and delete end in these.
[[gnu::noinline]] void *operator new(std::size_t n)
{
    if (void *p = std::malloc(n == 0 ? 1 : n))
        return p;
    throw std::bad_alloc();
}
[[gnu::noinline]] void operator delete(void *p) noexcept
{
    std::free(p);
}
[[gnu::noinline]] void operator delete(void *p, std::size_t) noexcept
{
    std::free(p);
}

namespace
{

// The test's own generator, so the game's rand() draws stay the game's.
struct Random {
    std::uint64_t s;
    std::uint32_t next()
    {
        s ^= s << 13;
        s ^= s >> 7;
        s ^= s << 17;
        return static_cast<std::uint32_t>(s >> 11);
    }
    bool chance(std::uint32_t oneIn) { return next() % oneIn == 0; }
};

struct Figures {
    long frames = 0, decided = 0, botFrames = 0, allocations = 0;
    const char *fault = nullptr;
};

// Plays `frames` frames from program start on the loaded terrains table.
Figures soak(long frames, std::uint64_t seed)
{
    Figures f;
    Random rng{seed * 0x9E3779B97F4A7C15ull + 1};
    std::FILE *quiet = std::fopen("/dev/null", "w");
    play::start(quiet, static_cast<unsigned>(seed));
    play::keyDown(play::kF4); // the bot drives player 2
    bool held[8] = {};
    int scores[2] = {0, 0};
    for (; f.frames < frames && !f.fault; ++f.frames) {
        counting = true;
        const long before = allocations;
        bool newMatch = false;
        if (rng.chance(6)) { // a real keyboard only releases what it pressed
            const auto k = static_cast<play::Key>(rng.next() % 8);
            held[k] ? play::keyUp(k) : (void)play::keyDown(k);
            held[k] = !held[k];
        }
        if (toggleBot == 1 ? rng.chance(3000) : rng.chance(200))
            play::keyDown(play::kF4);
        if (rng.chance(endGame == 1 ? 300 : togglePause == 1 ? 20 : 4000))
            newMatch = play::keyDown(play::kSpace);
        if (rng.chance(30000))
            newMatch = play::keyDown(play::kF1) || newMatch;
        for (play::Key k : {play::kF9, play::kF10, play::kF11, play::kF12, play::kOne, play::kTwo})
            if (rng.chance(5000))
                play::keyDown(k);
        runFrame(0.001f + static_cast<float>(rng.next() % 1000) * 0.000249f);
        counting = false;
        if (!newMatch)
            f.allocations += allocations - before;
        f.botFrames += toggleBot;
        for (int i = 0; i < 2; ++i) {
            const int gained = players[i].score - (newMatch ? 0 : scores[i]);
            if (gained != 0 && gained != 1)
                f.fault = "a score jumped by more than one frag";
            f.decided += gained == 1 && players[i].score == kFragTarget;
            scores[i] = players[i].score;
        }
        if (const char *fault = play::firstFault())
            f.fault = fault;
    }
    std::fclose(quiet);
    return f;
}

void expectClean(const std::string &label, const Figures &f, long frames)
{
    std::printf("soak %-30s %8ld frames, %4ld matches decided\n", label.c_str(), f.frames,
                f.decided);
    EXPECT_EQ(f.fault, nullptr) << label << ": " << f.fault << " at frame " << f.frames;
    EXPECT_EQ(f.frames, frames) << label;
    EXPECT_EQ(f.allocations, 0) << label << ": the frame loop allocated";
    EXPECT_GT(f.botFrames, f.frames / 2) << label << ": the bot must really have played";
}

} // namespace

TEST(Soak, RandomPlayOverEveryDefinitionAndOneLongSession)
{
    const char *env = std::getenv("QUORBLY_SOAK_FRAMES");
    const long budget = env ? std::atol(env) : 100000;
    ::testing::internal::CaptureStdout();
    ASSERT_TRUE(loadTerrains(QUORBLY_DATA_DIR "/terrains"));
    ::testing::internal::GetCapturedStdout();
    const std::vector<Terrain> shipped = terrains;
    // The counter itself must see what it is meant to catch.
    static void *volatile sink;
    counting = true;
    const long start = allocations;
    sink = new int(3);
    delete static_cast<int *>(sink);
    sink = std::malloc(16);
    std::free(sink);
    counting = false;
    ASSERT_EQ(allocations - start, 2) << "the allocation counter misses new or malloc";

    // Half the frames in one session on the shipped table, where every match
    // is played on the next terrain newMap picks.
    const Figures session = soak(budget / 2, 7);
    expectClean("one session", session, budget / 2);
    EXPECT_GE(session.decided, budget / 2 / 2000) << "matches must keep being decided";

    // The other half spread over one definition at a time: shipped, then
    // extreme (not every one ends matches: with gravity 0 a ball thrown up
    // never comes down).
    std::vector<std::pair<std::string, Terrain>> defs;
    for (const Terrain &t : shipped)
        defs.push_back({t.name.data(), t});
    const std::tuple<const char *, float Terrain::*, float> extremes[] = {
        {"gravity 0", &Terrain::gravity, 0},
        {"gravity 1000", &Terrain::gravity, 1000},
        {"friction 0", &Terrain::friction, 0},
        {"friction 1000", &Terrain::friction, 1000},
        {"flat circles", &Terrain::circleHeightFactor, 0},
        {"circles 255 high", &Terrain::circleHeight, 255},
        {"crowded circles", &Terrain::circlesPerCell, 0.05f}};
    for (const auto &[label, field, value] : extremes) {
        defs.push_back({label, shipped[0]});
        defs.back().second.*field = value;
        defs.back().second.invert = defs.size() % 2; // half of them inverted
    }
    long decided = 0;
    const long each = budget / 2 / static_cast<long>(defs.size());
    for (std::size_t i = 0; i < defs.size(); ++i) {
        terrains.assign(1, defs[i].second);
        numTerrains = 1;
        const Figures f = soak(each, 1000 + i);
        expectClean(defs[i].first, f, each);
        decided += f.decided;
    }
    EXPECT_GT(decided, 0);
    destroyTerrains();
}
