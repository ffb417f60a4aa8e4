#pragma once

#include <array>
#include <cstdint>
#include <vector>

// A real SDL window with an OpenGL context for the GL tests (run under Xvfb).
namespace gltest
{

// Opens (once per process) a window of the given size; false without a display.
bool openWindow(int width = 800, int height = 600);
void closeWindow();

// RGBA of one pixel, with (x, y) from the bottom-left corner like glReadPixels.
std::array<std::uint8_t, 4> pixel(int x, int y);
// The whole framebuffer as RGBA rows, bottom row first.
std::vector<std::uint8_t> readFrame(int width, int height);
// Writes the framebuffer to a binary PPM (top row first) for people to look at.
bool saveFrame(const char *path, int width, int height);

} // namespace gltest
