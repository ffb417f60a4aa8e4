// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/online.h"

#include <zlib.h>

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
#include "replay/replay.h"
#include "terrain/texture.h"

namespace
{

using namespace keys;

// W S A D in the order of NetState::held.
constexpr std::array<int, 4> kPlayerTwoKeys{kW, kS, kA, kD};
constexpr float kDigestEvery = 1.0f;
constexpr float kNoticeSeconds = 5.0f;
// What one frame carries; a message of the friend's that would queue more
// is refused whole.
constexpr std::size_t kMaxFriendInput = kMaxEvents;
// A stream packet repeats at most this many frames the friend has not
// acknowledged. A friend this far behind its acknowledgement of the last
// whole game gets the whole game again; while that is on its way, the host
// keeps at most kMaxHeldTicks frames for it (ten minutes).
constexpr std::size_t kMaxStreamTicks = 64;
constexpr std::uint32_t kMaxUnackedTicks = 600;
constexpr std::size_t kMaxHeldTicks = 36000;

bool isKey(const InputEvent &e)
{
    return e.kind == InputKind::KeyDown || e.kind == InputKind::KeyUp;
}

int heldIndex(const InputEvent &e)
{
    if (!isKey(e))
        return -1;
    const auto *at = std::find(kPlayerTwoKeys.begin(), kPlayerTwoKeys.end(), e.code);
    return at == kPlayerTwoKeys.end() ? -1 : static_cast<int>(at - kPlayerTwoKeys.begin());
}

// Player 2's steering, the host's or the friend's while the other has it.
bool steersPlayerTwo(const InputEvent &e)
{
    return heldIndex(e) >= 0 || (!isKey(e) && e.pad == 1);
}

// Counts the presses of W S A D the game applied; a release without its
// press is left out, so a hand that had no hold lets nothing go.
bool holds(const InputEvent &e)
{
    const int i = heldIndex(e);
    if (i < 0)
        return true;
    std::uint8_t &count = game.net.held[static_cast<std::size_t>(i)];
    if (e.kind == InputKind::KeyDown) {
        count = static_cast<std::uint8_t>(std::min(count + 1, 255));
        return true;
    }
    if (count == 0)
        return false;
    --count;
    return true;
}

// Whatever holds player 2 lets go, in the next frame (where the releases
// count the holds down).
void letGoOfPlayerTwo()
{
    NetState &net = game.net;
    for (std::size_t i = 0; i < kPlayerTwoKeys.size(); ++i)
        net.friendInput.insert(net.friendInput.end(), net.held[i],
                               {InputKind::KeyUp, 0, kPlayerTwoKeys[i], 0});
    net.friendInput.push_back({InputKind::PadAxis, 1, 0, 0});
    net.friendInput.push_back({InputKind::PadAxis, 1, 1, 0});
    net.friendInput.push_back({InputKind::PadHat, 1, 0, 0});
}

bool friendMay(const InputEvent &e)
{
    if (isKey(e))
        return e.code == kSpace || heldIndex(e) >= 0;
    return e.pad == 1 && (e.kind != InputKind::PadButton || e.code == kPadButtonStart);
}

NetMessage matchStartMessage()
{
    const MatchStart start = currentMatchStart();
    return {.kind = NetKind::MatchStart, .seed = start.noiseSeed, .text = start.terrainLine};
}

// The whole game as the stream carries it: the texels left out (the joiner
// paints them again from their seed, a quarter of a megabyte saved), the
// rest deflated, its size first.
std::vector<std::uint8_t> packState()
{
    const std::vector<unsigned char> texels(texture.begin(), texture.end());
    texture.fill(0);
    const std::vector<std::uint8_t> raw = saveState();
    std::copy(texels.begin(), texels.end(), texture.begin());
    uLongf size = compressBound(raw.size());
    std::vector<std::uint8_t> packed(4 + size);
    for (int i = 0; i < 4; ++i)
        packed[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(raw.size() >> (8 * i));
    compress2(packed.data() + 4, &size, raw.data(), raw.size(), Z_DEFAULT_COMPRESSION);
    packed.resize(4 + size);
    return packed;
}

bool unpackState(std::span<const std::uint8_t> packed, bool withView)
{
    if (packed.size() < 4)
        return false;
    uLongf size = 0;
    for (int i = 0; i < 4; ++i)
        size |= static_cast<uLongf>(packed[static_cast<std::size_t>(i)]) << (8 * i);
    if (size > kMaxState)
        return false;
    std::vector<std::uint8_t> raw(size);
    const uLongf expected = size;
    if (uncompress(raw.data(), &size, packed.data() + 4, packed.size() - 4) != Z_OK ||
        size != expected || !loadState(raw, withView, Terrainless::Refused))
        return false;
    generateTexture(*terrain, seed);
    return true;
}

// The whole game, its random generator within.
NetMessage fullState()
{
    game.net.sentWhole = game.net.frame;
    return {.kind = NetKind::FullState, .frame = game.net.frame, .state = packState()};
}

void sayAtFrame(const char *line, std::uint32_t frame)
{
    std::printf(line, static_cast<unsigned>(frame));
    std::fflush(stdout);
}

// The joiner takes over the host's game; false if it cannot be the same.
// A friend who just joined starts from the host's camera and light, but
// whether they move stays the friend's choice; later it keeps its own view.
bool takeOver(const NetMessage &m)
{
    NetState &net = game.net;
    const int cameraMovement = toggleCameraMovement, lightMovement = toggleLightMovement;
    if (!unpackState(m.state, !net.linked))
        return false;
    toggleCameraMovement = cameraMovement;
    toggleLightMovement = lightMovement;
    if (net.linked)
        sayAtFrame("Online: out of step with the host at frame %u; took over its game\n", m.frame);
    net.frame = m.frame;
    net.linked = true;
    terrainChanged();
    return true;
}

// Plays one frame of the stream: the inputs as the host applied them, a
// match they start from the host's start, then the frame's update.
bool playStreamFrame(const NetMessage &m)
{
    NetState &net = game.net;
    for (const InputEvent &e : m.events) {
        const bool starts = startsMatch(e);
        if (starts && net.starts.empty())
            return false;
        if (starts)
            applyMatchStart(net.starts.front());
        takeInput(e, std::nullopt);
        if (starts) {
            if (currentMatchStart() != net.starts.front())
                return false;
            net.starts.erase(net.starts.begin());
        }
    }
    runFrame(bitsToSeconds(m.secondsBits));
    ++net.frame;
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

NetMessage hello()
{
    return {.kind = NetKind::Hello,
            .protocol = kProtocolVersion,
            .text = std::string("Quorbly ") + gameVersion()};
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

void friendJoined()
{
    game.net.linked = true;
    game.net.sinceDigest = 0;
    game.net.digests = {};
    game.net.resend = false;
    game.net.unacked.clear();
    game.net.friendInputs = 0;
    game.net.friendAt = 0;
    letGoOfPlayerTwo();
    if (toggleBot == 1)
        game.net.friendInput.push_back({InputKind::KeyDown, 0, kF4, 0});
}

void friendLeft()
{
    NetState &net = game.net;
    net.linked = false;
    net.unacked.clear();
    letGoOfPlayerTwo();
    if (toggleBot == 0)
        net.friendInput.push_back({InputKind::KeyDown, 0, kF4, 0});
    std::snprintf(net.notice.data(), net.notice.size(), "Player 2 left");
    net.noticeTime = kNoticeSeconds;
    std::printf("Online: player 2 left; the bot takes over\n");
    std::fflush(stdout);
}

void hostReceive(const NetMessage &m)
{
    NetState &net = game.net;
    if (!net.linked) {
        ++net.dropped;
        return;
    }
    if (m.kind == NetKind::Input) {
        // One taken already, or past one still missing: it comes again.
        if (m.frame != net.friendInputs + 1)
            return;
        ++net.friendInputs; // taken, or refused for good
        if (std::all_of(m.events.begin(), m.events.end(), friendMay) &&
            net.friendInput.size() + m.events.size() <= kMaxFriendInput) {
            net.friendInput.insert(net.friendInput.end(), m.events.begin(), m.events.end());
            return;
        }
    }
    if (m.kind == NetKind::Ack) {
        std::erase_if(net.unacked, [&m](const UnackedTick &t) { return t.frame <= m.frame; });
        net.friendAt = std::max(net.friendAt, m.frame);
        return;
    }
    if (m.kind == NetKind::Digest) {
        for (const DigestMark &mark : net.digests)
            // An answer from before the friend took the whole game over
            // is out of date, not out of step.
            if (mark.frame == m.frame && mark.digest != m.digest && !net.resend &&
                m.frame > net.sentWhole) {
                net.resend = true;
                std::printf("Online: player 2 went out of step at frame %u; sending the whole "
                            "game\n",
                            m.frame);
                std::fflush(stdout);
            }
        return;
    }
    ++net.dropped;
}

void hostFrameInputs(std::span<const InputEvent> own, std::vector<InputEvent> &run,
                     std::vector<InputEvent> &stream)
{
    NetState &net = game.net;
    // A frame carries no more than the wire does; the rest waits in order
    // for the next, never cut.
    const auto share = [&](const InputEvent &e) {
        if (stream.size() == kMaxEvents)
            net.late.push_back(e);
        else if (holds(e)) {
            run.push_back(e);
            stream.push_back(e);
        }
    };
    for (const InputEvent &e : std::exchange(net.late, {}))
        share(e);
    for (const InputEvent &e : own) {
        if (isLocalInput(e))
            run.push_back(e);
        // While a friend plays, player 2 and the bot are theirs.
        else if (!net.linked || !(steersPlayerTwo(e) || (isKey(e) && e.code == kF4)))
            share(e);
    }
    for (const InputEvent &e : net.friendInput)
        share(e);
    net.friendInput.clear();
    ++net.frame;
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

bool digestDue(float seconds)
{
    NetState &net = game.net;
    net.sinceDigest += seconds;
    if (net.sinceDigest < kDigestEvery)
        return false;
    net.sinceDigest = 0;
    return true;
}

NetMessage digestMark(std::uint64_t digest)
{
    NetState &net = game.net;
    std::rotate(net.digests.rbegin(), net.digests.rbegin() + 1, net.digests.rend());
    net.digests[0] = {net.frame, digest};
    return NetMessage{.kind = NetKind::Digest, .frame = net.frame, .digest = digest};
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
    else
        net.notice[0] = '\0';
    return net.notice.data();
}

std::vector<NetMessage> welcome()
{
    return {matchStartMessage(), fullState()};
}

void hostFrame(float seconds, std::span<const InputEvent> own, std::uint32_t clockMs,
               std::vector<NetMessage> &out, Recorder *recorder)
{
    NetState &net = game.net;
    std::vector<InputEvent> run, stream;
    hostFrameInputs(own, run, stream);
    std::vector<std::uint8_t> bytes;
    encodeMessage({.kind = NetKind::Tick, .frame = net.frame}, bytes);
    for (const InputEvent &e : run) {
        const bool starts = startsMatch(e);
        takeInput(e, clockMs);
        if (recorder)
            recordInput(*recorder, &e);
        if (starts && net.linked)
            encodeMessage(matchStartMessage(), bytes);
    }
    runFrame(seconds);
    if (recorder)
        recordFrame(*recorder, seconds);
    if (!net.linked)
        return;
    encodeMessage({.kind = NetKind::Frame, .secondsBits = secondsToBits(seconds), .events = stream},
                  bytes);
    if (digestDue(seconds)) // the whole game is hashed only when the digest goes out
        encodeMessage(digestMark(onlineDigest()), bytes);
    net.unacked.push_back({net.frame, std::move(bytes)});
    if (net.friendAt >= net.sentWhole && net.frame - net.friendAt > kMaxUnackedTicks) {
        net.unacked.clear(); // the friend cannot follow the stream
        net.resend = true;
    } else if (net.unacked.size() > kMaxHeldTicks) {
        net.unacked.erase(net.unacked.begin());
    }
    if (net.resend) {
        out.push_back(fullState());
        net.resend = false;
    }
}

std::vector<std::uint8_t> streamPacket()
{
    std::vector<std::uint8_t> packet;
    const auto &unacked = game.net.unacked;
    if (unacked.empty())
        return packet;
    encodeMessage({.kind = NetKind::Ack, .frame = game.net.friendInputs}, packet);
    for (std::size_t i = 0; i < unacked.size() && i < kMaxStreamTicks; ++i)
        packet.insert(packet.end(), unacked[i].bytes.begin(), unacked[i].bytes.end());
    return packet;
}

int joinerPlay(std::span<const NetMessage> in, std::vector<NetMessage> &out)
{
    NetState &net = game.net;
    const auto cannotFollow = [] {
        sayAtFrame("Online: the host's match at frame %u is not one this game can play: are its "
                   "terrains the same?\n",
                   game.net.frame);
        return 1;
    };
    // A tick's messages are played once, in order: those of a frame played
    // already, or past one still missing, are passed over (a later packet
    // repeats them).
    bool skipping = false;
    for (const NetMessage &m : in) {
        switch (m.kind) {
        case NetKind::Tick:
            skipping = !net.linked || m.frame != net.frame + 1;
            break;
        case NetKind::MatchStart:
            if (!skipping)
                net.starts.push_back({m.seed, m.text});
            break;
        case NetKind::FullState:
            if (!takeOver(m)) {
                sayAtFrame("Online: cannot take over the host's game (frame %u)\n", m.frame);
                return 1;
            }
            // The welcome's match start: the match now played here too.
            if (!net.starts.empty() && currentMatchStart() != net.starts.front())
                return cannotFollow();
            net.starts.clear();
            break;
        case NetKind::Frame:
            if (!net.linked)
                ++net.dropped;
            else if (!skipping && !playStreamFrame(m))
                return cannotFollow();
            break;
        case NetKind::Digest:
            if (!skipping && m.frame == net.frame)
                out.push_back(
                    {.kind = NetKind::Digest, .frame = net.frame, .digest = onlineDigest()});
            break;
        case NetKind::Bye:
            sayAtFrame("Online: the host left at frame %u\n", net.frame);
            return 0;
        case NetKind::Refuse:
            std::printf("%s\n", refusalLine(m.reason, NetRole::Join).c_str());
            return 1;
        case NetKind::Ack:
            net.friendInputs = std::max(net.friendInputs, m.frame);
            break;
        default:
            ++net.dropped;
            break;
        }
    }
    return -1;
}
