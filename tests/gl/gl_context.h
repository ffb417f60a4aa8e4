// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The GL tests' one fixture: the game set up by its own init() on the shipped
// data in a real window (Xvfb, Mesa), and frames read back from it.

#include <GL/gl.h>
#include <GL/glu.h>
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "audio/sound.h"
#include "core/controls.h"
#include "core/entry.h"
#include "core/game.h"
#include "core/loop.h"
#include "core/match.h"
#include "core/state.h"
#include "render/display.h"
#include "render/figures.h"
#include "render/hud.h"
#include "render/model.h"
#include "render/particles_gl.h"
#include "render/shader.h"
#include "sim/particle.h"
#include "sim/update.h"
#include "terrain/mesh_gl.h"
#include "terrain/texture.h"
#include "terrain/texture_gl.h"

namespace gltest
{

constexpr int kW = 800, kH = 600;

// RGBA rows read back bottom row first, (x, y) from the bottom-left corner.
struct Frame {
    int width = 0, height = 0;
    std::vector<std::uint8_t> data;
    const std::uint8_t *at(int x, int y) const
    {
        return &data[(static_cast<std::size_t>(y) * width + x) * 4];
    }
    int brightness(int x, int y) const { return at(x, y)[0] + at(x, y)[1] + at(x, y)[2]; }
};

Frame grab(int width = kW, int height = kH);
// What the game's init() wrote to standard error.
std::string initErrors();
// The framebuffer SDL draws the window into.
GLint windowFramebuffer();
// Pixels whose summed RGB difference exceeds `threshold`.
int differing(const Frame &a, const Frame &b, int threshold = 0);
// What the code run by `body` writes to standard error.
template <class F> std::string stderrOf(F body)
{
    ::testing::internal::CaptureStderr();
    body();
    return ::testing::internal::GetCapturedStderr();
}

// Each test starts from a new match on the first shipped terrain, 800x600,
// with the toggles and programs the game starts with.
class Game : public ::testing::Test
{
  protected:
    void SetUp() override;
    static Frame frame() // what display() draws
    {
        display(nullptr);
        return grab();
    }
    // Levels the whole field at `height` and recompiles its list.
    static void flatField(unsigned char height = 0)
    {
        heightmap.fill(height);
        destroyHeightMap();
        terrainDisplayList = glGenLists(1);
        buildDisplayList(heightmap.data(), textureName);
    }
};

} // namespace gltest
