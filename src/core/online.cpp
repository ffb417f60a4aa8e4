// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/online.h"

#include <algorithm>
#include <cstdio>

#include "core/keys.h"
#include "core/state.h"

#ifndef QUORBLY_VERSION
#define QUORBLY_VERSION "unknown"
#endif

namespace
{

using namespace keys;

// W S A D in the order of NetState::held.
constexpr std::array<int, 4> kPlayerTwoKeys{kW, kS, kA, kD};
constexpr float kDigestEvery = 1.0f;
constexpr float kNoticeSeconds = 5.0f;
// More than a frame's worth of anyone's hands; past it the friend floods.
constexpr std::size_t kMaxFriendInput = 256;

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

} // namespace

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
    return {
        .kind = NetKind::Hello, .protocol = kProtocolVersion, .text = "Quorbly " QUORBLY_VERSION};
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
    letGoOfPlayerTwo();
    if (toggleBot == 1)
        game.net.friendInput.push_back({InputKind::KeyDown, 0, kF4, 0});
}

void friendLeft()
{
    NetState &net = game.net;
    net.linked = false;
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
    if (net.linked && m.kind == NetKind::Input &&
        std::all_of(m.events.begin(), m.events.end(), friendMay) &&
        net.friendInput.size() + m.events.size() <= kMaxFriendInput) {
        net.friendInput.insert(net.friendInput.end(), m.events.begin(), m.events.end());
        return;
    }
    if (net.linked && m.kind == NetKind::Digest) {
        for (const DigestMark &mark : net.digests)
            if (mark.frame == m.frame && mark.digest != m.digest && !net.resend) {
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
    for (const InputEvent &e : own) {
        if (isLocalInput(e)) {
            run.push_back(e);
            continue;
        }
        // While a friend plays, player 2 and the bot are theirs.
        if (net.linked && (steersPlayerTwo(e) || (isKey(e) && e.code == kF4)))
            continue;
        if (holds(e)) {
            run.push_back(e);
            stream.push_back(e);
        }
    }
    for (const InputEvent &e : net.friendInput)
        if (holds(e)) {
            run.push_back(e);
            stream.push_back(e);
        }
    net.friendInput.clear();
    ++net.frame;
}

std::optional<NetMessage> hostDigest(float seconds, std::uint64_t digest)
{
    NetState &net = game.net;
    net.sinceDigest += seconds;
    if (net.sinceDigest < kDigestEvery)
        return std::nullopt;
    net.sinceDigest = 0;
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
    if (net.noticeTime > 0) {
        net.noticeTime -= seconds;
        return net.notice.data();
    }
    if (net.role == NetRole::Host && !net.linked) {
        std::snprintf(net.notice.data(), net.notice.size(), "Waiting for a friend on UDP port %u",
                      static_cast<unsigned>(net.port));
        return net.notice.data();
    }
    return "";
}
