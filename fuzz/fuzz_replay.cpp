// SPDX-License-Identifier: GPL-3.0-or-later
// The replay reader and player on any bytes: a replay file is played from
// program start as `quorbly --replay FILE --headless` plays it, on a
// terrains file of one cheap terrain (fuzz/corpus/replay holds replays made
// on it). Whatever the bytes, the playback ends, and either plays to the
// end line or names one FILE:LINE: reason with status 1 or 2.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/match.h"
#include "core/state.h"
#include "quiet.h"
#include "replay/replay.h"

namespace
{

std::string path;

// A match costs a texture and a grid; a few per run are plenty.
constexpr int kMaxMatchLines = 4;

[[noreturn]] void fault(const char *what, const Playback &p)
{
    std::fprintf(stderr, "fuzz_replay: %s (status %d, '%s')\n", what, p.status, p.error.c_str());
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    const std::string dir = "/tmp/quorbly-fuzz-replay-" + std::to_string(getpid());
    path = dir + "/r.qrp";
    if (mkdir(dir.c_str(), 0700) != 0 || chdir(dir.c_str()) != 0)
        std::abort();
    std::FILE *t = std::fopen("terrains", "w");
    std::fputs("Fuzz,0.0001,20,60,80,2,0,9.81,0.5,0.9,0.8,0.5,0.35,0.3,0.15,0.6,40\n", t);
    std::fclose(t);
    quietStdout();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    int matchLines = 0;
    for (std::size_t at = 0; (at = text.find("match ", at)) != std::string_view::npos; ++at)
        ++matchLines;
    if (matchLines > kMaxMatchLines)
        return 0;
    std::FILE *f = std::fopen(path.c_str(), "wb");
    if (!f)
        return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);

    resetGameState();
    Playback p;
    if (openReplay(p, path) && beginPlayback(p)) {
        beginSession();
        if (sessionStarted(p))
            while (playFrame(p)) {
            }
    }
    const std::string where = path + ":";
    if (p.error.empty() != (p.status == 0) || (p.status != 0 && p.status != 1 && p.status != 2))
        fault("the status and the error disagree", p);
    if (p.error.empty() && !p.ended)
        fault("the playback stopped before the end line without an error", p);
    if (!p.error.empty() &&
        (p.error.compare(0, where.size(), where) != 0 || p.error.find('\n') != std::string::npos))
        fault("the error is not one line 'FILE:LINE: reason'", p);
    return 0;
}
