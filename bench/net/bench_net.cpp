// SPDX-License-Identifier: GPL-3.0-or-later
// quorbly-bench-net [SECONDS]: online play on 127.0.0.1, a host and a
// joiner in two processes, 60 frames a second of scripted keys on both
// sides for two minutes (or SECONDS), the game headless. Run from data/.
// Prints net_kbps_up (joiner to host) and net_kbps_down, in kilobytes a
// second on the wire (the IPv4 and UDP headers counted), and
// net_input_delay_ms: the mean time from the joiner's key press to the
// host applying it. The trip itself takes microseconds on 127.0.0.1, so
// that is the wait the game adds beyond the network's round trip.

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
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
constexpr std::uint16_t kPort = 27115;

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

// The joiner: each press's time goes down `presses` as it is sent.
int joiner(int presses)
{
    startGame(2);
    NetLink link;
    Options options;
    options.net = NetRole::Join;
    options.joinHost = "127.0.0.1";
    options.port = kPort;
    if (openNet(options, link) >= 0)
        return 1;
    int status = -1;
    for (std::uint64_t frame = 0; status < 0; ++frame) {
        const auto next = Clock::now() + kFrame;
        const std::vector<InputEvent> own = keysAt(frame, 1);
        const std::int64_t pressed = nowUs();
        if (!own.empty() && own[0].kind == InputKind::KeyDown &&
            write(presses, &pressed, sizeof pressed) != sizeof pressed)
            return 1;
        status = joinerStep(link, own);
        std::this_thread::sleep_until(next);
    }
    return status;
}

} // namespace

int main(int argc, char **argv)
{
    const int seconds = argc > 1 ? std::atoi(argv[1]) : 120;
    int presses[2];
    if (pipe(presses) != 0)
        return 1;
    std::fflush(stdout);
    const int saved = dup(STDOUT_FILENO);
    if (!std::freopen("/dev/null", "w", stdout))
        return 1;
    const pid_t child = fork();
    if (child == 0) {
        close(presses[0]);
        std::this_thread::sleep_for(std::chrono::milliseconds(500)); // the host binds first
        std::_Exit(joiner(presses[1]));
    }
    close(presses[1]);

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
        // What the friend sent is applied in this frame: note when.
        pollNet(link);
        const std::int64_t at = nowUs();
        for (const InputEvent &e : game.net.friendInput)
            if (e.kind == InputKind::KeyDown && e.code != keys::kF4)
                applied.push_back(at);
        const std::vector<InputEvent> keys = keysAt(frame, 0);
        waiting.insert(waiting.end(), keys.begin(), keys.end());
        if (hostStep(link, static_cast<std::uint32_t>(ms), waiting,
                     static_cast<std::uint32_t>(at / 1000), 15))
            waiting.clear();
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

    std::fflush(stdout);
    dup2(saved, STDOUT_FILENO);
    // ENet's round trip waits for each side's next frame to be answered.
    std::printf("# online play on 127.0.0.1: %.0f s at 60 frames a second, %zu of %zu presses "
                "applied, ENet's round trip %.1f ms, %u packets dropped, joiner's exit status "
                "%d\n",
                played, applied.size(), pressed.size(), rtt, dropped,
                WIFEXITED(status) ? WEXITSTATUS(status) : -1);
    std::printf("net_kbps_up %.3f\nnet_kbps_down %.3f\n", up, down);
    if (n > 0)
        std::printf("net_input_delay_ms %.3f\n", delay / static_cast<double>(n));
    return 0;
}
