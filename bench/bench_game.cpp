// SPDX-License-Identifier: GPL-3.0-or-later
#include <GL/gl.h>
#include <GL/glu.h>
#include <SDL.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "bench.h"
#include "core/entry.h"
#include "core/game.h"
#include "core/match.h"
#include "core/random.h"
#include "core/state.h"
#include "render/display.h"
#include "render/glext_gl.h"
#include "render/model.h"
#include "sim/particle.h"
#include "sim/powerup.h"
#include "sim/update.h"
#include "terrain/heightmap.h"
#include "terrain/mesh_gl.h"
#include "terrain/terrain.h"

namespace
{

constexpr float kStep = 1.0f / 60.0f;

// A snapshot of play (core/state.h): every timed update starts from the very
// same moment of the match.
using Moment = MatchState;

Moment capture()
{
    return game.match;
}

void restore(const Moment &m)
{
    game.match = m;
}

int liveParticles()
{
    return static_cast<int>(std::count_if(particles.begin(), particles.end(),
                                          [](const Particle &p) { return p.active == 1; }));
}

// A match in full swing: player 1 circles, the bot chases it, a powerup lies
// on the field and a bomb-sized burst fills the whole pool of sparks.
void stageMidMatch()
{
    seedGameRand(7);
    beginMatch();
    setupPlayers();
    toggleBot = 1;
    // Half a turn each way, so player 1 stays well inside the square.
    const std::array<std::array<int, 2>, 4> keys{{{1, 1}, {-1, 1}, {-1, -1}, {1, -1}}};
    for (int frame = 0; frame < 240; ++frame) {
        const auto &k = keys[static_cast<std::size_t>(frame / 30 % 4)];
        players[0].pressx = k[0];
        players[0].pressy = k[1];
        update(kStep);
    }
    const float px = 8.0f, pz = 9.0f;
    spawnPowerup(&powerup, px, getRealHeight(heightmap.data(), px, pz), pz);
    nextPowerupSpawn = 1000.0f; // no second one while we measure
    powerupActive = 0;
    for (int frame = 0; frame < 10; ++frame)
        update(kStep);
    createExplosion(7.5f, getRealHeight(heightmap.data(), 7.5f, 7.5f) + 0.5f, 7.5f, 1.0f, 5.0f,
                    0.9f, 0.9f, 0.5f, 0.9f, 0.7f, 0.0f);
    for (int frame = 0; frame < 12; ++frame)
        update(kStep);
}

void describeMoment()
{
    for (int i = 0; i < 2; ++i) {
        const Player &p = players[static_cast<std::size_t>(i)];
        char line[160];
        std::snprintf(line, sizeof line, "player %d at (%.2f, %.2f, %.2f) speed %.2f grounded %d",
                      i + 1, p.x, p.y, p.z, magnitude(p.velocity), p.grounded);
        bench::note(line);
    }
    bench::note("powerup " +
                std::string(powerup.active == 1 ? "on the field" : "NOT on the field") +
                ", live particles " + std::to_string(liveParticles()));
}

void updateFigures(const Moment &moment)
{
    std::vector<double> times;
    for (int run = 0; run < 4001; ++run) {
        restore(moment);
        seedGameRand(11);
        const auto start = std::chrono::steady_clock::now();
        update(kStep);
        const auto stop = std::chrono::steady_clock::now();
        times.push_back(std::chrono::duration<double, std::micro>(stop - start).count());
    }
    std::sort(times.begin(), times.end());
    bench::figure("update_us", times[times.size() / 2]);

    // The biggest single step, on its own.
    times.clear();
    for (int run = 0; run < 4001; ++run) {
        restore(moment);
        const auto start = std::chrono::steady_clock::now();
        updateParticles(heightmap.data(), terrain->gravity, kStep);
        const auto stop = std::chrono::steady_clock::now();
        times.push_back(std::chrono::duration<double, std::micro>(stop - start).count());
    }
    std::sort(times.begin(), times.end());
    bench::figure("update_particles_us", times[times.size() / 2]);
    restore(moment);
}

// The frame with nothing but the terrain list, in both passes, with the
// same views, shadow map, texture units and program as display() uses.
void terrainOnlyFrame()
{
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);

    qglBindFramebufferEXT(GL_FRAMEBUFFER_EXT, shadowMapFBO);
    qglFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT, GL_TEXTURE_2D,
                               shadowMapTexture, 0);
    glDrawBuffer(GL_NONE);
    glReadBuffer(GL_NONE);
    glPushAttrib(GL_VIEWPORT_BIT);
    glViewport(0, 0, 2048, 2048);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClear(GL_DEPTH_BUFFER_BIT);
    glColorMask(GL_FALSE, GL_FALSE, GL_FALSE, GL_FALSE);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    gluPerspective(70.0, 1.0, 10.0, 100.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(lightPos[0], lightPos[1], lightPos[2], 7.5, 0.0, 7.5, 0.0, 1.0, 0.0);
    glPolygonOffset(4.0f, 4.0f);
    glEnable(GL_POLYGON_OFFSET_FILL);
    glDisable(GL_LIGHTING);
    drawHeightMap(heightmap.data());
    glEnable(GL_LIGHTING);
    glDisable(GL_POLYGON_OFFSET_FILL);
    glPopAttrib();
    qglBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    glColorMask(GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glViewport(0, 0, w, h);

    glClear(GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glRotatef(360.0f - cameraRot, 1.0f, 0.0f, 0.0f);
    glTranslatef(-cameraPos[0], -cameraPos[1], -cameraPos[2]);
    glLightfv(GL_LIGHT0, GL_POSITION, lightPos.data());
    glLightfv(GL_LIGHT0, GL_AMBIENT, lightAmb.data());
    glLightfv(GL_LIGHT0, GL_DIFFUSE, lightDiff.data());
    glLightfv(GL_LIGHT0, GL_SPECULAR, lightSpec.data());
    qglActiveTexture(GL_TEXTURE1);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, shadowMapTexture);
    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    glTranslatef(0.5f, 0.5f, 0.5f);
    glScalef(0.5f, 0.5f, 0.5f);
    gluPerspective(70.0, 1.0, 10.0, 100.0);
    gluLookAt(lightPos[0], lightPos[1], lightPos[2], 7.5, 0.0, 7.5, 0.0, 1.0, 0.0);
    glMatrixMode(GL_MODELVIEW);
    const std::array<std::array<GLfloat, 4>, 4> planes{
        {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}};
    const std::array<GLenum, 4> coords{GL_S, GL_T, GL_R, GL_Q};
    const std::array<GLenum, 4> gens{GL_TEXTURE_GEN_S, GL_TEXTURE_GEN_T, GL_TEXTURE_GEN_R,
                                     GL_TEXTURE_GEN_Q};
    for (std::size_t i = 0; i < 4; ++i) {
        glTexGeni(coords[i], GL_TEXTURE_GEN_MODE, GL_EYE_LINEAR);
        glTexGenfv(coords[i], GL_EYE_PLANE, planes[i].data());
        glEnable(gens[i]);
    }
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_COMPARE_MODE_ARB, GL_COMPARE_R_TO_TEXTURE_ARB);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_COMPARE_FUNC_ARB, GL_LEQUAL);
    glTexParameteri(GL_TEXTURE_2D, GL_DEPTH_TEXTURE_MODE_ARB, GL_INTENSITY);

    qglUseProgram(programTerrain);
    qglUniform1i(qglGetUniformLocation(programTerrain, "multiShadows"), toggleMultiShadows);
    qglUniform1i(qglGetUniformLocation(programTerrain, "ShadowMap"), 1);
    qglActiveTexture(GL_TEXTURE0);
    qglUniform1i(qglGetUniformLocation(programTerrain, "Texture"), 0);
    drawHeightMap(heightmap.data());
    qglUseProgram(0);

    qglActiveTexture(GL_TEXTURE1);
    for (GLenum gen : gens)
        glDisable(gen);
    glDisable(GL_TEXTURE_2D);
    glGetError();
}

// Wall and process CPU milliseconds (all threads, the renderer's included)
// of one drawing plus the swap; glFinish makes sure the software renderer
// has really finished before the clocks stop.
struct FrameTimes {
    std::vector<double> wall, cpu;
};

double cpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

template <class Draw> void timeFrames(int runs, Draw &&draw, FrameTimes *out)
{
    for (int r = 0; r < runs; ++r) {
        const double cpu0 = cpuMs();
        const auto start = std::chrono::steady_clock::now();
        draw();
        SDL_GL_SwapBuffers();
        glFinish();
        const auto stop = std::chrono::steady_clock::now();
        out->cpu.push_back(cpuMs() - cpu0);
        out->wall.push_back(std::chrono::duration<double, std::milli>(stop - start).count());
    }
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void frameFigures()
{
    const bool shadowed = toggleShadows == 1 && shadersSupported == 1 && shadowsDisabled == 0;
    bench::note(std::string("window ") + std::to_string(w) + "x" + std::to_string(h) +
                ", shadows " + (shadowed ? "on" : "OFF (frame figures skipped)"));
    if (!shadowed)
        return;
    const auto full = [] { display(SDL_GetVideoSurface()); };
    // Warm up: the renderer compiles its shader variants on first use.
    FrameTimes ignored;
    timeFrames(3, full, &ignored);
    timeFrames(3, terrainOnlyFrame, &ignored);
    // Short turns of each kind, so that a busy moment of the machine hits both.
    FrameTimes frame, terrainFrame;
    for (int round = 0; round < 8; ++round) {
        timeFrames(5, full, &frame);
        timeFrames(5, terrainOnlyFrame, &terrainFrame);
    }
    bench::figure("frame_ms", median(frame.wall));
    bench::figure("frame_terrain_ms", median(terrainFrame.wall));
    bench::figure("frame_overhead", median(frame.wall) / median(terrainFrame.wall));
    // CPU time hardly changes with what else the machine is doing.
    bench::figure("frame_cpu_ms", median(frame.cpu));
    bench::figure("frame_terrain_cpu_ms", median(terrainFrame.cpu));
    bench::figure("frame_overhead_cpu", median(frame.cpu) / median(terrainFrame.cpu));
}

// Frames for the instruction counter, each kind in a function of its own
// (bench/frame-parts.sh runs them under callgrind): every kind leaves out
// one more part, down to the terrain alone.
constexpr int kPartFrames = 4;

void drawFrames(int n)
{
    for (int i = 0; i < n; ++i) {
        display(SDL_GetVideoSurface());
        SDL_GL_SwapBuffers();
        glFinish();
    }
}

[[gnu::noipa]] void framePartFull()
{
    drawFrames(kPartFrames);
}
[[gnu::noipa]] void framePartNoSparks()
{
    drawFrames(kPartFrames);
}
[[gnu::noipa]] void framePartNoHud()
{
    drawFrames(kPartFrames);
}
[[gnu::noipa]] void framePartNoFigures()
{
    drawFrames(kPartFrames);
}
[[gnu::noipa]] void framePartTerrain()
{
    for (int i = 0; i < kPartFrames; ++i) {
        terrainOnlyFrame();
        SDL_GL_SwapBuffers();
        glFinish();
    }
}

void frameParts()
{
    const std::array<Particle, kParticleCount> sparks = particles;
    const int powerupOn = powerup.active;
    // Every kind once unmeasured first: the renderer compiles shader variants
    // on first use, and the first full frames after the terrain-only ones
    // cost more again.
    for (int pass = 0; pass < 2; ++pass) {
        const bool count = pass == 1;
        drawFrames(2);
        if (count)
            framePartFull();
        initParticles();
        count ? framePartNoSparks() : drawFrames(2);
        toggleHUD = 0;
        count ? framePartNoHud() : drawFrames(2);
        std::array<std::unique_ptr<ObjModel>, 6> models{std::move(head),  std::move(body),
                                                        std::move(ffoot), std::move(bfoot),
                                                        std::move(ball),  std::move(item)};
        powerup.active = 0;
        count ? framePartNoFigures() : drawFrames(2);
        head = std::move(models[0]);
        body = std::move(models[1]);
        ffoot = std::move(models[2]);
        bfoot = std::move(models[3]);
        ball = std::move(models[4]);
        item = std::move(models[5]);
        if (count) {
            framePartTerrain();
        } else {
            for (int i = 0; i < 2; ++i)
                terrainOnlyFrame();
        }
        particles = sparks;
        powerup.active = powerupOn;
        toggleHUD = 1;
    }
}

} // namespace

namespace bench
{

void gameFigures(const Context &ctx)
{
    if (ctx.gl) {
        // The game's own set-up in the game's own window size: programs,
        // light, models, terrain list and texture, players.
        std::FILE *probe = std::fopen("terrains", "r");
        if (!probe) {
            note("no 'terrains' in the working directory: game figures skipped");
            return;
        }
        std::fclose(probe);
        {
            QuietStdout quiet;
            seedGameRand(1);
            init();
            reshape(SDL_GetVideoSurface()->w, SDL_GetVideoSurface()->h);
        }
    } else {
        // Headless: the terrain alone, enough for the frame update.
        terrainCurrent = std::min(terrainCurrent, numTerrains - 1);
        if (terrainCurrent < 0)
            return;
        terrain = &terrains[static_cast<std::size_t>(terrainCurrent)];
        std::FILE *null = std::fopen("/dev/null", "w");
        seedGameRand(1);
        generateHeightMap(heightmap.data(), *terrain, null);
        std::fclose(null);
    }
    note(std::string("match on ") + terrain->name.data());
    {
        QuietStdout quiet;
        stageMidMatch();
    }
    describeMoment();
    const Moment moment = capture();
    if (!ctx.frameParts)
        updateFigures(moment);

    if (!ctx.gl) {
        note("frame_ms, frame_terrain_ms, frame_overhead skipped: no GL context");
        return;
    }
    if (ctx.frameParts)
        frameParts();
    else
        frameFigures();
    restore(moment);
    cleanup();
}

} // namespace bench
