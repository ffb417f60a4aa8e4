// SPDX-License-Identifier: GPL-3.0-or-later
#include <GL/gl.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench.h"
#include "core/random.h"
#include "terrain/heightmap.h"
#include "terrain/mesh_gl.h"
#include "terrain/terrain.h"
#include "terrain/texture.h"
#include "terrain/texture_gl.h"

namespace
{

using Grid = std::array<unsigned char, kGridPoints>;

// Used when no definitions file is at hand: a dense field of small hills.
Terrain builtInTerrain()
{
    Terrain t{};
    std::strncpy(t.name.data(), "Bench Hills", t.name.size() - 1);
    t.circlesPerCell = 0.01f;
    t.circleSizeMin = 10;
    t.circleSizeMax = 30;
    t.circleHeight = 120;
    t.circleHeightFactor = 1;
    t.gravity = 9.81f;
    t.friction = 0.5f;
    t.diffuse = {0.6f, 0.7f, 0.6f, 1.0f};
    t.ambient = {0.2f, 0.25f, 0.2f, 1.0f};
    t.noisePersistence = 0.5f;
    t.noiseRange = 25;
    return t;
}

// Loads the definitions and makes the one with the most circles current.
void chooseTerrain(const std::string &file)
{
    bool loaded;
    {
        bench::QuietStdout quiet;
        loaded = loadTerrains(file.c_str());
    }
    if (!loaded) {
        bench::note("no terrains in '" + file + "': built-in definition");
        terrains = {builtInTerrain()};
        numTerrains = 1;
    }
    terrainCurrent = 0;
    for (int k = 1; k < numTerrains; ++k)
        if (circleCount(terrains[k]) > circleCount(terrains[terrainCurrent]))
            terrainCurrent = k;
    bench::note(std::string("terrain ") + terrains[terrainCurrent].name.data());
}

// The plain list: every surface vertex works out its own normal.
void buildDisplayListReference(const unsigned char *heightmap, unsigned int textureName,
                               const Terrain &t)
{
    glNewList(terrainDisplayList, GL_COMPILE);
    glPushMatrix();
    glPushAttrib(GL_LIGHTING_BIT | GL_POLYGON_BIT);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, textureName);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST_MIPMAP_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP);
    glMaterialfv(GL_FRONT, GL_AMBIENT, t.ambient.data());
    glMaterialfv(GL_FRONT, GL_DIFFUSE, t.diffuse.data());
    glEnable(GL_CULL_FACE);
    glBegin(GL_QUADS);
    for (int i = 0; i < kGridCells; ++i)
        for (int j = 0; j < kGridCells; ++j) {
            glTexCoord2d(i / 150.0, j / 150.0);
            drawHeightMapVertex(heightmap, i, j);
            glTexCoord2d(i / 150.0, (j + 1) / 150.0);
            drawHeightMapVertex(heightmap, i, j + 1);
            glTexCoord2d((i + 1) / 150.0, (j + 1) / 150.0);
            drawHeightMapVertex(heightmap, i + 1, j + 1);
            glTexCoord2d((i + 1) / 150.0, j / 150.0);
            drawHeightMapVertex(heightmap, i + 1, j);
        }
    glEnd();
    glDisable(GL_TEXTURE_2D);
    struct Sink {
        void begin() { glBegin(GL_QUADS); }
        void end() { glEnd(); }
        void texCoord(double s, double t) { glTexCoord2d(s, t); }
        void normal(vector n) { glNormal3f(n.x, n.y, n.z); }
        void vertex(vector p) { glVertex3f(p.x, p.y, p.z); }
    } sink;
    walkBottom(sink);
    walkWalls(heightmap, sink);
    glPopAttrib();
    glPopMatrix();
    glEndList();
}

} // namespace

namespace bench
{

void terrainFigures(const Context &ctx)
{
    chooseTerrain(ctx.terrainsFile);
    const Terrain &t = terrains[terrainCurrent];
    std::FILE *null = std::fopen("/dev/null", "w");

    Grid grid{};
    Grid plain{};
    const double gridMs = medianMs(41, [&] {
        seedGameRand(1);
        generateHeightMap(grid.data(), t, null);
    });
    const double gridRefMs = medianMs(7, [&] {
        seedGameRand(1);
        generateHeightMapReference(plain.data(), t, null);
    });
    figure("heightmap_circles", circleCount(t));
    figure("heightmap_ms", gridMs);
    figure("heightmap_reference_ms", gridRefMs);
    figure("heightmap_speedup", gridRefMs / gridMs);
    figure("heightmap_identical", grid == plain ? 1 : 0);

    std::array<unsigned char, kTexels> fast{};
    const double texMs = medianMs(21, [&] { generateTexture(t, 12345, null); });
    fast = texture;
    const double texRefMs = medianMs(5, [&] { generateTextureReference(t, 12345, null); });
    figure("texture_ms", texMs);
    figure("texture_reference_ms", texRefMs);
    figure("texture_speedup", texRefMs / texMs);
    figure("texture_identical", fast == texture ? 1 : 0);
    std::fclose(null);

    if (!ctx.gl) {
        note("mesh_ms, mesh_reference_ms, new_terrain_ms skipped: no GL context");
        return;
    }

    GLuint tex = 0;
    glGenTextures(1, &tex);
    const double meshMs = medianMs(15, [&] {
        terrainDisplayList = glGenLists(1);
        buildDisplayList(grid.data(), tex);
        glFinish();
        destroyHeightMap();
    });
    const double meshRefMs = medianMs(9, [&] {
        terrainDisplayList = glGenLists(1);
        buildDisplayListReference(grid.data(), tex, t);
        glFinish();
        destroyHeightMap();
    });
    glDeleteTextures(1, &tex);
    figure("mesh_ms", meshMs);
    figure("mesh_reference_ms", meshRefMs);
    figure("mesh_speedup", meshRefMs / meshMs);

    // What a new match waits for: texture with its mipmaps, grid, list. The
    // old list and texture are released outside the clock.
    Grid hm{};
    float mean = 0;
    std::vector<double> times;
    {
        QuietStdout quiet;
        seedGameRand(1);
        for (int run = 0; run < 16; ++run) {
            const auto start = std::chrono::steady_clock::now();
            const unsigned int name = initTexture(&t);
            initHeightMap(hm.data(), name);
            mean = getAverageHeight(hm.data());
            glFinish();
            const auto stop = std::chrono::steady_clock::now();
            if (run > 0) // the first run warms up
                times.push_back(std::chrono::duration<double, std::milli>(stop - start).count());
            destroyHeightMap();
            deleteTexture(name);
            glFinish();
        }
    }
    std::sort(times.begin(), times.end());
    const double newMs = times[times.size() / 2];
    figure("new_terrain_ms", newMs);
    figure("new_terrain_average_height", mean);
}

} // namespace bench
