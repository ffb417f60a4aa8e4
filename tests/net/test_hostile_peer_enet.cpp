// SPDX-License-Identifier: GPL-3.0-or-later
// The host and the joiner against peers that break the rules, over ENet on
// 127.0.0.1: callers that never finish connecting or never say hello, a
// packet of megabytes, a host that sends no game. Every wait is bounded.

#include <enet/enet.h>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>

#include "core/keys.h"
#include "core/match.h"
#include "core/random.h"
#include "core/state.h"
#include "net/net_enet.h"
#include "net/online.h"
#include "net/rollback.h"
#include "play_driver.h"
#include "terrain/terrain.h"

namespace
{

using Clock = std::chrono::steady_clock;

struct Peer {
    std::unique_ptr<ENetHost, decltype(&enet_host_destroy)> host{nullptr, enet_host_destroy};
    ENetPeer *peer = nullptr;
};

// A peer of the test's own that calls the host on `port`.
Peer call(std::uint16_t port)
{
    Peer p;
    p.host.reset(enet_host_create(nullptr, 1, 1, 0, 0));
    ENetAddress address{};
    enet_address_set_host(&address, "127.0.0.1");
    address.port = port;
    p.peer = enet_host_connect(p.host.get(), &address, 1, 0);
    enet_host_flush(p.host.get());
    return p;
}

void send(Peer &p, const std::vector<std::uint8_t> &bytes)
{
    enet_peer_send(p.peer, 0,
                   enet_packet_create(bytes.data(), bytes.size(), ENET_PACKET_FLAG_RELIABLE));
    enet_host_flush(p.host.get());
}

std::vector<std::uint8_t> bytesOf(const NetMessage &m)
{
    std::vector<std::uint8_t> bytes;
    encodeMessage(m, bytes);
    return bytes;
}

// Runs `turn` (the host's frame) and services the peers until `done` or
// `seconds` ran out; the peers' events go to `seen`, the kinds of what
// they were sent included (disconnects as Bye).
bool pump(const std::function<void()> &turn, std::vector<Peer *> peers, double seconds,
          const std::function<bool()> &done, std::vector<NetKind> *seen = nullptr)
{
    const auto end = Clock::now() + std::chrono::duration<double>(seconds);
    while (Clock::now() < end) {
        turn();
        for (Peer *p : peers) {
            ENetEvent ev;
            while (enet_host_service(p->host.get(), &ev, 0) > 0) {
                if (ev.type == ENET_EVENT_TYPE_RECEIVE) {
                    const auto in = decodePacket({ev.packet->data, ev.packet->dataLength});
                    for (const NetMessage &m : in.value_or(std::vector<NetMessage>{}))
                        if (seen)
                            seen->push_back(m.kind);
                    enet_packet_destroy(ev.packet);
                } else if (ev.type == ENET_EVENT_TYPE_DISCONNECT && seen) {
                    seen->push_back(NetKind::Bye);
                }
            }
        }
        if (done())
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return done();
}

bool has(const std::vector<NetKind> &seen, NetKind kind)
{
    return std::find(seen.begin(), seen.end(), kind) != seen.end();
}

// A host of the test's own on `port`, in a thread until `stop`: it answers
// each packet it gets (decoded) with the packets `answer` gives.
std::jthread fakeHost(
    std::uint16_t port, const std::atomic<bool> &stop,
    std::function<std::vector<std::vector<std::uint8_t>>(const std::vector<NetMessage> &)> answer)
{
    return std::jthread([port, &stop, answer = std::move(answer)] {
        ENetAddress address{ENET_HOST_ANY, port};
        std::unique_ptr<ENetHost, decltype(&enet_host_destroy)> h(
            enet_host_create(&address, 2, 1, 0, 0), enet_host_destroy);
        ENetEvent ev;
        while (h && !stop)
            if (enet_host_service(h.get(), &ev, 20) > 0 && ev.type == ENET_EVENT_TYPE_RECEIVE) {
                const auto in = decodePacket({ev.packet->data, ev.packet->dataLength});
                for (const auto &bytes : answer(in.value_or(std::vector<NetMessage>{})))
                    enet_peer_send(
                        ev.peer, 0,
                        enet_packet_create(bytes.data(), bytes.size(), ENET_PACKET_FLAG_RELIABLE));
                enet_packet_destroy(ev.packet);
            }
    });
}

class HostilePeer : public testing::Test
{
  protected:
    void SetUp() override
    {
        quiet = std::fopen("/dev/null", "w");
        resetAll();
        seedGameRand(3);
        ASSERT_TRUE(loadTerrains(QUORBLY_DATA_DIR "/terrains"));
        newTerrain(quiet);
        setupPlayers();
    }
    void TearDown() override
    {
        if (game.net.role == NetRole::Host)
            closeNet(link);
        destroyTerrains();
        std::fclose(quiet);
    }
    void host(std::uint16_t port) { ASSERT_EQ(openNet(to(NetRole::Host, port), link), -1); }
    // The options of a host on `port`, or of a joiner or watcher of 127.0.0.1:`port`.
    static Options to(NetRole role, std::uint16_t port)
    {
        Options options;
        options.net = role;
        options.joinHost = role == NetRole::Host ? "" : "127.0.0.1";
        options.port = port;
        return options;
    }
    std::FILE *quiet = nullptr;
    NetLink link;
    Peer friendPeer;
};

// The host's match goes in ticks of a sixtieth of a second whatever its
// frame rate: two seconds at 144 and at 30 frames a second are the same
// 120 ticks, to the bit.
class OnlineHost : public HostilePeer
{
};

TEST_F(OnlineHost, EveryFrameRateMakesTheSameMatch)
{
    std::uint32_t carry = 0;
    const std::array<int, 5> due{ticksDue(carry, 16), ticksDue(carry, 1), ticksDue(carry, 50),
                                 ticksDue(carry, 0), ticksDue(carry, 1000)};
    EXPECT_EQ(due, (std::array{0, 1, 3, 0, kMaxTicks}));
    std::vector<std::pair<std::uint64_t, std::uint32_t>> ends;
    for (const auto &[ms, frames] : {std::pair{7u, 286}, {33u, 61}}) {
        if (!ends.empty()) { // a session as fresh as the first
            TearDown();
            SetUp();
        }
        game.net.role = NetRole::Host;
        beginTicks(0, 0, 0);
        const std::vector<InputEvent> up{{InputKind::KeyDown, 0, keys::kUp, 0}};
        for (int f = 0; f < frames; ++f)
            netStep(link, ms, f == 0 ? up : std::vector<InputEvent>{}, 0);
        ends.push_back({onlineDigest(), game.net.rollback.tick});
    }
    EXPECT_EQ(ends[0], ends[1]);
    EXPECT_EQ(ends[0].second, 120u);
}

TEST_F(HostilePeer, CallersThatNeverFinishOrNeverSayHelloOrSendMegabytesAreLetGo)
{
    host(27301);
    const auto turn = [this] { pollNet(link); };
    std::vector<Peer> halfOpen;
    for (int i = 0; i < 4; ++i) // they send the connect and never answer again
        halfOpen.push_back(call(27301));
    Peer silent = call(27301), huge = call(27301);
    ASSERT_TRUE(pump(turn, {&silent, &huge}, 5, [&] {
        return silent.peer->state == ENET_PEER_STATE_CONNECTED &&
               huge.peer->state == ENET_PEER_STATE_CONNECTED;
    }));
    // ENet refuses 4 MiB before gathering it: the host never reads a byte of
    // it, and the caller goes for want of a hello, as the silent one does.
    send(huge, std::vector<std::uint8_t>(4u << 20, 1));
    std::vector<NetKind> silentSaw, hugeSaw;
    ASSERT_TRUE(pump(
        turn, {&silent, &huge}, 8, [&] { return has(silentSaw, NetKind::Bye); }, &silentSaw));
    EXPECT_FALSE(has(silentSaw, NetKind::Refuse));
    EXPECT_EQ(game.net.dropped, 0u);
    const auto halfOpenLeft = [this] {
        int n = 0;
        for (std::size_t i = 0; i < link.host->peerCount; ++i)
            n += link.host->peers[i].state == ENET_PEER_STATE_ACKNOWLEDGING_CONNECT;
        return n;
    };
    EXPECT_TRUE(pump(turn, {}, 5, [&] { return halfOpenLeft() == 0; })) << halfOpenLeft();

    // The friend's place is free for the friend; then a third is told no.
    for (const bool first : {true, false}) {
        Peer caller = call(27301);
        std::vector<NetKind> saw;
        ASSERT_TRUE(pump(turn, {&caller}, 5,
                         [&] { return caller.peer->state == ENET_PEER_STATE_CONNECTED; }));
        send(caller, bytesOf(hello()));
        const NetKind answer = first ? NetKind::FullState : NetKind::Refuse;
        EXPECT_TRUE(pump(
            turn, {&caller}, 5, [&] { return has(saw, answer); }, &saw))
            << first;
        EXPECT_EQ(has(saw, NetKind::FullState), first);
        if (first)
            friendPeer = std::move(caller); // stays
    }
    enet_peer_disconnect_now(friendPeer.peer, 0);
}

TEST_F(HostilePeer, TheFriendsInputsPlayInTheHostsNextFrameAndItHangsUpLast)
{
    host(27302);
    friendPeer = call(27302);
    std::vector<NetKind> saw;
    beginTicks(0, 0, 0);
    const auto frame = [this] { netStep(link, 17, {}, 0); };
    ASSERT_TRUE(pump(frame, {&friendPeer}, 5,
                     [&] { return friendPeer.peer->state == ENET_PEER_STATE_CONNECTED; }));
    send(friendPeer, bytesOf(hello()));
    // Its welcome is not acknowledged for 7 s, as when a fragment of it is
    // lost again and again: the host waits for it all the same.
    pump(frame, {}, 7, [] { return false; });
    ASSERT_NE(link.peer, nullptr);
    ASSERT_TRUE(pump(
        frame, {&friendPeer}, 5, [&] { return has(saw, NetKind::FullState); }, &saw));
    // The friend goes quiet until the host has read all it sent; then its D
    // is the one datagram on the way, and the frame after it came plays it.
    enet_uint32 readable = ENET_SOCKET_WAIT_RECEIVE;
    for (int i = 0; i < 100 && enet_socket_wait(link.host->socket, &readable, 0) == 0 &&
                    (readable & ENET_SOCKET_WAIT_RECEIVE);
         ++i, readable = ENET_SOCKET_WAIT_RECEIVE)
        pollNet(link);
    frame();
    ASSERT_EQ(players[1].keys.x, 0);
    send(friendPeer, bytesOf({.kind = NetKind::Inputs,
                              .frame = game.net.rollback.remoteRead + 1,
                              .ticks = {{{InputKind::KeyDown, 0, keys::kD, 0}}}}));
    readable = ENET_SOCKET_WAIT_RECEIVE;
    ASSERT_EQ(enet_socket_wait(link.host->socket, &readable, 2000), 0);
    ASSERT_TRUE(readable & ENET_SOCKET_WAIT_RECEIVE);
    frame();
    EXPECT_EQ(players[1].keys.x, 1);

    // The friend goes quiet: the host plays on until it must wait, and while
    // it waits it still sends its inputs, for when the last were lost.
    std::uint32_t before = 0;
    int still = 0;
    ASSERT_TRUE(pump(frame, {&friendPeer}, 8, [&] {
        still = std::exchange(before, game.net.rollback.tick) == before ? still + 1 : 0;
        return still == 10;
    }));
    saw.clear();
    pump(
        frame, {&friendPeer}, 0.5, [] { return false; }, &saw);
    EXPECT_EQ(game.net.rollback.tick, before);
    EXPECT_GE(std::count(saw.begin(), saw.end(), NetKind::Inputs), 20);

    // Quitting, the host waits for its friend to hang up, while a caller
    // goes meanwhile.
    Peer caller = call(27302);
    ASSERT_TRUE(pump([this] { pollNet(link); }, {&caller}, 5,
                     [&] { return caller.peer->state == ENET_PEER_STATE_CONNECTED; }));
    std::atomic<bool> hangingUp = false;
    std::jthread friendSide([&] {
        std::vector<NetKind> bye;
        pump([] {}, {&friendPeer}, 5, [&] { return has(bye, NetKind::Bye); }, &bye);
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        hangingUp = true;
        enet_peer_disconnect_now(friendPeer.peer, 0);
    });
    enet_peer_disconnect_now(caller.peer, 0);
    closeNet(link);
    EXPECT_TRUE(hangingUp);
}

TEST_F(HostilePeer, EightWatchersGetTheGameAndNoneThatLagsOrVanishesSlowsTheHost)
{
    host(27304);
    beginTicks(0, 0, 0);
    int frames = 0;
    const auto frame = [this, &frames] {
        netStep(link, 17, {}, 0);
        ++frames;
    };
    std::vector<Peer> watchers(8);
    std::vector<Peer *> all;
    for (Peer &w : watchers) {
        w = call(27304);
        all.push_back(&w);
    }
    ASSERT_TRUE(pump(frame, all, 5, [&] {
        return std::all_of(all.begin(), all.end(),
                           [](Peer *w) { return w->peer->state == ENET_PEER_STATE_CONNECTED; });
    }));
    for (Peer &w : watchers)
        send(w,
             bytesOf({.kind = NetKind::Watch, .protocol = kProtocolVersion, .text = hello().text}));
    std::vector<NetKind> saw;
    ASSERT_TRUE(pump(
        frame, all, 5, [&] { return game.net.watchers == 8; }, &saw));
    // None of them acknowledges a tick, and one goes without a word: the
    // host plays every tick its clock asks for all the same.
    enet_peer_reset(watchers[0].peer);
    all.erase(all.begin());
    const std::uint32_t tick = game.net.rollback.tick;
    frames = 0;
    pump(
        frame, all, 10, [&] { return frames == 120; }, &saw);
    EXPECT_EQ(game.net.rollback.tick - tick, 122u); // 120 frames of 17 ms
    EXPECT_EQ(std::count(saw.begin(), saw.end(), NetKind::FullState), 8);
    EXPECT_GT(std::count(saw.begin(), saw.end(), NetKind::Inputs), 7 * 20);

    // A watcher out of step says hello again and gets the whole game again;
    // one asking again at once gets it no sooner than in two seconds.
    saw.clear();
    for (int again = 0; again < 2; ++again) {
        send(watchers[1],
             bytesOf({.kind = NetKind::Watch, .protocol = kProtocolVersion, .text = hello().text}));
        pump(
            frame, all, 0.5, [] { return false; }, &saw);
    }
    EXPECT_EQ(std::count(saw.begin(), saw.end(), NetKind::FullState), 1);
}

TEST_F(HostilePeer, AWatcherWhoseWelcomeIsLongInComingGetsItAllTheSame)
{
    host(27307);
    beginTicks(0, 0, 0);
    const auto frame = [this] { netStep(link, 17, {}, 0); };
    Peer watcher = call(27307);
    ASSERT_TRUE(pump(frame, {&watcher}, 5,
                     [&] { return watcher.peer->state == ENET_PEER_STATE_CONNECTED; }));
    send(watcher,
         bytesOf({.kind = NetKind::Watch, .protocol = kProtocolVersion, .text = hello().text}));
    ASSERT_TRUE(pump(frame, {&watcher}, 5, [&] { return game.net.watchers == 1; }));
    // Its welcome is not acknowledged for 7 s, as when a fragment of it is
    // lost again and again, as a friend's may be.
    pump(frame, {}, 7, [] { return false; });
    std::vector<NetKind> saw;
    EXPECT_TRUE(pump(
        frame, {&watcher}, 5, [&] { return has(saw, NetKind::FullState); }, &saw));
}

TEST_F(HostilePeer, AWatcherOutOfStepSaysHelloAgainForTheWholeGame)
{
    // A host of the test's own sends the game, a second of ticks, and
    // digests of six seconds that the watcher cannot have.
    game.net.role = NetRole::Host;
    beginTicks(0, 0, 0);
    std::vector<std::uint8_t> welcome, ticks;
    for (const NetMessage &m : watchWelcome())
        encodeMessage(m, welcome);
    encodeMessage(
        {.kind = NetKind::Inputs, .frame = 1, .ticks = std::vector<std::vector<InputEvent>>(60)},
        ticks);
    for (std::uint32_t second = 1; second <= 6; ++second) // kept until the watcher gets there
        encodeMessage({.kind = NetKind::Digest, .frame = 60 * second, .digest = 1}, ticks);
    game.net = NetState{};
    std::atomic<int> hellos = 0;
    std::atomic<bool> stop = false;
    std::jthread fake = fakeHost(27305, stop, [&](const std::vector<NetMessage> &in) {
        if (in.empty() || in[0].kind != NetKind::Watch)
            return std::vector<std::vector<std::uint8_t>>{};
        ++hellos;
        return std::vector{welcome, ticks};
    });
    ASSERT_EQ(openNet(to(NetRole::Watch, 27305), link), -1);
    const auto end = Clock::now() + std::chrono::seconds(5);
    while (hellos < 2 && Clock::now() < end) {
        netStep(link, 17, {}, 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_EQ(hellos, 2);
    EXPECT_GE(game.net.rollback.tick, 60u);
    stop = true;
    closeNet(link);
}

TEST_F(HostilePeer, AJoinersPressInTheFrameItIsPutBackInStepPlaysInTheNext)
{
    // A host of the test's own welcomes the joiner, and sends its game again
    // when asked, as to a joiner out of step.
    game.net.role = NetRole::Host;
    beginTicks(0, 0, 0);
    friendJoined(0);
    std::vector<std::uint8_t> welcomed, again;
    for (const NetMessage &m : welcome()) {
        encodeMessage(m, welcomed);
        if (m.kind == NetKind::FullState)
            encodeMessage(m, again);
    }
    game.net = NetState{};
    std::atomic<bool> stop = false, resend = false;
    std::jthread fake = fakeHost(27306, stop, [&](const std::vector<NetMessage> &in) {
        using Packets = std::vector<std::vector<std::uint8_t>>;
        if (!in.empty() && in[0].kind == NetKind::Hello)
            return Packets{welcomed};
        return resend.exchange(false) ? Packets{again} : Packets{};
    });
    ASSERT_EQ(openNet(to(NetRole::Join, 27306), link), -1);
    for (int frame = 0; frame < 10; ++frame)
        netStep(link, 17, {}, 0);
    ASSERT_TRUE(game.net.linked);
    resend = true;
    sendNet(link, {.kind = NetKind::Ack});
    flushNet(link);
    const auto end = Clock::now() + std::chrono::seconds(5);
    while (link.inbox.empty() && Clock::now() < end) {
        pollNet(link);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_FALSE(link.inbox.empty());
    netStep(link, 17, std::vector<InputEvent>{{InputKind::KeyDown, 0, keys::kRight, 0}}, 0);
    ASSERT_EQ(game.net.resyncs, 1u);
    netStep(link, 17, {}, 0);
    EXPECT_EQ(players[1].keys.x, 1);
    stop = true;
    closeNet(link);
}

TEST_F(HostilePeer, AJoinerGivesUpInTenSecondsOnAHostThatSendsNoGame)
{
    // The host answers the hello with a match start, and never with the game.
    std::atomic<bool> stop = false;
    std::jthread fake = fakeHost(27303, stop, [](const std::vector<NetMessage> &) {
        return std::vector<std::vector<std::uint8_t>>{
            bytesOf({.kind = NetKind::MatchStart, .text = "Flat,1"})};
    });
    const Options options = to(NetRole::Join, 27303);
    testing::internal::CaptureStdout();
    EXPECT_EQ(openNet(options, link), 1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Online: no game from 127.0.0.1:27303 within 10 s\n");
    stop = true;
}

} // namespace
