// SPDX-License-Identifier: GPL-3.0-or-later
// The online messages on any bytes: a packet either drops or decodes to
// messages that encode and decode back to themselves, and a host with a
// friend takes them (or drops them) and plays on.

#include <cstdio>
#include <cstdlib>

#include "core/state.h"
#include "net/netproto.h"
#include "net/online.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const auto messages = decodePacket({data, size});
    if (!messages)
        return 0;
    std::vector<std::uint8_t> again;
    for (const NetMessage &m : *messages)
        encodeMessage(m, again);
    if (decodePacket(again) != messages) {
        std::fprintf(stderr, "fuzz_netproto: a decoded packet does not survive its encoding\n");
        std::abort();
    }
    resetGameState();
    game.net.role = NetRole::Host;
    friendJoined(0);
    for (const NetMessage &m : *messages)
        playerReceive(m);
    return 0;
}
