// SPDX-License-Identifier: GPL-3.0-or-later
#include "replay/snapshot.h"

#include <bit>
#include <cstring>
#include <functional>
#include <memory>
#include <type_traits>

#include "core/state.h"

namespace
{

// A field added to one of these records must be added to its list below
// too (and a field of play in the session to core/state.h's PlayRecord);
// the sizes are here to say so.
static_assert(sizeof(Player) == 200 && sizeof(Particle) == 48 && sizeof(Powerup) == 64 &&
              sizeof(Message) == 88 && sizeof(MatchState) == 143792 && sizeof(ViewState) == 96 &&
              sizeof(SessionState) == 262308 && sizeof(PlayRecord) == 143848);

template <class T> struct IsArray : std::false_type {
};
template <class T, std::size_t N> struct IsArray<std::array<T, N>> : std::true_type {
};

// Every field the digest and the snapshot cover, in one order, handed to
// `v`: scalars one by one, byte arrays whole, the terrain pointer apart.
template <class V, class T> void io(V &v, T &x);

template <class V, class... T> void all(V &v, T &...x)
{
    (io(v, x), ...);
}

template <class V, class T> void io(V &v, T &x)
{
    if constexpr (std::is_arithmetic_v<T>) {
        v.scalar(x);
    } else if constexpr (IsArray<T>::value) {
        if constexpr (sizeof x[0] == 1)
            v.bytes(reinterpret_cast<unsigned char *>(x.data()), x.size());
        else
            for (auto &e : x)
                io(v, e);
    } else if constexpr (std::is_same_v<T, vector>) {
        all(v, x.x, x.y, x.z);
    } else if constexpr (std::is_same_v<T, Push>) {
        all(v, x.x, x.y);
    } else if constexpr (std::is_same_v<T, RandomState>) {
        all(v, x.table, x.front, x.rear);
    } else if constexpr (std::is_same_v<T, PadState>) {
        all(v, x.stick, x.hat);
    } else if constexpr (std::is_same_v<T, Message>) {
        all(v, x.text, x.timeleft);
    } else if constexpr (std::is_same_v<T, Particle>) {
        all(v, x.active, x.life, x.fade, x.r, x.g, x.b, x.x, x.y, x.z, x.velocity);
    } else if constexpr (std::is_same_v<T, Powerup>) {
        all(v, x.grounded, x.active, x.x, x.y, x.z, x.velocity, x.ambient, x.diffuse);
    } else {
        static_assert(std::is_same_v<T, Player>);
        all(v, x.radius, x.radiusDefault, x.mass, x.massDefault, x.resistance, x.powerup,
            x.powerupActive, x.powerupStage, x.powerupExpire, x.grounded, x.spawning, x.rot, x.rotY,
            x.rotHY, x.x, x.y, x.z, x.velocity, x.movement, x.maxSpeed, x.maxSpeedDefault,
            x.acceleration, x.accelerationDefault, x.score, x.pressy, x.pressx, x.keys, x.pad,
            x.ambient, x.diffuse, x.ambientHamster, x.diffuseHamster);
    }
}

// The view's fields go where they always went, between those of play, so
// the digests replays carry stay as they were; without the view they are
// left out. Each field belongs to one part of the record (v.part), so that
// a digest that went apart can say where.
template <class V> void visitState(GameState &g, V &v, bool withView)
{
    MatchState &m = g.match;
    ViewState &w = g.view;
    SessionState &s = g.session;
    const auto in = [&](StatePart part, auto &...x) {
        if (part == StatePart::View && !withView)
            return;
        v.part(part);
        all(v, x...);
    };
    using enum StatePart;
    in(Players, m.players);
    v.part(Grid);
    v.terrain(m.terrain);
    in(Grid, m.heightmap, m.averageHeight);
    in(Powerup, m.powerup, m.powerupActive, m.nextPowerupSpawn);
    in(Clocks, m.gameTime, m.gameClock);
    in(View, w.lightTime, w.lightClock);
    in(Clocks, m.lastCollisionTime);
    in(View, w.lightPos, w.cameraPos, w.cameraRot, w.cameraPosPreferred, w.cameraRotPreferred,
       w.cameraVelocity, w.sceneRot, w.sceneClock);
    in(Messages, m.endGame, m.winner, m.messages, m.mainMessage);
    in(Particles, m.particles, m.nextParticle);
    in(Powerup, m.rgb, m.hval, m.ticker, m.tickerClock);
    in(Clocks, m.rate, m.rateClock);
    in(Particles, m.trailRemainder);
    in(Players, m.pads);
    in(Clocks, m.random);
    in(View, w.toggleCameraMovement, w.toggleLightMovement);
    in(Clocks, s.toggleBulletTime, s.toggleSuperSizeMe, s.togglePause, s.toggleBot);
    in(Grid, s.terrainCurrent, s.oldTerrain, s.oldTerrain2, s.terrainChosenNext, s.texture, s.seed,
       s.noiseSeedQueued, s.queuedNoiseSeed, s.matchesStarted);
    in(Players, s.scale);
}

// The terrain's place in the loaded table; -1 for none or one of a test's own.
std::int32_t terrainIndex(const Terrain *t)
{
    const std::less<const Terrain *> before;
    if (!t || before(t, terrains.data()) || !before(t, terrains.data() + terrains.size()))
        return -1;
    return static_cast<std::int32_t>(t - terrains.data());
}

template <class T> auto bitsOf(T x)
{
    if constexpr (sizeof x == 1)
        return static_cast<std::uint8_t>(x);
    else if constexpr (sizeof x == 4)
        return std::bit_cast<std::uint32_t>(x);
    else
        return std::bit_cast<std::uint64_t>(x);
}

// Spreads the last words' bits over the whole digest.
std::uint64_t finish(std::uint64_t d)
{
    d = (d ^ (d >> 31)) * 0xbf58476d1ce4e5b9ull;
    d = (d ^ (d >> 27)) * 0x94d049bb133111ebull;
    return d ^ (d >> 31);
}

void mix(std::uint64_t &h, std::uint64_t w)
{
    h = (h ^ w) * 0x9e3779b97f4a7c15ull;
    h ^= h >> 29;
}

// The whole digest, and one of each part beside it.
struct Hasher {
    static constexpr std::uint64_t kStart = 0x51ed270b27a9c3d5ull;
    std::uint64_t h = kStart;
    std::array<std::uint64_t, kStateParts> parts = [] {
        std::array<std::uint64_t, kStateParts> p{};
        p.fill(kStart);
        return p;
    }();
    std::size_t at = 0;
    void part(StatePart p) { at = static_cast<std::size_t>(p); }
    void word(std::uint64_t w)
    {
        mix(h, w);
        mix(parts[at], w);
    }
    template <class T> void scalar(T &x) { word(bitsOf(x)); }
    void bytes(const unsigned char *p, std::size_t n)
    {
        word(n);
        for (; n >= 8; p += 8, n -= 8) {
            std::uint64_t w;
            std::memcpy(&w, p, 8);
            word(w);
        }
        std::uint64_t tail = 0;
        std::memcpy(&tail, p, n);
        word(tail);
    }
    void terrain(Terrain *&t) { word(static_cast<std::uint32_t>(terrainIndex(t))); }
};

struct Saver {
    std::vector<std::uint8_t> out;
    void part(StatePart) {}
    void bytes(const void *p, std::size_t n)
    {
        const auto *b = static_cast<const std::uint8_t *>(p);
        out.insert(out.end(), b, b + n);
    }
    template <class T> void scalar(T &x)
    {
        const auto bits = bitsOf(x);
        bytes(&bits, sizeof bits);
    }
    void terrain(Terrain *&t)
    {
        const std::int32_t i = terrainIndex(t);
        bytes(&i, sizeof i);
    }
};

struct Loader {
    std::span<const std::uint8_t> in;
    void part(StatePart) {}
    bool ok = true;
    bool take(void *p, std::size_t n)
    {
        ok = ok && in.size() >= n;
        if (ok) {
            std::memcpy(p, in.data(), n);
            in = in.subspan(n);
        }
        return ok;
    }
    void bytes(unsigned char *p, std::size_t n) { take(p, n); }
    template <class T> void scalar(T &x)
    {
        decltype(bitsOf(x)) bits{};
        if (!take(&bits, sizeof bits))
            return;
        if constexpr (std::is_same_v<T, bool>) {
            ok = ok && bits <= 1;
            x = bits == 1;
        } else {
            x = std::bit_cast<T>(bits);
        }
    }
    void terrain(Terrain *&t)
    {
        std::int32_t i = -1;
        take(&i, sizeof i);
        ok = ok && i >= -1 && i < static_cast<std::int32_t>(terrains.size());
        t = ok && i >= 0 ? &terrains[static_cast<std::size_t>(i)] : nullptr;
    }
};

constexpr std::uint32_t kSnapshotMagic = 0x51534e31; // "QSN1"

template <std::size_t N> bool terminated(const std::array<char, N> &text)
{
    return std::memchr(text.data(), '\0', N) != nullptr;
}

} // namespace

std::uint64_t stateDigest(bool withView)
{
    Hasher hasher;
    visitState(game, hasher, withView);
    return finish(hasher.h);
}

PartDigests partDigests()
{
    Hasher hasher;
    visitState(game, hasher, true);
    PartDigests parts{};
    for (std::size_t i = 0; i < parts.size(); ++i)
        parts[i] = static_cast<std::uint32_t>(finish(hasher.parts[i]));
    return parts;
}

std::string partsApart(const PartDigests &here, const PartDigests &recorded)
{
    std::string names;
    for (std::size_t i = 0; i < here.size(); ++i)
        if (here[i] != recorded[i])
            names += (names.empty() ? "" : ", ") + std::string(kStatePartNames[i]);
    return names;
}

std::string digestText(std::uint64_t digest)
{
    std::string text(16, '0');
    for (int i = 15; i >= 0; --i, digest >>= 4)
        text[static_cast<std::size_t>(i)] = "0123456789abcdef"[digest & 15];
    return text;
}

std::vector<std::uint8_t> saveState()
{
    Saver saver;
    const std::uint32_t magic = kSnapshotMagic;
    saver.bytes(&magic, sizeof magic);
    visitState(game, saver, true);
    return std::move(saver.out);
}

bool loadState(std::span<const std::uint8_t> bytes, bool withView, Terrainless terrainless)
{
    Loader loader{bytes};
    std::uint32_t magic = 0;
    if (!loader.take(&magic, sizeof magic) || magic != kSnapshotMagic)
        return false;
    auto loaded = std::make_unique<GameState>(game);
    visitState(*loaded, loader, true);
    const MatchState &m = loaded->match;
    const RandomState &r = m.random;
    const std::size_t taps = r.table.size();
    bool sane = loader.ok && loader.in.empty() && m.nextParticle >= 0 &&
                m.nextParticle < kParticleCount && m.winner >= 0 && m.winner <= 1 &&
                terminated(m.mainMessage) && r.front < taps && r.rear < taps &&
                (r.front + taps - r.rear) % taps == 3 &&
                (m.terrain || terrainless == Terrainless::Allowed);
    for (const Message &message : m.messages)
        sane = sane && terminated(message.text);
    if (!withView)
        loaded->view = game.view;
    if (sane)
        game = *loaded;
    return sane;
}
