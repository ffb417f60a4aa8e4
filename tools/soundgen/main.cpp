// SPDX-License-Identifier: GPL-3.0-or-later
// quorbly-soundgen OUTDIR: synthesizes the game's fourteen sounds and writes
// them to OUTDIR as Ogg Vorbis, 22050 Hz stereo. Same program, same bytes.

#include "effects.h"
#include "music.h"
#include "oggwriter.h"

#include <atomic>
#include <cmath>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace
{

struct Job {
    const char *file;
    int serial;
    float quality;
    double peakDb;
    std::function<sg::Stereo()> make;
};

std::vector<Job> jobs()
{
    using namespace sg;
    // The music first: the long renders start early when jobs run in parallel.
    return {
        {"music-1a.ogg", 0x51750001, 0.3f, kMusicPeakDb, renderMusic1a},
        {"music-1b.ogg", 0x51750002, 0.3f, kMusicPeakDb, renderMusic1b},
        {"music-2.ogg", 0x51750003, 0.3f, kMusicPeakDb, renderMusic2},
        {"bump.ogg", 0x51750004, 0.4f, kEffectPeakDb, [] { return makeBump(0); }},
        {"bump2.ogg", 0x51750005, 0.4f, kEffectPeakDb, [] { return makeBump(1); }},
        {"bump3.ogg", 0x51750006, 0.4f, kEffectPeakDb, [] { return makeBump(2); }},
        {"bumpsmall.ogg", 0x51750007, 0.4f, kSoftEffectPeakDb, makeBumpSmall},
        {"powerup-speed.ogg", 0x51750008, 0.4f, kEffectPeakDb, makeSpeed},
        {"powerup-resistance.ogg", 0x51750009, 0.4f, kEffectPeakDb, makeResistance},
        {"powerup-growth.ogg", 0x5175000A, 0.4f, kEffectPeakDb, makeGrowth},
        {"powerup-bomb.ogg", 0x5175000B, 0.4f, kEffectPeakDb, makeBomb},
        {"end-yousuck.ogg", 0x5175000C, 0.4f, kEffectPeakDb, makeLose},
        {"end-winner.ogg", 0x5175000D, 0.4f, kEffectPeakDb, makeWin},
        {"whee.ogg", 0x5175000E, 0.4f, kEffectPeakDb, makeWhee},
    };
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: quorbly-soundgen OUTDIR\n");
        return 2;
    }
    const std::string dir = argv[1];
    const std::vector<Job> list = jobs();
    std::vector<std::string> report(list.size());
    std::atomic<std::size_t> next{0};
    std::atomic<bool> failed{false};

    auto worker = [&]() {
        for (std::size_t i = next++; i < list.size(); i = next++) {
            const Job &job = list[i];
            const sg::Stereo audio = job.make();
            const std::vector<unsigned char> bytes =
                sg::encodeVorbisAtPeak(audio, job.quality, job.serial, job.file, job.peakDb);
            const std::string path = dir + "/" + job.file;
            if (bytes.empty() || !sg::writeFile(path, bytes)) {
                failed = true;
                report[i] = "cannot write " + path;
                continue;
            }
            const sg::Stereo decoded = sg::decodeVorbis(bytes);
            char line[160];
            std::snprintf(line, sizeof line, "%-24s %6.2f s  peak %6.1f dBFS  %7zu bytes", job.file,
                          static_cast<double>(decoded.size()) / sg::kRate,
                          20.0 * std::log10(decoded.peak()), bytes.size());
            report[i] = line;
        }
    };
    // Each file is made independently, so the output does not depend on
    // how many threads run.
    unsigned n = std::thread::hardware_concurrency();
    n = n == 0 ? 1 : (n > 4 ? 4 : n);
    std::vector<std::thread> threads;
    for (unsigned t = 0; t < n; ++t)
        threads.emplace_back(worker);
    for (std::thread &t : threads)
        t.join();

    for (const std::string &line : report)
        std::printf("%s\n", line.c_str());
    return failed ? 1 : 0;
}
