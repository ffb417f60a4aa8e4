// SPDX-License-Identifier: GPL-3.0-or-later
#include "net/net_enet.h"

#include <enet/enet.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <span>
#include <string>
#include <utility>

#include "core/frame.h"
#include "core/state.h"
#include "net/online.h"
#include "net/rollback.h"

namespace
{

// The friend, and room for callers who are told no or never say hello.
constexpr std::size_t kPeers = 32;
constexpr std::uint32_t kJoinTimeoutMs = 10000;
// A caller says hello within this, or is let go; a connection ENet's
// handshake left half open goes in a second or two (ENet waits 30 s).
constexpr std::uint32_t kHelloTimeoutMs = 3000;
constexpr std::uint32_t kHalfOpenMinMs = 1000, kHalfOpenMaxMs = 2000;
// Past the largest message: the whole game, about 120 KB deflated, with a
// match start and some frames beside it. ENet would take 32 MiB, and
// gather it in memory before anyone read a byte of it.
constexpr std::size_t kMaxPacket = 512u << 10;
// A friend silent this long has gone (ENet's own default waits up to 30 s).
constexpr std::uint32_t kPeerTimeoutMinMs = 3000, kPeerTimeoutMaxMs = 6000;
constexpr std::uint32_t kByeTimeoutMs = 5000;
constexpr std::uint32_t kWatchersByeMs = 2000; // a watcher is waited for less
// A watcher gets the whole game again at most this often.
constexpr std::uint32_t kWholeAgainMs = 2000;
constexpr std::uint64_t kIpUdpHeader = 28; // bytes of every datagram ENet does not count

std::uint32_t nowMs()
{
    using namespace std::chrono;
    return static_cast<std::uint32_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void say(const std::string &line)
{
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

std::string addressText(const ENetAddress &address)
{
    char ip[64] = "?";
    enet_address_get_host_ip(&address, ip, sizeof ip);
    return std::string(ip) + ":" + std::to_string(address.port);
}

// A peer silent for `minMs` to `maxMs` has gone. ENet never drops the
// stream's unreliable packets to ease a lossy line (its throttle, which fell
// to nothing while a whole game went through a poor line, and held the
// stream back for seconds): the stream sends one packet about every 30 ms
// whatever happens, and repeats what is lost.
void keepUnthrottled(ENetPeer *peer, std::uint32_t minMs = kPeerTimeoutMinMs,
                     std::uint32_t maxMs = kPeerTimeoutMaxMs)
{
    enet_peer_timeout(peer, 0, minMs, maxMs);
    enet_peer_throttle_configure(peer, ENET_PEER_PACKET_THROTTLE_INTERVAL,
                                 ENET_PEER_PACKET_THROTTLE_ACCELERATION, 0);
    peer->packetThrottle = ENET_PEER_PACKET_THROTTLE_SCALE;
}

ENetHost *createHost(const ENetAddress *address, std::size_t peers)
{
    ENetHost *host = enet_host_create(address, peers, 1, 0, 0);
    if (host)
        host->maximumPacketSize = kMaxPacket;
    return host;
}

void sendNow(ENetPeer *peer, const std::vector<std::uint8_t> &bytes,
             enet_uint32 flags = ENET_PACKET_FLAG_RELIABLE)
{
    ENetPacket *packet = enet_packet_create(bytes.data(), bytes.size(), flags);
    if (packet && enet_peer_send(peer, 0, packet) < 0)
        enet_packet_destroy(packet); // not taken: still ours
}

// This side's inputs the other has not acknowledged, unreliably: a lost
// packet is made good by the next.
void sendInputs(NetLink &link)
{
    if (!link.peer || !game.net.linked)
        return;
    sendNow(link.peer, inputPacket(), ENET_PACKET_FLAG_UNRELIABLE_FRAGMENT);
    enet_host_flush(link.host.get());
}

void sendReliably(ENetPeer *peer, std::span<const NetMessage> messages)
{
    std::vector<std::uint8_t> bytes;
    for (const NetMessage &m : messages)
        encodeMessage(m, bytes);
    if (!bytes.empty())
        sendNow(peer, bytes);
}

// A watcher's hello: its first word, and later its asking for the whole
// game again.
NetMessage watchHello()
{
    const NetMessage hi = hello();
    return {.kind = NetKind::Watch, .protocol = hi.protocol, .text = hi.text};
}

// The count of watchers, on the host's screen and its friend's.
void countWatchers(NetLink &link)
{
    game.net.watchers = static_cast<std::uint32_t>(link.watchers.size());
    sendNet(link, {.kind = NetKind::Watching, .frame = game.net.watchers});
    flushNet(link);
}

// Each watcher's sure ticks since its acknowledgement, unreliably (the whole
// game reliably to one too far behind); none waits for a watcher.
void sendWatched(NetLink &link)
{
    for (NetWatcher &w : link.watchers) {
        std::vector<NetMessage> reliable;
        const std::vector<std::uint8_t> packet = watchPacket(w.acked, reliable);
        sendReliably(w.peer, reliable);
        if (!packet.empty())
            sendNow(w.peer, packet, ENET_PACKET_FLAG_UNRELIABLE_FRAGMENT);
    }
    if (!link.watchers.empty())
        enet_host_flush(link.host.get());
}

NetWatcher *watcherOf(NetLink &link, const ENetPeer *peer)
{
    const auto w = std::find_if(link.watchers.begin(), link.watchers.end(),
                                [peer](const NetWatcher &x) { return x.peer == peer; });
    return w == link.watchers.end() ? nullptr : &*w;
}

void refuse(ENetHost *host, ENetPeer *peer, RefuseReason reason)
{
    std::vector<std::uint8_t> bytes;
    encodeMessage({.kind = NetKind::Refuse, .reason = reason}, bytes);
    sendNow(peer, bytes);
    enet_peer_disconnect_later(peer, 0);
    enet_host_flush(host);
    say(refusalLine(reason, NetRole::Host) + " (" + addressText(peer->address) + ")");
}

std::optional<std::vector<NetMessage>> decode(const ENetPacket *packet)
{
    return decodePacket(std::span<const std::uint8_t>(packet->data, packet->dataLength));
}

bool isCaller(const NetLink &link, const ENetPeer *peer)
{
    return std::any_of(link.callers.begin(), link.callers.end(),
                       [peer](const NetCaller &c) { return c.peer == peer; });
}

void forgetCaller(NetLink &link, const ENetPeer *peer)
{
    std::erase_if(link.callers, [peer](const NetCaller &c) { return c.peer == peer; });
}

// A caller's first packet: its hello alone. The friend's place goes to the
// first with the right version.
void callerPacket(NetLink &link, const ENetEvent &ev)
{
    forgetCaller(link, ev.peer);
    const auto messages = decode(ev.packet);
    if (!messages || messages->size() != 1) {
        ++game.net.dropped;
        enet_peer_disconnect_now(ev.peer, 0);
        return;
    }
    NetMessage hi = messages->front();
    const bool watcher = hi.kind == NetKind::Watch;
    hi.kind = watcher ? NetKind::Hello : hi.kind;
    if (const auto reason = checkHello(hi)) {
        refuse(link.host.get(), ev.peer, *reason);
        return;
    }
    if (watcher) { // any number, up to the slots
        link.watchers.push_back({ev.peer, game.net.rollback.confirmed});
        keepUnthrottled(ev.peer, kJoinTimeoutMs, kJoinTimeoutMs); // as a friend's welcome
        sendReliably(ev.peer, watchWelcome());
        enet_host_flush(link.host.get());
        countWatchers(link);
        say("Online: a watcher joined from " + addressText(ev.peer->address) + " (" +
            std::to_string(link.watchers.size()) + " watching)");
        return;
    }
    if (link.peer) {
        refuse(link.host.get(), ev.peer, RefuseReason::Full);
        return;
    }
    link.peer = ev.peer;
    // A fragment of the welcome lost again and again waits for ENet's resend,
    // each later than the last: the friend is waited for as long as it waits
    // for the game, and on the usual leash from its first play.
    keepUnthrottled(ev.peer, kJoinTimeoutMs, kJoinTimeoutMs);
    link.friendPlays = false;
    friendJoined(messages->front().inputDelay);
    for (const NetMessage &w : welcome())
        sendNet(link, w);
    flushNet(link);
    say("Online: a friend joined from " + addressText(ev.peer->address) + " and steers player 2");
}

// The host's side of a packet: a caller's hello, or the friend's play. No
// byte of it is read before its sender is known.
void hostPacket(NetLink &link, const ENetEvent &ev)
{
    if (isCaller(link, ev.peer))
        return callerPacket(link, ev);
    if (NetWatcher *w = watcherOf(link, ev.peer)) { // its acknowledgement, or its hello again
        const auto messages = decode(ev.packet);
        for (const NetMessage &m : messages ? *messages : std::vector<NetMessage>{})
            if (m.kind == NetKind::Ack) {
                w->acked = std::max(w->acked, m.frame);
                if (!std::exchange(w->hasGame, true))
                    enet_peer_timeout(ev.peer, 0, kPeerTimeoutMinMs, kPeerTimeoutMaxMs);
            } else if (m.kind == NetKind::Watch &&
                       (!w->askedAt || nowMs() - *w->askedAt >= kWholeAgainMs)) {
                w->acked = UINT32_MAX; // out of step: the whole game with the next ticks
                w->askedAt = nowMs();
            }
        return;
    }
    if (ev.peer != link.peer) {
        ++game.net.dropped;
        return;
    }
    const auto messages = decode(ev.packet);
    if (!messages) {
        ++game.net.dropped;
        return;
    }
    if (!std::exchange(link.friendPlays, true))
        enet_peer_timeout(ev.peer, 0, kPeerTimeoutMinMs, kPeerTimeoutMaxMs);
    for (const NetMessage &m : *messages)
        if (m.kind != NetKind::Bye) // its disconnect follows
            playerReceive(m);
}

// Callers silent too long are let go; half-open connections get ENet's
// short leash.
void expireCallers(NetLink &link)
{
    const std::uint32_t now = nowMs();
    std::erase_if(link.callers, [now](const NetCaller &c) {
        if (now - c.since < kHelloTimeoutMs)
            return false;
        say("Online: let go of " + addressText(c.peer->address) + ": no hello within 3 s");
        enet_peer_disconnect_now(c.peer, 0);
        return true;
    });
    ENetHost *host = link.host.get();
    for (std::size_t i = 0; i < host->peerCount; ++i)
        if (host->peers[i].state == ENET_PEER_STATE_ACKNOWLEDGING_CONNECT)
            enet_peer_timeout(&host->peers[i], 0, kHalfOpenMinMs, kHalfOpenMaxMs);
}

void hostEvent(NetLink &link, const ENetEvent &ev)
{
    switch (ev.type) {
    case ENET_EVENT_TYPE_CONNECT:
        link.callers.push_back({ev.peer, nowMs()});
        enet_peer_timeout(ev.peer, 0, kPeerTimeoutMinMs, kPeerTimeoutMaxMs);
        break;
    case ENET_EVENT_TYPE_RECEIVE:
        hostPacket(link, ev);
        break;
    case ENET_EVENT_TYPE_DISCONNECT:
        forgetCaller(link, ev.peer);
        if (watcherOf(link, ev.peer)) {
            std::erase_if(link.watchers, [&ev](const NetWatcher &w) { return w.peer == ev.peer; });
            countWatchers(link);
        }
        if (ev.peer != link.peer)
            break;
        link.peer = nullptr;
        link.batch.clear();
        // Once every tick to the host's last is sure, the friend hangs up
        // as asked, also while the host still waits for a slow watcher.
        if (!sessionOver())
            friendLeft();
        break;
    case ENET_EVENT_TYPE_NONE:
        break;
    }
}

void joinerEvent(NetLink &link, const ENetEvent &ev)
{
    if (ev.type == ENET_EVENT_TYPE_CONNECT) { // the hello goes out once connected
        keepUnthrottled(link.peer);
        sendNet(link, game.net.role == NetRole::Watch ? watchHello() : hello(game.net.inputDelay));
        flushNet(link);
        return;
    }
    if (ev.type == ENET_EVENT_TYPE_DISCONNECT) {
        link.hostGone = true;
        link.peer = nullptr;
        return;
    }
    if (ev.type != ENET_EVENT_TYPE_RECEIVE)
        return;
    const auto messages = decode(ev.packet);
    if (!messages) {
        ++game.net.dropped;
        return;
    }
    link.inbox.insert(link.inbox.end(), messages->begin(), messages->end());
}

// Hands the next ENet event to this side's handling, waiting up to `waitMs`
// for one; false when none came.
bool serveEvent(NetLink &link, std::uint32_t waitMs)
{
    ENetEvent ev;
    if (enet_host_service(link.host.get(), &ev, waitMs) <= 0)
        return false;
    if (game.net.role == NetRole::Host)
        hostEvent(link, ev);
    else
        joinerEvent(link, ev);
    if (ev.type == ENET_EVENT_TYPE_RECEIVE)
        enet_packet_destroy(ev.packet);
    return true;
}

int openJoiner(const Options &options, NetLink &link)
{
    const std::string where = options.joinHost + ":" + std::to_string(options.port);
    ENetAddress address{};
    if (enet_address_set_host(&address, options.joinHost.c_str()) < 0) {
        say("Online: cannot find the host '" + options.joinHost + "'");
        return 1;
    }
    address.port = options.port;
    link.host.reset(createHost(nullptr, 1));
    link.peer = link.host ? enet_host_connect(link.host.get(), &address, 1, 0) : nullptr;
    if (!link.peer) {
        say("Online: cannot open a network connection");
        return 1;
    }
    // Waiting here is fine: there is no window yet. The hello goes out once
    // connected, and the host answers with its game or a refusal.
    const std::uint32_t start = nowMs();
    const std::vector<NetMessage> &in = link.inbox;
    const auto answer = [&in] {
        return std::find_if(in.begin(), in.end(), [](const NetMessage &m) {
            return m.kind == NetKind::FullState || m.kind == NetKind::Refuse ||
                   m.kind == NetKind::Bye;
        });
    };
    while (answer() == in.end() && !link.hostGone && nowMs() - start < kJoinTimeoutMs) {
        serveEvent(link, 50);
    }
    const auto got = answer();
    if (got != in.end() && got->kind == NetKind::Refuse) {
        say(refusalLine(got->reason, NetRole::Join));
        return 1;
    }
    if (got == in.end()) {
        say(link.hostGone ? "Online: " + where + " closed the connection"
            : in.empty()  ? "Online: no answer from " + where + " within 10 s"
                          : "Online: no game from " + where + " within 10 s");
        return 1;
    }
    return -1;
}

// The bye after this side's last tick; then it waits until it is sure of
// every tick up to that one, so that both end on the same tick (at most
// kByeTimeoutMs).
void awaitLastTick(NetLink &link, Recorder *recorder)
{
    const RollbackState &r = game.net.rollback;
    sendNet(link, {.kind = NetKind::Bye, .frame = r.tick});
    flushNet(link);
    game.net.endAt = r.tick;
    const std::uint32_t start = nowMs();
    while (link.peer && !sessionOver() && nowMs() - start < kByeTimeoutMs) {
        serveEvent(link, 20);
        settleSure(recorder);
        sendInputs(link);
    }
}

// A watcher's frame: the sure ticks that came played, its acknowledgement
// sent now and then; 0 once the host left (after its last tick) or went.
int watchStep(NetLink &link, std::span<const InputEvent> own, std::uint32_t batchMs,
              Recorder *recorder)
{
    watcherFrame(own, recorder);
    const RollbackState &r = game.net.rollback;
    if (link.peer && std::exchange(game.net.resend, false)) { // out of step: the game again
        sendNet(link, watchHello());
        flushNet(link);
    }
    if (link.peer && game.net.linked && nowMs() - link.lastSent >= batchMs) {
        std::vector<std::uint8_t> ack;
        encodeMessage({.kind = NetKind::Ack, .frame = r.tick}, ack);
        sendNow(link.peer, ack, ENET_PACKET_FLAG_UNRELIABLE_FRAGMENT);
        enet_host_flush(link.host.get());
        link.lastSent = nowMs();
    }
    if ((game.net.endAt != 0 && r.tick >= game.net.endAt) || link.hostGone) {
        say("Online: the host left at frame " + std::to_string(r.tick));
        return 0;
    }
    return -1;
}

// The host's last sure ticks go to its watchers until each acknowledged
// them (at most kWatchersByeMs), then its bye after them.
void byeToWatchers(NetLink &link)
{
    const std::uint32_t last = game.net.rollback.confirmed;
    const auto behind = [&link, last] {
        return std::any_of(link.watchers.begin(), link.watchers.end(),
                           [last](const NetWatcher &w) { return w.acked < last; });
    };
    const std::uint32_t start = nowMs();
    while (behind() && nowMs() - start < kWatchersByeMs) {
        sendWatched(link);
        serveEvent(link, 20);
    }
    for (const NetWatcher &w : link.watchers)
        sendReliably(w.peer, std::vector<NetMessage>{{.kind = NetKind::Bye, .frame = last}});
    enet_host_flush(link.host.get());
}

// Serves the link until its peer hangs up (true), or for kByeTimeoutMs.
// Other peers come and go meanwhile: a caller let go, a refused player.
bool awaitHangUp(NetLink &link)
{
    const std::uint32_t start = nowMs();
    ENetEvent ev;
    while (nowMs() - start < kByeTimeoutMs) {
        const int got = enet_host_service(link.host.get(), &ev, 20);
        if (got < 0)
            return false;
        if (got > 0 && ev.type == ENET_EVENT_TYPE_RECEIVE)
            enet_packet_destroy(ev.packet);
        if (got > 0 && ev.type == ENET_EVENT_TYPE_DISCONNECT && ev.peer == link.peer)
            return true;
    }
    return false;
}

} // namespace

void NetHostClose::operator()(_ENetHost *host) const
{
    enet_host_destroy(host);
    enet_deinitialize();
}

int openNet(const Options &options, NetLink &link)
{
    if (enet_initialize() != 0) {
        say("Online: cannot start the network");
        return 1;
    }
    game.net.role = options.net;
    game.net.port = options.port;
    game.net.inputDelay = options.inputDelay.value_or(0);
    if (options.net != NetRole::Host)
        return openJoiner(options, link);
    ENetAddress address{ENET_HOST_ANY, options.port};
    link.host.reset(createHost(&address, kPeers));
    if (!link.host) {
        say("Online: cannot host on UDP port " + std::to_string(options.port) + ": is it in use?");
        enet_deinitialize();
        return 1;
    }
    say("Online: waiting for a friend on UDP port " + std::to_string(options.port));
    return -1;
}

void pollNet(NetLink &link)
{
    if (!link.host)
        return;
    while (serveEvent(link, 0)) {
    }
    if (game.net.role == NetRole::Host)
        expireCallers(link);
}

void sendNet(NetLink &link, const NetMessage &message)
{
    if (link.peer)
        encodeMessage(message, link.batch);
}

void flushNet(NetLink &link)
{
    if (!link.peer || link.batch.empty())
        return;
    sendNow(link.peer, link.batch);
    link.batch.clear();
    enet_host_flush(link.host.get());
}

int netStep(NetLink &link, std::uint32_t elapsedMs, std::span<const InputEvent> own,
            std::uint32_t batchMs, Recorder *recorder)
{
    pollNet(link); // what came since the last frame plays in this one
    const NetRole role = game.net.role;
    const bool linked = game.net.linked;
    const std::uint32_t resyncs = game.net.resyncs;
    int status = -1;
    for (const NetMessage &m : std::exchange(link.inbox, {})) // from the host
        if (status < 0)
            status = role == NetRole::Watch ? watcherReceive(m) : playerReceive(m);
    if (status >= 0 || game.net.linked != linked || game.net.resyncs != resyncs) {
        // The host's game taken over: a recording may start from it.
        link.unplayed.insert(link.unplayed.end(), own.begin(), own.end());
        return status;
    }
    std::vector<InputEvent> read = std::exchange(link.unplayed, {});
    read.insert(read.end(), own.begin(), own.end());
    if (role == NetRole::Watch)
        return watchStep(link, read, batchMs, recorder);
    std::vector<NetMessage> reliable;
    const auto begun = std::chrono::steady_clock::now();
    playerFrame(elapsedMs, read, netRoundTripMs(link) / 2, reliable, recorder);
    link.frameUs = static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::microseconds>(
                                                  std::chrono::steady_clock::now() - begun)
                                                  .count());
    for (const NetMessage &m : reliable)
        sendNet(link, m);
    flushNet(link); // before the inputs, which ENet then holds back behind it
    // Also while waiting: when both sides wait for the other and a packet was
    // lost, only its inputs sent again end the wait.
    if (nowMs() - link.lastSent >= batchMs) {
        sendInputs(link);
        sendWatched(link);
        link.lastSent = nowMs();
    }
    if (role == NetRole::Join && (sessionOver() || link.hostGone)) {
        say("Online: the host left at frame " + std::to_string(game.net.rollback.confirmed));
        return 0;
    }
    return -1;
}

std::uint64_t netBytesSent(const NetLink &link)
{
    return link.host ? link.host->totalSentData + kIpUdpHeader * link.host->totalSentPackets : 0;
}

std::uint64_t netBytesReceived(const NetLink &link)
{
    return link.host ? link.host->totalReceivedData + kIpUdpHeader * link.host->totalReceivedPackets
                     : 0;
}

std::uint32_t netRoundTripMs(const NetLink &link)
{
    return link.peer ? link.peer->roundTripTime : 0;
}

void closeNet(NetLink &link, Recorder *recorder, bool quitting)
{
    if (!link.host) // closed already
        return;
    const std::uint32_t start = nowMs();
    while (link.peer && game.net.linked && !game.net.rollback.sent.empty() &&
           nowMs() - start < kByeTimeoutMs) {
        sendInputs(link);
        serveEvent(link, 20);
    }
    if (link.peer && game.net.linked && quitting && game.net.role != NetRole::Watch)
        awaitLastTick(link, recorder);
    if (game.net.role == NetRole::Host)
        byeToWatchers(link);
    if (link.peer) {
        if (!quitting) {
            sendNet(link, {.kind = NetKind::Bye, .frame = game.net.rollback.tick});
            flushNet(link);
        }
        // A host lets its friend hang up: the friend does once it is sure
        // of every tick before the bye. Else, or on the joiner, ENet's
        // disconnect goes once the bye is acknowledged.
        const bool hungUp = game.net.role == NetRole::Host && awaitHangUp(link);
        if (!hungUp) {
            enet_peer_disconnect_later(link.peer, 0);
            awaitHangUp(link);
        }
        link.peer = nullptr;
    }
    link.host.reset();
}
