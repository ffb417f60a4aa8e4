// SPDX-License-Identifier: GPL-3.0-or-later
// The terrains reader on any bytes: the file is written as given and read
// with loadTerrains, then the table is checked, the choice of terrain is
// made a few times, and a few circles of each terrain raise a grid.

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "core/random.h"
#include "quiet.h"
#include "terrain/heightmap.h"
#include "terrain/terrain.h"
#include "terrain/texture.h"

namespace
{

std::string path;

[[noreturn]] void fault(const char *what)
{
    std::fprintf(stderr, "fuzz_terrains: %s\n", what);
    std::abort();
}

void check(bool ok, const char *what)
{
    if (!ok)
        fault(what);
}

void checkTable()
{
    check(numTerrains > 0, "a loaded table holds no terrain");
    check(static_cast<std::size_t>(numTerrains) == terrains.size(), "count and table differ");
    for (const Terrain &t : terrains) {
        const std::size_t n = strnlen(t.name.data(), t.name.size());
        check(n < t.name.size(), "a name is not terminated within 20 bytes");
        for (std::size_t i = 0; i < n; ++i)
            check(t.name[i] != '\n', "a name holds the line end");
        const float values[] = {t.circlesPerCell, t.circleSizeMin,      t.circleSizeMax,
                                t.circleHeight,   t.circleHeightFactor, t.gravity,
                                t.friction,       t.diffuse[0],         t.diffuse[1],
                                t.diffuse[2],     t.ambient[0],         t.ambient[1],
                                t.ambient[2],     t.noisePersistence};
        for (float v : values)
            check(std::isfinite(v), "a field is not a finite number");
        const int n2 = circleCount(t);
        check(n2 >= 0 && n2 <= kGridCells * kGridCells, "more circles than the grid has cells");
    }
}

void checkChoice()
{
    resetTerrainChoice();
    int before[2] = {-1, -1};
    for (int k = 0; k < 6; ++k) {
        const Terrain *t = newMap();
        check(t != nullptr, "no terrain chosen");
        const int i = static_cast<int>(t - terrains.data());
        check(i >= 0 && i < numTerrains && i == terrainCurrent, "the choice is outside the table");
        if (numTerrains >= 2)
            check(i != before[0], "the same terrain twice in a row");
        if (numTerrains >= 3 && k >= 2)
            check(i != before[1], "a terrain of the two before came back");
        before[1] = before[0];
        before[0] = i;
    }
}

// A few circles and texels of each terrain, through the code the grid and
// the texture use.
void raiseSome(unsigned seed)
{
    static std::array<unsigned char, kGridPoints> grid;
    seedGameRand(seed);
    for (std::size_t i = 0; i < terrains.size() && i < 4; ++i) {
        grid.fill(0);
        const Terrain &t = terrains[i];
        const int n = std::max(circleCount(t), 1);
        for (int k : {0, n / 2, n - 1}) {
            const Circle c = drawCircle(t, k, n);
            raiseCircle(grid.data(), c);
        }
        for (float x : {0.0f, 1.3f, 4.99f}) {
            const float total = noise2d(x, 5.0f - x, t.noisePersistence);
            check(!(total < -1 || total > 1), "the noise sum left -1..1");
            texelValue(total, t.noiseRange);
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    path = "/tmp/quorbly-fuzz-terrains-" + std::to_string(getpid());
    quietStdout();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    std::FILE *f = std::fopen(path.c_str(), "wb");
    if (!f)
        return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);

    if (loadTerrains(path.c_str())) {
        checkTable();
        checkChoice();
        raiseSome(static_cast<unsigned>(size));
    } else {
        check(numTerrains == 0 && terrains.empty(), "a failed load left terrains behind");
    }
    destroyTerrains();
    return 0;
}
