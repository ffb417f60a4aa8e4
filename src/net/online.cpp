// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/online.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "core/controls.h"
#include "core/frame.h"
#include "core/keys.h"
#include "core/match.h"
#include "core/options.h"
#include "core/state.h"
#include "render/view.h"
#include "replay/packed_state.h"
#include "replay/replay.h"
#include "terrain/texture.h"

namespace
{

using namespace keys;

// W S A D: player 2's keys.
constexpr std::array<int, 4> kPlayerTwoKeys{kW, kS, kA, kD};
constexpr std::uint32_t kDigestEvery = 60; // ticks: once a second
constexpr float kNoticeSeconds = 5.0f;
// An input packet repeats at most this many ticks the other side has not
// acknowledged.
constexpr std::size_t kMaxRepeatedTicks = 64;
// The host keeps the inputs of this many sure ticks for its watchers (ten
// seconds); one further behind gets the whole game again.
constexpr std::size_t kWatchedTicks = 600;

bool isKey(const InputEvent &e)
{
    return e.kind == InputKind::KeyDown || e.kind == InputKind::KeyUp;
}

// Player 2's steering, the host's or the friend's while the other has it.
bool steersPlayerTwo(const InputEvent &e)
{
    if (isKey(e))
        return std::find(kPlayerTwoKeys.begin(), kPlayerTwoKeys.end(), e.code) !=
               kPlayerTwoKeys.end();
    return e.pad == 1;
}

bool friendMay(const InputEvent &e)
{
    if (isKey(e))
        return e.code == kSpace || steersPlayerTwo(e);
    return e.pad == 1 && (e.kind != InputKind::PadButton || e.code == kPadButtonStart);
}

NetMessage matchStartMessage()
{
    const MatchStart start = currentMatchStart();
    return {.kind = NetKind::MatchStart, .seed = start.noiseSeed, .text = start.terrainLine};
}

// Runs `f` on the base, the play both sides are sure of, and its view.
template <class F> auto onBase(F f)
{
    const RollbackState &r = game.net.rollback;
    const PlayRecord live = takePlay();
    const ViewState liveView = game.view;
    restorePlay(r.base);
    game.view = r.baseView;
    const auto result = f();
    restorePlay(live);
    game.view = liveView;
    return result;
}

// The whole game both sides are sure of, its random generator within, with
// `first` applied as the next tick would begin with it.
NetMessage wholeGame(std::span<const InputEvent> first = {})
{
    const RollbackState &r = game.net.rollback;
    return {.kind = NetKind::FullState,
            .frame = r.confirmed,
            .state = onBase([&r, first] {
                for (const InputEvent &e : first)
                    takeInput(e, tickClockMs(r.confirmed + 1));
                return packedState();
            })};
}

// The whole game for the friend: its digests of the ticks it has this side's
// inputs for are out of date. Those of later ticks come after the game, as
// ENet holds the inputs back behind it. A joining friend's game has player 2
// handed over to it: its presses from its first tick on come after the bot
// let go of its steering, on both sides.
NetMessage fullState()
{
    game.net.sentWhole = game.net.rollback.tick + game.net.rollback.ownDelay;
    return wholeGame(game.net.rollback.handOver);
}

void sayAtFrame(const char *line, std::uint32_t frame)
{
    std::printf(line, static_cast<unsigned>(frame));
    std::fflush(stdout);
}

// A digest of each side for the same tick: the host sends the whole game
// when they differ (once for a tick after the last whole game it sent).
void compareDigests()
{
    NetState &net = game.net;
    for (const DigestMark &mine : net.digests)
        for (const DigestMark &theirs : net.theirDigests)
            if (mine.frame != 0 && mine.frame == theirs.frame && mine.digest != theirs.digest &&
                net.role == NetRole::Watch && mine.frame > net.sentWhole) {
                net.sentWhole = UINT32_MAX; // once, until the whole game comes
                net.resend = true;
                sayAtFrame("Online: the watched game went out of step at frame %u; asking for the "
                           "whole game\n",
                           mine.frame);
            } else if (mine.frame != 0 && mine.frame == theirs.frame &&
                       mine.digest != theirs.digest && net.role == NetRole::Host && !net.resend &&
                       mine.frame > net.sentWhole) {
                net.resend = true;
                ++net.resyncs;
                sayAtFrame("Online: player 2 went out of step at frame %u; sending the whole "
                           "game\n",
                           mine.frame);
            }
}

void keepDigest(std::span<DigestMark> marks, DigestMark mark)
{
    std::rotate(marks.rbegin(), marks.rbegin() + 1, marks.rend());
    marks[0] = mark;
    compareDigests();
}

// A tick both sides are sure of: the watchers get its inputs, and once a
// second its digest goes out.
void sureTick(std::uint32_t tick, std::span<const InputEvent> applied)
{
    NetState &net = game.net;
    if (net.watched.empty())
        net.watchedFrom = tick;
    net.watched.emplace_back(applied.begin(), applied.end());
    if (net.watched.size() >= 2 * kWatchedTicks) { // now and then, not every tick
        net.watched.erase(net.watched.begin(), net.watched.end() - kWatchedTicks);
        net.watchedFrom = tick + 1 - kWatchedTicks;
    }
    if (tick % kDigestEvery != 0)
        return;
    const DigestMark mark{tick, onlineDigest()};
    net.digestsOut.push_back(mark);
    keepDigest(net.digests, mark);
}

// The joiner takes over the host's game at tick m.frame, its view with it
// (the view of the ticks both are sure of: the two screens then agree);
// false if it cannot be the same.
bool takeOver(const NetMessage &m)
{
    NetState &net = game.net;
    if (!loadPackedState(m.state))
        return false;
    terrainChanged();
    if (!net.linked) {
        net.linked = true;
        beginTicks(m.frame, net.inputDelay, net.friendDelay);
        return true;
    }
    sayAtFrame("Online: out of step with the host at frame %u; took over its game\n", m.frame);
    ++net.resyncs;
    takeBase(m.frame, takePlay(), game.view);
    return true;
}

} // namespace

std::uint64_t onlineDigest()
{
    return stateDigest(false);
}

bool isLocalInput(const InputEvent &e)
{
    if (!isKey(e))
        return false;
    switch (e.code) {
    case kEscape:
    case kOne:
    case kTwo:
    case kI:
    case kJ:
    case kK:
    case kL:
    case kU:
    case kM:
    case kP:
    case kKeypadMinus:
    case kKeypadPlus:
        return true;
    default:
        return e.code >= kF5 && e.code <= kF8;
    }
}

NetMessage hello(std::uint32_t inputDelay)
{
    return {.kind = NetKind::Hello,
            .protocol = kProtocolVersion,
            .text = std::string("Quorbly ") + gameVersion(),
            .inputDelay = inputDelay};
}

std::optional<RefuseReason> checkHello(const NetMessage &m)
{
    const NetMessage mine = hello();
    if (m.kind != NetKind::Hello || m.protocol != mine.protocol || m.text != mine.text)
        return RefuseReason::Version;
    return std::nullopt;
}

std::string refusalLine(RefuseReason reason, NetRole side)
{
    const bool version = reason == RefuseReason::Version;
    if (side == NetRole::Host)
        return version ? "Online: refused a friend who plays another version of Quorbly"
                       : "Online: refused a third player: two are playing";
    return version ? "Online: the host refused to play: it runs another version of Quorbly"
                   : "Online: the host refused to play: two are playing already";
}

void friendJoined(std::uint32_t friendDelay)
{
    NetState &net = game.net;
    net.digests = {};
    net.theirDigests = {};
    net.digestsOut.clear();
    net.resend = false;
    net.endAt = 0;
    net.friendDelay = std::min(friendDelay, kMaxInputDelay);
    linkTicks(net.inputDelay, net.friendDelay);
    net.rollback.handOver = letGoOfPlayerTwo(false);
    if (toggleBot == 1)
        net.rollback.handOver.push_back({InputKind::KeyDown, 0, kF4, 0});
}

void friendLeft()
{
    NetState &net = game.net;
    endRemote();
    net.rollback.handOver = letGoOfPlayerTwo(true);
    if (toggleBot == 0)
        net.rollback.handOver.push_back({InputKind::KeyDown, 0, kF4, 0});
    std::snprintf(net.notice.data(), net.notice.size(), "Player 2 left");
    net.noticeTime = kNoticeSeconds;
    std::printf("Online: player 2 left; the bot takes over\n");
    std::fflush(stdout);
}

std::vector<NetMessage> welcome()
{
    return {hello(game.net.inputDelay),
            matchStartMessage(),
            fullState(),
            {.kind = NetKind::Watching, .frame = game.net.watchers}};
}

std::vector<NetMessage> watchWelcome()
{
    return {hello(), matchStartMessage(), wholeGame()};
}

std::vector<std::uint8_t> watchPacket(std::uint32_t &acked, std::vector<NetMessage> &reliable)
{
    NetState &net = game.net;
    std::vector<std::uint8_t> packet;
    if (acked + 1 < net.watchedFrom || acked > net.rollback.confirmed) { // too far behind
        reliable.push_back(wholeGame());
        acked = net.rollback.confirmed;
        return packet;
    }
    NetMessage inputs{.kind = NetKind::Inputs, .frame = acked + 1};
    for (std::size_t i = acked + 1 - net.watchedFrom;
         i < net.watched.size() && inputs.ticks.size() < kMaxRepeatedTicks; ++i)
        inputs.ticks.push_back(net.watched[i]);
    encodeMessage(inputs, packet);
    for (const DigestMark &d : net.digests)
        if (d.frame > acked)
            encodeMessage({.kind = NetKind::Digest, .frame = d.frame, .digest = d.digest}, packet);
    return packet;
}

int watcherReceive(const NetMessage &m)
{
    NetState &net = game.net;
    RollbackState &r = net.rollback;
    switch (m.kind) {
    case NetKind::Inputs: // the sure ticks in order: those past the ones in hand wait
        for (std::size_t i = 0; i < m.ticks.size(); ++i)
            if (net.linked && m.frame + i == r.tick + net.ahead.size() + 1 &&
                net.ahead.size() < kWatchedTicks)
                net.ahead.push_back(m.ticks[i]);
        return -1;
    case NetKind::Digest:
        if (net.linked)
            keepDigest(net.theirDigests, {m.frame, m.digest});
        return -1;
    case NetKind::FullState: // the start, or again after falling behind
        if (!loadPackedState(m.state, !net.linked)) {
            sayAtFrame("Online: cannot take over the host's game (frame %u)\n", m.frame);
            return 1;
        }
        terrainChanged();
        if (net.linked)
            ++net.resyncs; // a recording starts again from here
        net.linked = true;
        net.sentWhole = m.frame; // digests from before it are out of date
        net.digests = {};
        net.theirDigests = {};
        beginTicks(m.frame, 0, 0);
        net.ahead.clear();
        return -1;
    case NetKind::Bye:
        net.endAt = std::max(m.frame, 1u);
        return -1;
    case NetKind::Refuse:
        std::printf("%s\n", refusalLine(m.reason, NetRole::Join).c_str());
        return 1;
    case NetKind::Hello:
    case NetKind::MatchStart:
        return -1;
    default:
        ++net.dropped;
        return -1;
    }
}

int watcherFrame(std::span<const InputEvent> own, Recorder *recorder)
{
    NetState &net = game.net;
    RollbackState &r = net.rollback;
    for (const InputEvent &e : own) {
        if (isViewInput(e))
            r.late.push_back(e); // with the next tick, into the recording too
        else if (isLocalInput(e))
            takeInput(e, std::nullopt);
    }
    // The ticks that came, at most kMaxTicks a frame, or a second's worth
    // while far behind (a
    // slow screen catches up).
    const int most = net.ahead.size() > 2 * kMaxTicks ? 60 : kMaxTicks;
    int played = 0;
    for (; played < most && !net.ahead.empty(); ++played) {
        const std::uint32_t tick = r.confirmed = ++r.tick; // all sure
        std::vector<InputEvent> inputs = std::exchange(r.late, {});
        inputs.insert(inputs.end(), net.ahead.front().begin(), net.ahead.front().end());
        net.ahead.erase(net.ahead.begin());
        for (const InputEvent &e : inputs) {
            takeInput(e, tickClockMs(tick));
            if (recorder)
                recordInput(*recorder, &e);
        }
        runFrame(kTickSeconds);
        if (recorder)
            recordFrame(*recorder, kTickSeconds);
        if (tick % kDigestEvery == 0)
            keepDigest(net.digests, {tick, onlineDigest()});
    }
    netNotice(static_cast<float>(played) * kTickSeconds);
    return played;
}

int playerReceive(const NetMessage &m)
{
    NetState &net = game.net;
    const bool host = net.role == NetRole::Host;
    switch (m.kind) {
    case NetKind::Inputs:
        if (!net.linked)
            break;
        for (std::size_t i = 0; i < m.ticks.size(); ++i) {
            const std::vector<InputEvent> &events = m.ticks[i];
            takeRemote(m.frame + static_cast<std::uint32_t>(i), events,
                       !host || std::all_of(events.begin(), events.end(), friendMay));
        }
        if (m.frame > 0 || !m.ticks.empty())
            remoteSent(m.frame + static_cast<std::uint32_t>(m.ticks.size()) - 1);
        return -1;
    case NetKind::Ack:
        remoteAcknowledged(m.frame);
        return -1;
    case NetKind::Digest:
        if (net.linked)
            keepDigest(net.theirDigests, {m.frame, m.digest});
        return -1;
    case NetKind::Hello: // the host's, with its input delay, before its game
        if (host || checkHello(m))
            break;
        net.friendDelay = m.inputDelay;
        return -1;
    case NetKind::MatchStart:
        if (host)
            break;
        net.welcomeStart = {{m.seed, m.text}};
        return -1;
    case NetKind::FullState:
        if (host)
            break;
        if (!takeOver(m)) {
            sayAtFrame("Online: cannot take over the host's game (frame %u)\n", m.frame);
            return 1;
        }
        if (!net.welcomeStart.empty() && currentMatchStart() != net.welcomeStart.front() &&
            m.frame == net.rollback.tick) {
            sayAtFrame("Online: the host's match at frame %u is not one this game can play: are "
                       "its terrains the same?\n",
                       m.frame);
            return 1;
        }
        net.welcomeStart.clear();
        return -1;
    case NetKind::Bye:
        if (!host && net.linked)
            net.endAt = std::max(m.frame, net.rollback.confirmed);
        return -1;
    case NetKind::Watching:
        if (host)
            break;
        net.watchers = m.frame;
        return -1;
    case NetKind::Refuse:
        if (host)
            break;
        std::printf("%s\n", refusalLine(m.reason, NetRole::Join).c_str());
        return 1;
    default:
        break;
    }
    ++net.dropped;
    return -1;
}

std::optional<InputEvent> joinerSends(const InputEvent &e)
{
    if (isKey(e)) {
        switch (e.code) {
        case kUp:
            return InputEvent{e.kind, 0, kW, 0};
        case kDown:
            return InputEvent{e.kind, 0, kS, 0};
        case kLeft:
            return InputEvent{e.kind, 0, kA, 0};
        case kRight:
            return InputEvent{e.kind, 0, kD, 0};
        default:
            return friendMay(e) ? std::optional(e) : std::nullopt;
        }
    }
    InputEvent mine = e;
    mine.pad = 1;
    return e.pad == 0 && friendMay(mine) ? std::optional(mine) : std::nullopt;
}

const char *netNotice(float seconds)
{
    NetState &net = game.net;
    if (net.noticeTime > 0)
        net.noticeTime -= seconds;
    else if (net.role == NetRole::Host && !net.linked)
        std::snprintf(net.notice.data(), net.notice.size(), "Waiting for a friend on UDP port %u",
                      static_cast<unsigned>(net.port));
    else if (net.role == NetRole::Watch)
        std::snprintf(net.notice.data(), net.notice.size(), "Watching");
    else if (net.watchers > 0)
        std::snprintf(net.notice.data(), net.notice.size(), "%u watching",
                      static_cast<unsigned>(net.watchers));
    else
        net.notice[0] = '\0';
    return net.notice.data();
}

void settleSure(Recorder *recorder)
{
    settleTicks(recorder, sureTick);
}

int playerFrame(std::uint32_t elapsedMs, std::span<const InputEvent> own, std::uint32_t oneWayMs,
                std::vector<NetMessage> &reliable, Recorder *recorder)
{
    NetState &net = game.net;
    RollbackState &r = net.rollback;
    const bool host = net.role == NetRole::Host;
    std::vector<InputEvent> shared;
    for (const InputEvent &e : own) {
        if (isViewInput(e)) {
            shared.push_back(e); // this screen's view, in the next tick, never sent
        } else if (isLocalInput(e)) {
            takeInput(e, std::nullopt); // this screen's alone, at once
        } else if (!host) {
            if (const auto sent = joinerSends(e))
                shared.push_back(*sent);
        } else if (!net.linked || !(steersPlayerTwo(e) || (isKey(e) && e.code == kF4))) {
            shared.push_back(e); // while a friend plays, player 2 and the bot are theirs
        }
    }
    if (!host && !net.linked)
        return 0;
    settleSure(recorder); // what came puts the guessed ticks right first
    if (net.resend) {
        reliable.push_back(fullState());
        net.resend = false;
    }
    int ticks = ticksAllowed(ticksDue(net.tickCarry, elapsedMs), oneWayMs);
    if (net.endAt != 0) // the other side's last tick is this side's too
        ticks = std::min(ticks, net.endAt > r.tick ? static_cast<int>(net.endAt - r.tick) : 0);
    if (ticks == 0)
        readLater(shared);
    for (int i = 0; i < ticks; ++i)
        runTick(i == 0 ? std::span<const InputEvent>(shared) : std::span<const InputEvent>{});
    if (!net.linked) // alone, every tick is sure at once: a friend may join from it
        settleSure(recorder);
    netNotice(static_cast<float>(ticks) * kTickSeconds);
    return ticks;
}

bool recordFromBase(Recorder &recorder, const std::string &path)
{
    return onBase([&] {
        return startRecording(recorder, path,
                              {.gameVersion = gameVersion(), .state = packedState()});
    });
}

bool sessionOver()
{
    const NetState &net = game.net;
    return net.endAt != 0 && net.rollback.confirmed >= net.endAt;
}

std::vector<std::uint8_t> inputPacket()
{
    NetState &net = game.net;
    RollbackState &r = net.rollback;
    r.sentLead = static_cast<std::int32_t>(std::int64_t{r.tick} - r.remoteRead);
    std::vector<std::uint8_t> packet;
    encodeMessage({.kind = NetKind::Ack, .frame = r.remoteRead}, packet);
    NetMessage inputs{.kind = NetKind::Inputs, .frame = r.sentFrom};
    for (std::size_t i = 0; i < r.sent.size() && i < kMaxRepeatedTicks; ++i)
        inputs.ticks.push_back(r.sent[i]);
    encodeMessage(inputs, packet);
    for (const DigestMark &d : net.digestsOut)
        encodeMessage({.kind = NetKind::Digest, .frame = d.frame, .digest = d.digest}, packet);
    net.digestsOut.clear();
    return packet;
}
