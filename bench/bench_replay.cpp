// SPDX-License-Identifier: GPL-3.0-or-later
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench.h"
#include "core/frame.h"
#include "core/match.h"
#include "core/random.h"
#include "core/state.h"
#include "replay/replay.h"
#include "replay/seek.h"

namespace
{

// The recorded seconds of one replay as played headless here, or -1 when
// it does not play to its end.
double playOnce(const std::string &path)
{
    resetGameState();
    Playback p;
    double seconds = 0;
    if (openReplay(p, path) && beginPlayback(p)) {
        beginSession();
        if (sessionStarted(p))
            while (const std::optional<float> s = playFrame(p))
                seconds += *s;
    }
    return p.ended && p.error.empty() ? seconds : -1;
}

// The same as the player runs it: `quorbly --replay FILE --headless`.
bool playProcess(const std::string &path)
{
    const pid_t child = fork();
    if (child == 0) {
        const std::string data = std::filesystem::current_path().string();
        execl(QUORBLY_GAME, QUORBLY_GAME, "--data", data.c_str(), "--replay", path.c_str(),
              "--headless", static_cast<char *>(nullptr));
        _exit(127);
    }
    int status = 0;
    return child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

// One session of the goldens' inputs and frames end to end, over and over
// until it is ten minutes long, recorded at `path`.
bool recordLongSession(const std::vector<std::string> &goldens, const std::string &path)
{
    resetGameState();
    Recorder r;
    if (!startRecording(r, path, {gameVersion(), 5, true, -1}))
        return false;
    seedGameRand(5);
    beginSession();
    toggleBot = 1;
    recordInput(r, nullptr);
    double recorded = 0;
    std::uint32_t clock = 0;
    while (recorded < 600) {
        for (const std::string &g : goldens) {
            Playback text;
            if (recorded >= 600)
                break;
            if (!openReplay(text, g))
                return false;
            for (std::size_t at = text.next; at < text.text.size();) {
                const std::size_t end = text.text.find('\n', at);
                ReplayLine l;
                const bool read = !parseLine(std::string_view(text.text).substr(at, end - at), l);
                at = end == std::string::npos ? text.text.size() : end + 1;
                if (!read ||
                    (l.kind != ReplayLine::Kind::Frame && l.kind != ReplayLine::Kind::Inputs))
                    continue;
                for (const InputEvent &e : l.inputs) {
                    takeInput(e, clock);
                    recordInput(r, &e);
                }
                if (l.kind == ReplayLine::Kind::Frame) {
                    runFrame(l.seconds);
                    recordFrame(r, l.seconds);
                    recorded += l.seconds;
                    clock += 16;
                }
            }
        }
    }
    finishRecording(r);
    return true;
}

double sinceMs(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

// The slowest of the watcher's seeks (5 s and 30 s either way, and back to
// the start) from places all through the replay, watched straight between
// them, and the replay's length in seconds; -1 on an error.
double worstSeekMs(const std::string &path, double &length)
{
    resetGameState();
    Playback p;
    Timeline t;
    if (!(openReplay(p, path) && beginPlayback(p)))
        return -1;
    beginSession();
    if (!sessionStarted(p))
        return -1;
    keepSnapshot(t, p);
    length = p.length;
    double worst = 0;
    for (double at = 3; at < p.length - 31; at += 29) {
        if (!seekTo(p, t, at)) // watched straight from the last place on
            return -1;
        for (const double to : {at + 5, at - 5, at + 30, at - 30, 0.0}) {
            const auto start = std::chrono::steady_clock::now();
            const bool ok = seekTo(p, t, to);
            worst = std::max(worst, sinceMs(start));
            if (!ok || !seekTo(p, t, at))
                return -1;
        }
    }
    return worst;
}

} // namespace

namespace bench
{

void replayFigures(const Context &)
{
    std::vector<std::string> goldens;
    for (const auto &entry : std::filesystem::directory_iterator(QUORBLY_GOLDENS))
        if (entry.path().extension() == ".qrp")
            goldens.push_back(entry.path().string());
    if (goldens.empty()) {
        note("no golden matches in " QUORBLY_GOLDENS ": replay figures skipped");
        return;
    }
    double recorded = 0;
    bool ok = true;
    const double ms = medianMs(3, [&] {
        QuietStdout quiet;
        recorded = 0;
        for (const std::string &g : goldens) {
            const double s = playOnce(g);
            ok = ok && s >= 0;
            recorded += s;
        }
    });
    const double processMs = medianMs(3, [&] {
        QuietStdout quiet;
        for (const std::string &g : goldens)
            ok = playProcess(g) && ok;
    });
    if (!ok) {
        note("a golden match does not replay to its digests: replay figures skipped");
        return;
    }
    // Recorded game seconds per wall second, in the bench's process and
    // with a process of the game per replay (its start-up included).
    figure("replay_speed", recorded / (ms / 1000));
    figure("replay_speed_process", recorded / (processMs / 1000));

    const std::string longPath = std::filesystem::temp_directory_path() / "quorbly-bench-long.qrp";
    double length = 0, worst = -1;
    {
        QuietStdout quiet;
        if (recordLongSession(goldens, longPath))
            worst = worstSeekMs(longPath, length);
    }
    std::filesystem::remove(longPath);
    if (worst < 0) {
        note("the goldens end to end do not replay: replay_seek_ms skipped");
        return;
    }
    // A snapshot as the player keeps it (one copy) and as saveState's bytes.
    std::vector<ReplaySnapshot> copies(64);
    const double copyMs = medianMs(3, [&] {
        for (ReplaySnapshot &s : copies)
            s = {{}, takePlay(), game.view, game.session.texture};
    });
    std::vector<std::vector<std::uint8_t>> blocks(64);
    const double saveMs = medianMs(3, [&] {
        for (std::vector<std::uint8_t> &b : blocks)
            b = saveState();
    });
    note("a replay of " + std::to_string(static_cast<int>(length)) + " s, the goldens end to end");
    figure("replay_seek_ms", worst);
    figure("snapshot_copy_us", copyMs * 1000 / 64);
    figure("snapshot_save_us", saveMs * 1000 / 64);
}

} // namespace bench
