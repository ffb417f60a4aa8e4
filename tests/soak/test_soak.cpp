// A long, headless soak of the whole frame update: random keys for both
// players with the bot driving most of the time, random frame times, every
// shipped terrain and the silliest definitions the terrains file accepts.
// Every frame the state is checked; nothing may allocate while frames run.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "play_driver.h"

// ---- allocation counting -------------------------------------------------
// operator new is replaced for the whole executable; malloc, calloc and
// realloc are wrapped at link time (--wrap) for everything linked statically.

extern "C" void *__real_malloc(std::size_t n);

namespace
{
// volatile: the compiler must not move these across malloc, which it knows
// cannot read them.
volatile bool counting = false;
volatile long allocations = 0;

void *allocate(std::size_t n)
{
    if (counting)
        allocations = allocations + 1;
    if (n == 0)
        n = 1;
    return __real_malloc(n);
}

void *allocateAligned(std::size_t n, std::align_val_t a)
{
    if (counting)
        allocations = allocations + 1;
    const std::size_t align = static_cast<std::size_t>(a);
    const std::size_t rounded = (n + align - 1) / align * align;
    return std::aligned_alloc(align, rounded == 0 ? align : rounded);
}

// Out of line, so the compiler does not pair an inlined new with free.
[[gnu::noinline]] void release(void *p)
{
    std::free(p);
}
} // namespace

void *operator new(std::size_t n)
{
    if (void *p = allocate(n))
        return p;
    throw std::bad_alloc();
}
void *operator new[](std::size_t n)
{
    if (void *p = allocate(n))
        return p;
    throw std::bad_alloc();
}
void *operator new(std::size_t n, const std::nothrow_t &) noexcept
{
    return allocate(n);
}
void *operator new[](std::size_t n, const std::nothrow_t &) noexcept
{
    return allocate(n);
}
void *operator new(std::size_t n, std::align_val_t a)
{
    if (void *p = allocateAligned(n, a))
        return p;
    throw std::bad_alloc();
}
void *operator new[](std::size_t n, std::align_val_t a)
{
    if (void *p = allocateAligned(n, a))
        return p;
    throw std::bad_alloc();
}
void operator delete(void *p) noexcept
{
    release(p);
}
void operator delete[](void *p) noexcept
{
    release(p);
}
void operator delete(void *p, std::size_t) noexcept
{
    release(p);
}
void operator delete[](void *p, std::size_t) noexcept
{
    release(p);
}
void operator delete(void *p, std::align_val_t) noexcept
{
    release(p);
}
void operator delete[](void *p, std::align_val_t) noexcept
{
    release(p);
}
void operator delete(void *p, std::size_t, std::align_val_t) noexcept
{
    release(p);
}
void operator delete[](void *p, std::size_t, std::align_val_t) noexcept
{
    release(p);
}

extern "C" {
void *__real_calloc(std::size_t n, std::size_t size);
void *__real_realloc(void *p, std::size_t n);
void *__wrap_malloc(std::size_t n)
{
    if (counting)
        allocations = allocations + 1;
    return __real_malloc(n);
}
void *__wrap_calloc(std::size_t n, std::size_t size)
{
    if (counting)
        allocations = allocations + 1;
    return __real_calloc(n, size);
}
void *__wrap_realloc(void *p, std::size_t n)
{
    if (counting)
        allocations = allocations + 1;
    return __real_realloc(p, n);
}
}

namespace
{

// ---- the plan -------------------------------------------------------------
// One million frames spread over every definition (shipped and extreme), and
// one unbroken session of another million frames on the shipped table, where
// every match is played on the next terrain newMap picks. The sanitizer
// build, five times slower, plays a tenth of each: a memory fault shows long
// before that, and the plain build plays them all.
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUORBLY_SOAK_SANITIZED 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) || defined(QUORBLY_SOAK_SANITIZED)
constexpr long kShare = 10;
#else
constexpr long kShare = 1;
#endif
constexpr long kSpreadFrames = 1000000 / kShare;
constexpr long kSessionFrames = 1000000 / kShare;

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
    float uniform() { return static_cast<float>(next() % 1000000u) / 1000000.0f; }
};

struct Figures {
    long frames = 0;
    long matchesDecided = 0;
    long newMatches = 0;
    long frags = 0;
    long pausedFrames = 0;
    long botFrames = 0;
    long frameAllocations = 0;
    long matchAllocations = 0;
    const char *fault = nullptr;
    long faultFrame = -1;
};

// Plays `frames` frames from program start on the loaded terrains table.
Figures soak(long frames, std::uint64_t seed)
{
    Figures f;
    Random rng{seed * 0x9E3779B97F4A7C15ull + 1};
    std::srand(static_cast<unsigned>(seed));
    std::FILE *quiet = std::fopen("/dev/null", "w");
    play::start(quiet);
    play::keyDown(play::kF4, quiet); // the bot drives player 2

    bool held[8] = {};
    int lastScore[2] = {0, 0};
    for (long frame = 0; frame < frames; ++frame) {
        bool newMatch = false;
        counting = true;
        const long before = allocations;

        // Steering: a real keyboard only releases what it pressed.
        if (rng.chance(6)) {
            const int k = static_cast<int>(rng.next() % 8);
            if (held[k])
                play::keyUp(static_cast<play::Key>(k));
            else
                play::keyDown(static_cast<play::Key>(k), quiet);
            held[k] = !held[k];
        }
        if (toggleBot == 1 ? rng.chance(3000) : rng.chance(200))
            play::keyDown(play::kF4, quiet);
        if (endGame == 1 ? rng.chance(300) : (togglePause == 1 ? rng.chance(20) : rng.chance(4000)))
            newMatch = play::keyDown(play::kSpace, quiet) || newMatch;
        if (rng.chance(30000))
            newMatch = play::keyDown(play::kF1, quiet) || newMatch;
        static constexpr play::Key toggles[] = {play::kF9,  play::kF10, play::kF11,
                                                play::kF12, play::kOne, play::kTwo};
        for (play::Key k : toggles)
            if (rng.chance(5000))
                play::keyDown(k, quiet);

        const float seconds = 0.001f + rng.uniform() * 0.249f;
        update(seconds);

        counting = false;
        const long made = allocations - before;
        (newMatch ? f.matchAllocations : f.frameAllocations) += made;
        if (newMatch) {
            ++f.newMatches;
            lastScore[0] = lastScore[1] = 0;
        }

        ++f.frames;
        f.pausedFrames += togglePause;
        f.botFrames += toggleBot;
        for (int i = 0; i < 2; ++i) {
            if (players[i].score != lastScore[i]) {
                if (players[i].score != lastScore[i] + 1 && f.fault == nullptr) {
                    f.fault = "a score jumped by more than one frag";
                    f.faultFrame = frame;
                }
                f.frags += players[i].score - lastScore[i];
                if (players[i].score == kFragTarget)
                    ++f.matchesDecided;
                lastScore[i] = players[i].score;
            }
        }
        if (const char *fault = play::firstFault()) {
            f.fault = fault;
            f.faultFrame = frame;
        }
        if (f.fault)
            break;
    }
    std::fclose(quiet);
    return f;
}

Terrain rollingDunes()
{
    Terrain t{};
    const char name[] = "Rolling Dunes";
    std::memcpy(t.name.data(), name, sizeof name);
    t.circlesPerCell = 0.004f;
    t.circleSizeMin = 20;
    t.circleSizeMax = 60;
    t.circleHeight = 80;
    t.circleHeightFactor = 2;
    t.invert = 0;
    t.gravity = 9.81f;
    t.friction = 0.5f;
    t.diffuse = {0.9f, 0.8f, 0.5f, 1};
    t.ambient = {0.35f, 0.3f, 0.15f, 1};
    t.noisePersistence = 0.6f;
    t.noiseRange = 40;
    return t;
}

struct Definition {
    std::string label;
    Terrain terrain;
};

std::vector<Definition> shipped()
{
    std::vector<Definition> out;
    ::testing::internal::CaptureStdout();
    const bool ok = loadTerrains(QUORBLY_DATA_DIR "/terrains");
    ::testing::internal::GetCapturedStdout();
    if (!ok)
        return out;
    for (const Terrain &t : terrains)
        out.push_back({std::string("shipped '") + t.name.data() + "'", t});
    return out;
}

std::vector<Definition> extremes()
{
    std::vector<Definition> out;
    auto with = [&](const char *label, auto change) {
        Terrain t = rollingDunes();
        change(t);
        out.push_back({label, t});
    };
    with("gravity 0", [](Terrain &t) { t.gravity = 0; });
    with("gravity 1000", [](Terrain &t) { t.gravity = 1000; });
    with("friction 0", [](Terrain &t) { t.friction = 0; });
    with("friction 1000", [](Terrain &t) { t.friction = 1000; });
    with("circle height 255, factor 0", [](Terrain &t) {
        t.circleHeight = 255;
        t.circleHeightFactor = 0;
    });
    with("inverted", [](Terrain &t) { t.invert = 1; });
    // Small circles keep each of its many new grids to a tenth of a second.
    with("one circle per cell", [](Terrain &t) {
        t.circlesPerCell = 1.0f;
        t.circleSizeMin = 6;
        t.circleSizeMax = 18;
    });
    return out;
}

void report(const std::string &label, const Figures &f, double seconds)
{
    std::printf("soak %-34s frames %7ld  decided %4ld  new matches %4ld  frags %5ld  "
                "paused %6ld  bot %7ld  %.2f s (%.2f us/frame)\n",
                label.c_str(), f.frames, f.matchesDecided, f.newMatches, f.frags, f.pausedFrames,
                f.botFrames, seconds, seconds * 1e6 / f.frames);
    std::fflush(stdout);
}

void expectClean(const std::string &label, const Figures &f, long frames)
{
    EXPECT_EQ(f.fault, nullptr) << label << ": " << f.fault << " at frame " << f.faultFrame;
    EXPECT_EQ(f.frames, frames) << label;
    EXPECT_EQ(f.frameAllocations, 0) << label << ": the frame loop allocated";
    // The bot must really have played. (Not every definition ends matches:
    // with gravity 0 a ball thrown up never comes down.)
    EXPECT_GT(f.botFrames, f.frames / 2) << label;
}

double since(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

TEST(Soak, AMillionFramesOverEveryShippedAndExtremeDefinition)
{
    std::vector<Definition> defs = shipped();
    ASSERT_GE(defs.size(), 8u) << "the shipped terrains did not load";
    for (Definition &d : extremes())
        defs.push_back(d);

    const long each = kSpreadFrames / static_cast<long>(defs.size());
    long total = 0;
    long decided = 0;
    const auto start = std::chrono::steady_clock::now();
    for (std::size_t i = 0; i < defs.size(); ++i) {
        // One definition per table: every new match is a fresh grid of it.
        terrains.assign(1, defs[i].terrain);
        numTerrains = 1;
        const long frames = i + 1 == defs.size() ? kSpreadFrames - total : each;
        const auto t0 = std::chrono::steady_clock::now();
        const Figures f = soak(frames, 1000 + i);
        report(defs[i].label, f, since(t0));
        expectClean(defs[i].label, f, frames);
        total += f.frames;
        decided += f.matchesDecided;
    }
    std::printf("soak spread: %ld frames in %.1f s, %ld matches decided\n", total, since(start),
                decided);
    EXPECT_EQ(total, kSpreadFrames);
    EXPECT_GT(decided, 0);
}

TEST(Soak, AMillionFramesInOneSessionOnTheShippedTable)
{
    ::testing::internal::CaptureStdout();
    const bool ok = loadTerrains(QUORBLY_DATA_DIR "/terrains");
    ::testing::internal::GetCapturedStdout();
    ASSERT_TRUE(ok);
    const auto t0 = std::chrono::steady_clock::now();
    const Figures f = soak(kSessionFrames, 7);
    report("one session, shipped table", f, since(t0));
    expectClean("session", f, kSessionFrames);
    EXPECT_GT(f.matchesDecided, 10);
    EXPECT_GT(f.newMatches, 10);
}

// The counter itself must see what it is meant to catch.
namespace
{
void *volatile sink;
}

TEST(Soak, TheAllocationCounterSeesNewAndMalloc)
{
    counting = true;
    long before = allocations;
    int *p = new int(3);
    sink = p;
    counting = false;
    EXPECT_EQ(allocations - before, 1) << "operator new";
    delete p;

    counting = true;
    before = allocations;
    sink = std::malloc(16);
    counting = false;
    EXPECT_EQ(allocations - before, 1) << "malloc";
    std::free(sink);

    counting = true;
    before = allocations;
    std::vector<float> v(100);
    sink = v.data();
    counting = false;
    EXPECT_EQ(allocations - before, 1) << "a vector";
}
