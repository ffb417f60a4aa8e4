// SPDX-License-Identifier: GPL-3.0-or-later
// The online messages on the wire: each kind comes back as it went, and a
// packet with any byte out of place is dropped whole.

#include <gtest/gtest.h>

#include "net/netproto.h"

namespace
{

using Bytes = std::vector<std::uint8_t>;

std::vector<NetMessage> everyKind()
{
    const std::vector<InputEvent> events{{InputKind::KeyDown, 0, 511, 0},
                                         {InputKind::KeyUp, 0, 32, 0},
                                         {InputKind::PadAxis, 1, 1, -32768},
                                         {InputKind::PadHat, 1, 0, 15},
                                         {InputKind::PadButton, 0, 1, 0}};
    std::vector<NetMessage> m(12);
    m[0] = {.kind = NetKind::Hello, .protocol = 65535, .text = "Quorbly 0.1.0", .inputDelay = 2};
    m[1] = {.kind = NetKind::Refuse, .reason = RefuseReason::Version};
    m[2] = {.kind = NetKind::MatchStart, .seed = 4294967295u, .text = "Ice,0.004,20"};
    m[3] = {.kind = NetKind::Frame, .secondsBits = secondsToBits(0.016f), .events = events};
    m[4] = {.kind = NetKind::Frame, .secondsBits = secondsToBits(1.0f / 3)};
    m[5] = {.kind = NetKind::Input, .events = events, .frame = 99};
    m[6] = {.kind = NetKind::Digest, .frame = 4000000000u, .digest = 0xFEDCBA9876543210u};
    m[7] = {.kind = NetKind::FullState, .frame = 7, .state = {0, 255, 9}};
    m[8] = {.kind = NetKind::Bye, .frame = 5};
    m[9] = {.kind = NetKind::Tick, .frame = 4000000001u};
    m[10] = {.kind = NetKind::Ack, .frame = 3};
    m[11] = {.kind = NetKind::Inputs, .frame = 9, .ticks = {events, {}, events}};
    return m;
}

TEST(NetProtocol, EveryKindComesBackInOnePacketAndQuietFramesAreSmall)
{
    const std::vector<NetMessage> sent = everyKind();
    Bytes packet;
    for (const NetMessage &m : sent)
        encodeMessage(m, packet);
    EXPECT_EQ(decodePacket(packet), sent);

    // A frame of whole milliseconds without inputs is three bytes, and
    // still exactly the loop's float.
    Bytes quiet;
    encodeMessage({.kind = NetKind::Frame, .secondsBits = secondsToBits(0.017f)}, quiet);
    EXPECT_EQ(quiet, (Bytes{4, 17, 0}));
}

TEST(NetProtocol, BrokenPacketsAreDroppedWhole)
{
    Bytes packet;
    for (const NetMessage &m : everyKind())
        encodeMessage(m, packet);
    // Cut anywhere inside a message (a cut between two is a shorter packet).
    std::size_t whole = 0;
    for (std::size_t n = 0; n < packet.size(); ++n)
        whole += decodePacket(std::span(packet).first(n)).has_value();
    EXPECT_EQ(whole, 11u); // the eleven places where a message ends

    std::vector<Bytes> bad{
        {12},                           // no such kind
        {2, 3},                         // no such reason
        {5, 0, 0, 0, 0, 1, 0, 0, 2},    // key 512
        {5, 0, 0, 0, 0, 1, 8, 1, 0},    // a key on pad 2
        {5, 0, 0, 0, 0, 1, 0x13, 0},    // kind bits past the last kind
        {5, 0, 0, 0, 0, 1, 3, 16},      // hat bits past the four
        {5, 0, 0, 0, 0, 1, 2, 2, 0, 0}, // a third stick axis
        {5, 0, 0, 0, 0, 1, 4, 2},       // a third pad button
        {4, 255, 0, 0, 0x80, 0xBF, 0},  // -1 s
        {4, 255, 0, 0, 0xC0, 0x7F, 0},  // NaN s
        {1, 1, 0, 2, 'a', '\n'},        // a line break in the version
        {8, 0, 0, 0, 0, 0},             // a stray byte after bye
    };
    Bytes longLine{3, 0, 0, 0, 0, 1, 4}; // a terrain line past the limit
    longLine.resize(longLine.size() + kMaxTerrainLine + 1, 'x');
    bad.push_back(longLine);
    for (const Bytes &b : bad)
        EXPECT_FALSE(decodePacket(b).has_value()) << int(b[0]) << " " << b.size();
}

} // namespace
