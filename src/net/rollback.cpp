// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/rollback.h"

#include <algorithm>
#include <array>
#include <utility>

#include "audio/cues.h"
#include "core/frame.h"
#include "core/keys.h"
#include "core/match.h"
#include "core/state.h"
#include "net/netproto.h"
#include "render/view.h"
#include "replay/replay.h"
#include "terrain/texture.h"

namespace
{

// A side this far ahead of what it knows stops taking the other's inputs.
constexpr std::uint32_t kMaxAhead = 600;
// The side ahead holds back a tick (at most one in kSlowEvery) once its
// lead is over half a tick (in sixteenths); a host this many ticks ahead
// of a joiner still joins.
constexpr std::int32_t kAhead = 8;
constexpr std::int64_t kFarBehind = 3;

// The steering keys, player 1's then player 2's, in the order of held.
constexpr std::array<int, 8> kSteering{keys::kUp, keys::kDown, keys::kLeft, keys::kRight,
                                       keys::kW,  keys::kS,    keys::kA,    keys::kD};

// Counts a press or a release of a steering key; false for a release with
// no press before it.
bool counts(std::array<std::uint8_t, 8> &held, const InputEvent &e)
{
    const auto *key = std::find(kSteering.begin(), kSteering.end(), e.code);
    if ((e.kind != InputKind::KeyDown && e.kind != InputKind::KeyUp) || key == kSteering.end())
        return true;
    std::uint8_t &n = held[static_cast<std::size_t>(key - kSteering.begin())];
    if (e.kind == InputKind::KeyDown) {
        n = static_cast<std::uint8_t>(std::min(n + 1, 255));
        return true;
    }
    if (n == 0) // no press to let go of
        return false;
    --n;
    return true;
}

RollbackState &rb()
{
    return game.net.rollback;
}

TickInputs &at(std::uint32_t tick)
{
    RollbackState &r = rb();
    while (r.first + r.inputs.size() <= tick)
        r.inputs.emplace_back();
    return r.inputs[tick - r.first];
}

// The last tick whose inputs of the other side are all known.
std::uint32_t remoteKnown()
{
    const RollbackState &r = rb();
    return game.net.linked ? r.remoteRead + r.remoteDelay : UINT32_MAX;
}

// Ticks that ran before make no sound and load their matches without a word.
void quietly(bool on)
{
    muteEffects(on);
    game.session.quiet = on;
}

// Runs tick `tick` from the play as it stands: the host's inputs first,
// then its friend's; the other side's only when known (else none, the
// guess). What it applied goes to `applied`.
void run(std::uint32_t tick, Recorder *recorder, std::vector<InputEvent> &applied)
{
    TickInputs &in = at(tick);
    const bool known = tick <= remoteKnown();
    in.guessed = !known;
    static const std::vector<InputEvent> none;
    const std::vector<InputEvent> &remote = known ? in.remote : none;
    const bool host = game.net.role != NetRole::Join;
    const std::vector<InputEvent> &first = host ? in.own : remote, &then = host ? remote : in.own;
    applied.assign(first.begin(), first.end());
    applied.insert(applied.end(), then.begin(), then.end());
    for (const InputEvent &e : applied) {
        takeInput(e, tickClockMs(tick));
        if (recorder)
            recordInput(*recorder, &e);
    }
    runFrame(kTickSeconds);
    if (recorder)
        recordFrame(*recorder, kTickSeconds);
}

} // namespace

bool isSureInput(const InputEvent &e)
{
    if (e.kind == InputKind::PadButton)
        return true;
    if (e.kind != InputKind::KeyDown && e.kind != InputKind::KeyUp)
        return false;
    using namespace keys;
    return e.code == kSpace || e.code == kF1 || e.code == kF4 || (e.code >= kF9 && e.code <= kF12);
}

int ticksDue(std::uint32_t &carry, std::uint32_t elapsedMs)
{
    constexpr std::uint64_t kTick = 1000; // a sixtieth of a second, in sixtieths of a millisecond
    const std::uint64_t due = carry + static_cast<std::uint64_t>(elapsedMs) * 60;
    if (due >= kTick * kMaxTicks) { // a machine too slow for the clock plays behind it
        carry = 0;
        return kMaxTicks;
    }
    carry = static_cast<std::uint32_t>(due % kTick);
    return static_cast<int>(due / kTick);
}

bool isViewInput(const InputEvent &e)
{
    using namespace keys;
    constexpr std::array kView{kOne, kTwo, kI, kJ, kK, kL, kU, kM};
    return (e.kind == InputKind::KeyDown || e.kind == InputKind::KeyUp) &&
           std::find(kView.begin(), kView.end(), e.code) != kView.end();
}

std::uint32_t tickClockMs(std::uint32_t tick)
{
    return static_cast<std::uint32_t>(static_cast<std::uint64_t>(tick) * 50 / 3);
}

void restorePlay(const PlayRecord &play)
{
    const bool repaint = play.match.terrain != terrain || play.seed != seed;
    putPlay(play);
    if (repaint && terrain) {
        generateTexture(*terrain, seed, quietProgress());
        terrainChanged();
    }
}

void endOnBase()
{
    restorePlay(rb().base);
    game.view = rb().baseView;
}

void beginTicks(std::uint32_t at, std::uint32_t ownDelay, std::uint32_t remoteDelay)
{
    RollbackState &r = rb();
    r = RollbackState{};
    r.tick = r.confirmed = r.remoteRead = at;
    r.first = r.sentFrom = at + 1;
    r.base = takePlay();
    r.baseView = game.view;
    if (game.net.linked)
        linkTicks(ownDelay, remoteDelay);
}

void linkTicks(std::uint32_t ownDelay, std::uint32_t remoteDelay)
{
    RollbackState &r = rb();
    game.net.linked = true;
    r.joining = true;
    r.lead = r.sentLead = r.theirLead = 0;
    r.theirNewest = 0;
    r.remoteRead = r.linkedAt = r.tick;
    r.ownDelay = std::min(ownDelay, kMaxInputDelay);
    r.remoteDelay = std::min(remoteDelay, kMaxInputDelay);
    r.sent.clear();
    r.sentFrom = r.tick + 1;
    r.theirHeld = {};
}

void endRemote()
{
    RollbackState &r = rb();
    // What is known of the friend stays; past it, nothing more comes, as
    // was guessed.
    const std::uint32_t known = std::min(remoteKnown(), r.tick);
    for (std::uint32_t t = known + 1; t < r.first + r.inputs.size(); ++t)
        at(t).remote.clear();
    game.net.linked = false;
    r.ownDelay = 0;
    r.sent.clear();
    r.sentFrom = r.tick + 1;
}

void takeRemote(std::uint32_t readTick, std::span<const InputEvent> events, bool allowed)
{
    RollbackState &r = rb();
    if (!game.net.linked || readTick != r.remoteRead + 1 || readTick > r.tick + kMaxAhead)
        return;
    r.remoteRead = readTick;
    if (!allowed || events.size() > kMaxEvents) {
        ++game.net.dropped;
        return;
    }
    for (const InputEvent &e : events) {
        counts(r.theirHeld, e);
        at(readTick + (isSureInput(e) ? kSureDelay : r.remoteDelay)).remote.push_back(e);
    }
}

void remoteAcknowledged(std::uint32_t readTick)
{
    RollbackState &r = rb();
    const std::uint32_t acked =
        std::min<std::uint32_t>(readTick >= r.sentFrom ? readTick - r.sentFrom + 1 : 0,
                                static_cast<std::uint32_t>(r.sent.size()));
    r.sent.erase(r.sent.begin(), r.sent.begin() + acked);
    r.sentFrom += acked;
    r.theirAck = readTick;
}

void remoteSent(std::uint32_t newest)
{
    RollbackState &r = rb();
    if (newest < r.theirNewest) // overtaken on the line
        return;
    r.theirNewest = newest;
    r.theirLead = static_cast<std::int32_t>(std::int64_t{newest} - r.theirAck);
}

int ticksAllowed(int due, std::uint32_t oneWayMs)
{
    RollbackState &r = rb();
    if (!game.net.linked)
        return std::max(due, 0);
    // Where the other side is now, as far as its last inputs and half the
    // round trip tell. The join lasts until the other side has caught up by
    // that, at most two join windows (a friend that cannot catch up is
    // waited for). Then this side's lead, by how far each ran past the
    // other's inputs when it last sent, smoothed over about half a second
    // (in sixteenths of a tick) so that one late packet does not count: a
    // side ahead holds a tick back now and then. The round trip counts the
    // frames both sides wait in, and both sides' packets go the same line,
    // so only the half difference of the two is the clocks'.
    const std::int64_t there = r.remoteRead + std::int64_t{oneWayMs} * 60 / 1000;
    const std::int64_t lead = std::int64_t{r.tick} - there;
    const std::uint32_t ahead = r.tick - r.confirmed;
    r.joining = r.joining && r.tick - r.linkedAt < 2 * kJoinWindow &&
                (r.remoteRead == r.linkedAt || lead > kFarBehind || ahead >= kRollbackWindow);
    const std::uint32_t window = r.joining ? kJoinWindow : kRollbackWindow;
    const std::uint32_t room = ahead >= window ? 0 : window - ahead;
    int allowed = std::min(due, static_cast<int>(room));
    if (!r.joining)
        r.lead +=
            static_cast<std::int32_t>(((std::int64_t{r.sentLead} - r.theirLead) * 8 - r.lead) / 32);
    // A side runs more ticks than the clock asks only up to the other
    // side's last tick, which it has surely played: a joiner that just took
    // the host's game, or a side after a frame too long for its ticks. The
    // round trip is no ground for it, as busy machines count their frames
    // in it: each would take itself for behind, and the match would race.
    const std::int64_t behind = std::int64_t{r.remoteRead} - r.tick;
    bool held = false;
    if (behind > due) {
        allowed = static_cast<int>(
            std::min<std::int64_t>(room, std::min<std::int64_t>(behind, due + kMaxTicks)));
    } else if (allowed > 0 && r.lead > kAhead && r.tick - r.slowedAt >= kSlowEvery &&
               !r.stillBefore) {
        --allowed;
        r.slowedAt = r.tick;
        held = true;
    } else if (due == 0 && room > 0 && r.heldBack) {
        allowed = 1; // the clock's lull holds this tick back instead
    }
    // A tick held back never stands next to another frame of none: the
    // picture stands still for two frames at most.
    r.heldBack = held && allowed == 0;
    r.stillBefore = allowed == 0;
    return allowed;
}

void settleTicks(Recorder *recorder, const SureTick &sure)
{
    RollbackState &r = rb();
    const std::uint32_t known = std::min(remoteKnown(), r.tick);
    if (known <= r.confirmed && !r.guessedWrong)
        return;
    bool wrong = r.guessedWrong;
    for (std::uint32_t t = r.confirmed + 1; t <= known; ++t)
        wrong = wrong || (t <= r.tick && at(t).guessed && !at(t).remote.empty());
    const PlayRecord live = takePlay();
    const ViewState liveView = game.view;
    quietly(true);
    restorePlay(r.base);
    game.view = r.baseView;
    std::vector<InputEvent> applied;
    for (std::uint32_t t = r.confirmed + 1; t <= known; ++t) {
        run(t, recorder, applied);
        if (sure)
            sure(t, applied);
    }
    r.base = takePlay();
    r.baseView = game.view;
    r.confirmed = known;
    if (wrong) { // the guessed ticks again, and their view with them
        ++r.rollbacks;
        for (std::uint32_t t = known + 1; t <= r.tick; ++t)
            run(t, nullptr, applied);
    } else {
        restorePlay(live);
        game.view = liveView;
    }
    quietly(false);
    r.guessedWrong = false;
    if (r.first + 2 * kHistoryTicks < r.confirmed) { // now and then, not every tick
        const std::uint32_t old = std::min<std::uint32_t>(
            r.confirmed - kHistoryTicks - r.first, static_cast<std::uint32_t>(r.inputs.size()));
        r.inputs.erase(r.inputs.begin(), r.inputs.begin() + old);
        r.first += old;
    }
}

void runTick(std::span<const InputEvent> own)
{
    RollbackState &r = rb();
    const std::uint32_t tick = r.tick + 1;
    // Player 2 changing hands goes first in the tick, and on this side
    // alone: the friend's game came with it already (online.h's welcome).
    std::vector<InputEvent> &first = at(tick).own;
    first.insert(first.begin(), r.handOver.begin(), r.handOver.end());
    r.handOver.clear();
    std::vector<InputEvent> read = std::exchange(r.late, {}); // counted already
    for (const InputEvent &e : own)
        if (counts(r.held, e))
            read.push_back(e);
    if (read.size() > kMaxEvents) { // one tick carries no more; the rest waits whole
        r.late.assign(read.begin() + kMaxEvents, read.end());
        read.resize(kMaxEvents);
    }
    std::vector<InputEvent> sent;
    for (const InputEvent &e : read) {
        const bool view = isViewInput(e);
        const bool sure = game.net.linked && isSureInput(e);
        at(tick + (view ? 0 : sure ? kSureDelay : r.ownDelay)).own.push_back(e);
        if (!view)
            sent.push_back(e);
    }
    if (game.net.linked)
        r.sent.push_back(std::move(sent));
    std::vector<InputEvent> applied;
    run(tick, nullptr, applied);
    r.tick = tick;
}

void readLater(std::span<const InputEvent> own)
{
    RollbackState &r = rb();
    for (const InputEvent &e : own)
        if (counts(r.held, e))
            r.late.push_back(e);
}

std::vector<InputEvent> letGoOfPlayerTwo(bool theirs)
{
    std::array<std::uint8_t, 8> &held = theirs ? rb().theirHeld : rb().held;
    std::vector<InputEvent> out;
    for (std::size_t i = 4; i < kSteering.size(); ++i)
        out.insert(out.end(), std::exchange(held[i], 0), {InputKind::KeyUp, 0, kSteering[i], 0});
    out.push_back({InputKind::PadAxis, 1, 0, 0});
    out.push_back({InputKind::PadAxis, 1, 1, 0});
    out.push_back({InputKind::PadHat, 1, 0, 0});
    return out;
}

void takeBase(std::uint32_t tick, const PlayRecord &play, const ViewState &view)
{
    RollbackState &r = rb();
    if (tick < r.first - 1 || tick > r.tick)
        return;
    r.base = play;
    r.baseView = view;
    r.confirmed = tick;
    r.guessedWrong = true;
}
