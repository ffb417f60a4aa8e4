// SPDX-License-Identifier: GPL-3.0-or-later
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench.h"
#include "core/match.h"
#include "core/state.h"
#include "replay/replay.h"

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
}

} // namespace bench
