// SPDX-License-Identifier: GPL-3.0-or-later
// quorbly-bench-net [SECONDS] [--delay MS --loss P]: online play on
// 127.0.0.1, a host and a joiner in two processes, each driving the game's
// real loop (netStep) headless at 60 frames a second, an arrow pressed
// every half second on each side. Without --delay or --loss it prints a
// table of one-way delays 0, 15, 40 and 75 ms at 0 and 5 % loss, SECONDS
// (30) a row; with them, that row alone, one figure a line. The joiner
// reaches the host through a relay in the host's process that holds each
// datagram MS milliseconds (give or take a quarter, so some overtake
// others) and loses P percent of them, each way on its own draw.
//
// A press is seen on a screen once a frame ends with that ball's keys
// held: net_own_delay_ms_* is the press to its own ball on its own screen
// (offline play sees it at the end of the same frame), net_other_delay_ms
// to the other screen. net_freeze_ms is the longest a side's frames ran
// no tick while linked (the join included: the host waits for the joiner's
// first inputs, and at 5 % loss a fragment of the welcome may wait for
// ENet's resend), net_freeze_ms_joined the same from 2 s after the join; net_rollback_us the p99 of
// a frame's ticks (the sure ones run again, the guessed put right and the new ones); net_kbps_* the
// bytes each way on the wire (IPv4 and UDP headers counted) in KB/s.

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
#include "net/rollback.h"
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

// What one side measured, in microseconds on the steady clock both
// processes share.
struct Side {
    std::vector<std::int64_t> pressed, ownSeen,
        otherSeen; // its presses, seen here, the other's seen here
    std::vector<std::int64_t> frameUs;
    std::int64_t longestStill = 0, longestStillJoined = 0; // the latter from 2 s after the join
    double kbpsUp = 0, kbpsDown = 0;
    std::uint32_t resyncs = 0;
};

// Plays one side for `seconds` at 60 frames a second: an arrow pressed
// every half second, each press's time noted, and when each ball's keys
// first showed a press on this screen.
Side playSide(NetLink &link, int seconds, std::uint64_t offset)
{
    Side side;
    const bool host = game.net.role == NetRole::Host;
    const std::size_t mine = host ? 0 : 1;
    std::vector<InputEvent> waiting;
    int held[2] = {0, 0};
    auto last = Clock::now();
    std::int64_t lastMoved = 0, linkedAt = 0;
    const auto end = last + std::chrono::seconds(seconds);
    for (std::uint64_t frame = 0; Clock::now() < end; ++frame) {
        std::this_thread::sleep_until(last + kFrame);
        const auto now = Clock::now();
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now - last).count();
        last = now;
        const std::vector<InputEvent> own =
            game.net.linked ? keysAt(frame, offset) : std::vector<InputEvent>{};
        if (!own.empty() && own[0].kind == InputKind::KeyDown)
            side.pressed.push_back(nowUs());
        const std::uint32_t before = game.net.rollback.tick;
        if (netStep(link, static_cast<std::uint32_t>(ms), own, 30) >= 0)
            break;
        side.frameUs.push_back(link.frameUs);
        const std::int64_t at = nowUs();
        if (game.net.rollback.tick != before || lastMoved == 0) {
            if (game.net.linked && linkedAt == 0)
                linkedAt = at;
            if (lastMoved > 0 && game.net.linked)
                side.longestStill = std::max(side.longestStill, at - lastMoved);
            if (lastMoved > 0 && game.net.linked && at - linkedAt > 2000000)
                side.longestStillJoined = std::max(side.longestStillJoined, at - lastMoved);
            lastMoved = at;
        }
        for (std::size_t p = 0; p < 2; ++p) {
            const int keys = players[p].keys.x != 0 || players[p].keys.y != 0;
            if (keys != 0 && held[p] == 0)
                (p == mine ? side.ownSeen : side.otherSeen).push_back(at);
            held[p] = keys;
        }
    }
    side.resyncs = game.net.resyncs;
    return side;
}

void writeAll(int fd, const std::vector<std::int64_t> &v)
{
    const std::uint64_t n = v.size();
    if (write(fd, &n, sizeof n) != sizeof n ||
        write(fd, v.data(), n * sizeof v[0]) != static_cast<ssize_t>(n * sizeof v[0]))
        std::_Exit(3);
}

std::vector<std::int64_t> readAll(int fd)
{
    std::uint64_t n = 0;
    if (read(fd, &n, sizeof n) != sizeof n || n > (1u << 24))
        return {};
    std::vector<std::int64_t> v(n);
    std::size_t got = 0;
    while (got < n * sizeof v[0]) {
        const ssize_t r = read(fd, reinterpret_cast<char *>(v.data()) + got, n * sizeof v[0] - got);
        if (r <= 0)
            return {};
        got += static_cast<std::size_t>(r);
    }
    return v;
}

// Each press against the first sighting after it, in milliseconds.
std::vector<double> delays(const std::vector<std::int64_t> &pressed,
                           const std::vector<std::int64_t> &seen)
{
    std::vector<double> out;
    auto s = seen.begin();
    for (const std::int64_t p : pressed) {
        s = std::lower_bound(s, seen.end(), p);
        if (s != seen.end())
            out.push_back(static_cast<double>(*s - p) / 1000.0);
    }
    return out;
}

double quantile(std::vector<double> v, double q)
{
    if (v.empty())
        return -1;
    std::sort(v.begin(), v.end());
    return v[static_cast<std::size_t>(q * static_cast<double>(v.size() - 1))];
}

using Row = std::vector<std::pair<std::string, double>>;

// One row: the joiner in a child process, the relay in this one.
Row runRow(int seconds, int delayMs, double lossPercent)
{
    const bool relayed = delayMs > 0 || lossPercent > 0;
    int pipeFd[2];
    if (pipe(pipeFd) != 0)
        return {};
    std::fflush(stdout);
    const pid_t child = fork();
    if (child == 0) {
        close(pipeFd[0]);
        std::this_thread::sleep_for(std::chrono::milliseconds(500)); // the host binds first
        resetGameState();
        startGame(2);
        NetLink link;
        Options options;
        options.net = NetRole::Join;
        options.joinHost = "127.0.0.1";
        options.port = relayed ? kRelayPort : kPort;
        if (openNet(options, link) >= 0)
            std::_Exit(1);
        Side side = playSide(link, seconds + 5, 1);
        side.kbpsUp = static_cast<double>(netBytesSent(link)) / 1024 / seconds;
        for (const auto *v : {&side.pressed, &side.ownSeen, &side.otherSeen, &side.frameUs})
            writeAll(pipeFd[1], *v);
        const std::vector<std::int64_t> tail{side.longestStill, side.resyncs,
                                             side.longestStillJoined};
        writeAll(pipeFd[1], tail);
        closeNet(link, nullptr, false);
        std::_Exit(0);
    }
    close(pipeFd[1]);
    std::atomic<bool> stop = false;
    std::jthread line; // started after the fork: the joiner's process has no relay
    if (relayed)
        line = std::jthread([&] { relay(delayMs, lossPercent, stop); });
    resetGameState();
    startGame(1);
    NetLink link;
    Options options;
    options.net = NetRole::Host;
    options.port = kPort;
    if (openNet(options, link) >= 0)
        return {};
    beginTicks(0, 0, 0);
    const auto started = Clock::now();
    Side host = playSide(link, seconds, 0);
    const double played = std::chrono::duration<double>(Clock::now() - started).count();
    host.kbpsUp = static_cast<double>(netBytesSent(link)) / 1024 / played;
    host.kbpsDown = static_cast<double>(netBytesReceived(link)) / 1024 / played;
    closeNet(link);
    Side joiner;
    joiner.pressed = readAll(pipeFd[0]);
    joiner.ownSeen = readAll(pipeFd[0]);
    joiner.otherSeen = readAll(pipeFd[0]);
    joiner.frameUs = readAll(pipeFd[0]);
    const std::vector<std::int64_t> tail = readAll(pipeFd[0]);
    int status = 1;
    waitpid(child, &status, 0);
    close(pipeFd[0]);
    stop = true;
    std::vector<double> frameUs;
    for (const auto *v : {&host.frameUs, &joiner.frameUs})
        for (const std::int64_t us : *v)
            frameUs.push_back(static_cast<double>(us));
    std::vector<double> other = delays(host.pressed, joiner.otherSeen);
    const std::vector<double> back = delays(joiner.pressed, host.otherSeen);
    other.insert(other.end(), back.begin(), back.end());
    const std::vector<double> ownHost = delays(host.pressed, host.ownSeen),
                              ownJoiner = delays(joiner.pressed, joiner.ownSeen);
    return {{"net_presses_host", static_cast<double>(host.pressed.size())},
            {"net_presses_joiner", static_cast<double>(joiner.pressed.size())},
            {"net_own_delay_ms_host", quantile(ownHost, 0.5)},
            {"net_own_delay_ms_host_p90", quantile(ownHost, 0.9)},
            {"net_own_delay_ms_joiner", quantile(ownJoiner, 0.5)},
            {"net_own_delay_ms_joiner_p90", quantile(ownJoiner, 0.9)},
            {"net_other_delay_ms", quantile(other, 0.5)},
            {"net_freeze_ms",
             static_cast<double>(std::max(host.longestStill, tail.empty() ? 0 : tail[0])) / 1000},
            {"net_freeze_ms_joined",
             static_cast<double>(std::max(host.longestStillJoined, tail.size() > 2 ? tail[2] : 0)) /
                 1000},
            {"net_rollback_us", quantile(frameUs, 0.99)},
            {"net_resyncs", host.resyncs + (tail.size() > 1 ? static_cast<double>(tail[1]) : 0)},
            {"net_kbps_up", host.kbpsDown}, // the joiner's, to the host
            {"net_kbps_down", host.kbpsUp}, // the host's, to the joiner
            {"net_joiner_status", WIFEXITED(status) ? WEXITSTATUS(status) : -1}};
}

} // namespace

int main(int argc, char **argv)
{
    int seconds = 30, delayMs = -1;
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
    const int saved = dup(STDOUT_FILENO);
    const auto quiet = [] { return std::freopen("/dev/null", "w", stdout) != nullptr; };
    const auto loud = [saved] {
        std::fflush(stdout);
        dup2(saved, STDOUT_FILENO);
    };
    std::printf("# online play on 127.0.0.1, both sides headless at 60 frames a second, %d s a "
                "row, an arrow pressed every half second on each side; a press is seen when "
                "the ball's keys show it after a frame; rollback_us is the p99 of a frame's "
                "ticks (the sure ones run again, the guessed ones put right, the new ones)\n",
                seconds);
    if (delayMs >= 0 || lossPercent > 0) {
        if (!quiet())
            return 1;
        const Row row = runRow(seconds, std::max(delayMs, 0), lossPercent);
        loud();
        for (const auto &[key, value] : row)
            std::printf("%s %.1f\n", key.c_str(), value);
        return 0;
    }
    std::printf("%-8s %-6s", "delay", "loss");
    bool header = false;
    for (const int d : {0, 15, 40, 75})
        for (const double loss : {0.0, 5.0}) {
            if (!quiet())
                return 1;
            const Row row = runRow(seconds, d, loss);
            loud();
            if (!header) {
                for (const auto &kv : row)
                    std::printf(" %s", kv.first.c_str() + 4);
                std::printf("\n");
                header = true;
            }
            std::printf("%-8d %-6.0f", d, loss);
            for (const auto &kv : row)
                std::printf(" %*.1f", static_cast<int>(kv.first.size()) - 4, kv.second);
            std::printf("\n");
            std::fflush(stdout);
        }
    return 0;
}
