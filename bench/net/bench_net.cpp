// SPDX-License-Identifier: GPL-3.0-or-later
// quorbly-bench-net [SECONDS] [--delay MS --loss P]: online play on
// 127.0.0.1, a host and a joiner in two processes, 60 frames a second of
// scripted keys on both sides for two minutes (or SECONDS), the game
// headless. Run from data/. With --delay or --loss, the joiner reaches the
// host through a relay in the host's process that holds each datagram MS
// milliseconds (give or take a quarter, so some overtake others) and loses
// P percent of them, each way on its own draw.
// Prints net_kbps_up (joiner to host) and net_kbps_down, in kilobytes a
// second on the wire (the IPv4 and UDP headers counted),
// net_input_delay_ms: the mean time from the joiner's key press to the
// host applying it (beyond the relay's delay, the wait the game adds), and
// net_freeze_ms: the longest the joiner's picture stood still, from one
// turn that played a new frame of the host's to the next.

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "core/keys.h"
#include "core/match.h"
#include "core/random.h"
#include "core/state.h"
#include "net/net_enet.h"
#include "terrain/texture.h"

namespace
{

using Clock = std::chrono::steady_clock;
constexpr std::chrono::microseconds kFrame{16667};
constexpr std::uint16_t kPort = 27115, kRelayPort = 27116;

std::int64_t nowUs()
{
    using namespace std::chrono;
    return duration_cast<microseconds>(Clock::now().time_since_epoch()).count();
}

// The game's start, as init makes it, less the window.
void startGame(unsigned seed)
{
    seedGameRand(seed);
    queueNoiseSeed(seed);
    beginSession();
}

// An arrow held for a quarter second every half second, round the four.
std::vector<InputEvent> keysAt(std::uint64_t frame, std::uint64_t offset)
{
    constexpr int arrows[] = {keys::kUp, keys::kLeft, keys::kDown, keys::kRight};
    const int key = arrows[(frame / 30 + offset) % 4];
    if (frame % 30 == 0)
        return {{InputKind::KeyDown, 0, key, 0}};
    if (frame % 30 == 15)
        return {{InputKind::KeyUp, 0, key, 0}};
    return {};
}

sockaddr_in loopback(std::uint16_t port)
{
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(port);
    return a;
}

// A poor line between kRelayPort (the joiner's side) and kPort (the host).
void relay(int delayMs, double lossPercent, const std::atomic<bool> &stop)
{
    const int front = socket(AF_INET, SOCK_DGRAM, 0), back = socket(AF_INET, SOCK_DGRAM, 0);
    const sockaddr_in listen = loopback(kRelayPort), host = loopback(kPort);
    if (bind(front, reinterpret_cast<const sockaddr *>(&listen), sizeof listen) != 0)
        return;
    sockaddr_in joiner{};
    std::mt19937 draw(17);
    std::uniform_real_distribution<double> percent(0, 100), spread(0.75, 1.25);
    struct Held {
        bool upstream;
        std::vector<char> data;
    };
    std::multimap<Clock::time_point, Held> held;
    while (!stop) {
        pollfd fds[2] = {{front, POLLIN, 0}, {back, POLLIN, 0}};
        poll(fds, 2, 1);
        for (int i = 0; i < 2; ++i) {
            if (!(fds[i].revents & POLLIN))
                continue;
            std::vector<char> data(65536);
            sockaddr_in from{};
            socklen_t size = sizeof from;
            const ssize_t n = recvfrom(fds[i].fd, data.data(), data.size(), 0,
                                       reinterpret_cast<sockaddr *>(&from), &size);
            if (n <= 0)
                continue;
            if (i == 0)
                joiner = from;
            data.resize(static_cast<std::size_t>(n));
            if (percent(draw) >= lossPercent)
                held.insert({Clock::now() + std::chrono::microseconds(
                                                static_cast<long>(delayMs * 1000 * spread(draw))),
                             {i == 0, std::move(data)}});
        }
        while (!held.empty() && held.begin()->first <= Clock::now()) {
            const Held &h = held.begin()->second;
            if (h.upstream)
                sendto(back, h.data.data(), h.data.size(), 0,
                       reinterpret_cast<const sockaddr *>(&host), sizeof host);
            else
                sendto(front, h.data.data(), h.data.size(), 0,
                       reinterpret_cast<const sockaddr *>(&joiner), sizeof joiner);
            held.erase(held.begin());
        }
    }
    close(front);
    close(back);
}

// The joiner: each press's time goes down `presses` as it is sent, and the
// longest stand-still of its picture down `freeze` at the end.
int joiner(int presses, int freeze, std::uint16_t port)
{
    startGame(2);
    NetLink link;
    Options options;
    options.net = NetRole::Join;
    options.joinHost = "127.0.0.1";
    options.port = port;
    if (openNet(options, link) >= 0)
        return 1;
    int status = -1;
    std::int64_t lastNew = 0, longest = 0;
    for (std::uint64_t frame = 0; status < 0; ++frame) {
        const auto next = Clock::now() + kFrame;
        const std::vector<InputEvent> own = keysAt(frame, 1);
        const std::int64_t pressed = nowUs();
        if (!own.empty() && own[0].kind == InputKind::KeyDown &&
            write(presses, &pressed, sizeof pressed) != sizeof pressed)
            return 1;
        const std::uint32_t had = game.net.frame;
        status = joinerStep(link, own);
        if (game.net.frame != had && status < 0) {
            const std::int64_t now = nowUs();
            if (lastNew > 0)
                longest = std::max(longest, now - lastNew);
            lastNew = now;
        }
        std::this_thread::sleep_until(next);
    }
    if (write(freeze, &longest, sizeof longest) != sizeof longest)
        return 1;
    return status;
}

} // namespace

int main(int argc, char **argv)
{
    int seconds = 120, delayMs = 0;
    double lossPercent = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--delay" && i + 1 < argc)
            delayMs = std::atoi(argv[++i]);
        else if (arg == "--loss" && i + 1 < argc)
            lossPercent = std::atof(argv[++i]);
        else
            seconds = std::atoi(argv[i]);
    }
    const bool relayed = delayMs > 0 || lossPercent > 0;
    int presses[2], freeze[2];
    if (pipe(presses) != 0 || pipe(freeze) != 0)
        return 1;
    std::fflush(stdout);
    const int saved = dup(STDOUT_FILENO);
    if (!std::freopen("/dev/null", "w", stdout))
        return 1;
    const pid_t child = fork();
    if (child == 0) {
        close(presses[0]);
        std::this_thread::sleep_for(std::chrono::milliseconds(500)); // the host binds first
        std::_Exit(joiner(presses[1], freeze[1], relayed ? kRelayPort : kPort));
    }
    close(presses[1]);
    close(freeze[1]);
    std::atomic<bool> stop = false;
    std::jthread line; // started after the fork: the joiner's process has no relay
    if (relayed)
        line = std::jthread([&] { relay(delayMs, lossPercent, stop); });

    startGame(1);
    NetLink link;
    Options options;
    options.net = NetRole::Host;
    options.port = kPort;
    if (openNet(options, link) >= 0)
        return 1;
    std::vector<std::int64_t> applied;
    std::vector<InputEvent> waiting; // the host's keys until a tick takes them
    std::uint32_t rttSum = 0, rttCount = 0;
    auto last = Clock::now();
    const auto start = last, end = start + std::chrono::seconds(seconds);
    for (std::uint64_t frame = 0; Clock::now() < end; ++frame) {
        std::this_thread::sleep_until(last + kFrame);
        const auto now = Clock::now();
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now - last).count();
        last = now;
        // What the friend sent is applied in the frame's first tick: note
        // when (a frame without a tick keeps it for the next).
        pollNet(link);
        const std::int64_t at = nowUs();
        const auto downs = std::count_if(
            game.net.friendInput.begin(), game.net.friendInput.end(), [](const InputEvent &e) {
                return e.kind == InputKind::KeyDown && e.code != keys::kF4;
            });
        const std::vector<InputEvent> keys = keysAt(frame, 0);
        waiting.insert(waiting.end(), keys.begin(), keys.end());
        if (hostStep(link, static_cast<std::uint32_t>(ms), waiting,
                     static_cast<std::uint32_t>(at / 1000), 15)) {
            waiting.clear();
            applied.insert(applied.end(), static_cast<std::size_t>(downs), at);
        }
        if (const std::uint32_t rtt = netRoundTripMs(link); rtt > 0 && game.net.linked) {
            rttSum += rtt;
            ++rttCount;
        }
    }
    const double played = std::chrono::duration<double>(Clock::now() - start).count();
    const double up = static_cast<double>(netBytesReceived(link)) / 1024 / played;
    const double down = static_cast<double>(netBytesSent(link)) / 1024 / played;
    const std::uint32_t dropped = game.net.dropped;
    closeNet(link);
    int status = 1;
    waitpid(child, &status, 0);

    std::vector<std::int64_t> pressed;
    std::int64_t t = 0;
    while (read(presses[0], &t, sizeof t) == sizeof t)
        pressed.push_back(t);
    double delay = 0;
    const std::size_t n = std::min(pressed.size(), applied.size());
    for (std::size_t i = 0; i < n; ++i)
        delay += static_cast<double>(applied[i] - pressed[i]) / 1000.0;
    const double rtt = rttCount ? static_cast<double>(rttSum) / rttCount : 0;
    std::int64_t longest = -1;
    if (read(freeze[0], &longest, sizeof longest) != sizeof longest)
        longest = -1;
    stop = true;

    std::fflush(stdout);
    dup2(saved, STDOUT_FILENO);
    // ENet's round trip waits for each side's next frame to be answered.
    std::printf("# online play on 127.0.0.1: %.0f s at 60 frames a second, one-way delay %d ms, "
                "%.1f %% loss each way, %zu of %zu presses applied, ENet's round trip %.1f ms, "
                "%u packets dropped, joiner's exit status %d\n",
                played, delayMs, lossPercent, applied.size(), pressed.size(), rtt, dropped,
                WIFEXITED(status) ? WEXITSTATUS(status) : -1);
    std::printf("net_kbps_up %.3f\nnet_kbps_down %.3f\n", up, down);
    if (n > 0)
        std::printf("net_input_delay_ms %.3f\n", delay / static_cast<double>(n));
    if (longest >= 0)
        std::printf("net_freeze_ms %.1f\n", static_cast<double>(longest) / 1000.0);
    return 0;
}
