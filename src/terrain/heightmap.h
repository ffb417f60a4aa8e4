// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The height grid of a terrain: generation from raised circles, height
// queries, normals, and the mesh walked for drawing.

#include <array>
#include <cstdio>

#include "core/vector.h"

struct Terrain;

inline constexpr int kGridSize = 151;                     // samples per side
inline constexpr int kGridCells = 150;                    // cells per side
inline constexpr int kGridPoints = kGridSize * kGridSize; // 22801

// Fills the grid for terrain t with its random circles (draws rand()),
// printing "Generating terrain" and the progress dots.
void generateHeightMap(unsigned char *heightmap, const Terrain &t, std::FILE *progress = stdout);
float getAverageHeight(const unsigned char *heightmap);

float getHeight(const unsigned char *heightmap, int x, int y);
int inRange(const unsigned char *heightmap, float x, float y);
float getRealHeight(const unsigned char *heightmap, float x, float y);

// Smoothed normal of grid point (i, j) from its four neighbours.
vector heightMapNormal(const unsigned char *heightmap, int i, int j);

// One raising circle: centre at column a, row b (grid units), diameter `size`
// in grid cells, peak `height` in height bytes.
struct Circle {
    float a;
    float b;
    float height;
    float size;
};

// trunc(circlesPerCell * 22500); 0 for a negative or NaN density, and
// never more than one circle per cell.
inline constexpr int kMaxCircles = kGridCells * kGridCells;
int circleCount(const Terrain &t);
// Peak of circle k of n: the first gets the full circleHeight, later ones decay.
float circleHeightAt(const Terrain &t, int k, int n);
// Circle k of n, drawing rand() three times: column, row, size.
Circle drawCircle(const Terrain &t, int k, int n);
// Adds a circle's raised-cosine bump; sums are clamped to 0..255.
// Visits only the points the circle can reach.
void raiseCircle(unsigned char *heightmap, const Circle &c);
// The plain form: every circle visits all 22801 points. Kept to check
// raiseCircle against and to measure it by.
void raiseCircleReference(unsigned char *heightmap, const Circle &c);
// generateHeightMap built on raiseCircleReference; same draws, same output.
void generateHeightMapReference(unsigned char *heightmap, const Terrain &t,
                                std::FILE *progress = stdout);

// World position of grid point (i, j).
vector gridPoint(const unsigned char *heightmap, int i, int j);

// The terrain mesh as a stream of plain calls, so that the display list and
// the tests walk the very same geometry. A sink offers begin() and end()
// around each batch of quads, texCoord(double s, double t), normal(vector)
// and vertex(vector).

struct GridVertex {
    vector normal;
    vector position;
};
using GridColumn = std::array<GridVertex, kGridSize>;

// Normals and positions of column i, each normal as heightMapNormal gives it.
void gridColumn(const unsigned char *heightmap, int i, GridColumn &column);

// The textured surface: one batch of 150 x 150 quads, counter-clockwise from
// above, each vertex with its texture coordinate and smoothed normal.
template <class Sink> void walkSurface(const unsigned char *heightmap, Sink &sink)
{
    // Every grid point is shared by up to four quads; work out each normal once.
    GridColumn left;
    GridColumn right;
    gridColumn(heightmap, 0, right);
    sink.begin();
    for (int i = 0; i < kGridCells; ++i) {
        left = right;
        gridColumn(heightmap, i + 1, right);
        const double s0 = i / 150.0;
        const double s1 = (i + 1) / 150.0;
        for (int j = 0; j < kGridCells; ++j) {
            const double t0 = j / 150.0;
            const double t1 = (j + 1) / 150.0;
            sink.texCoord(s0, t0);
            sink.normal(left[j].normal);
            sink.vertex(left[j].position);
            sink.texCoord(s0, t1);
            sink.normal(left[j + 1].normal);
            sink.vertex(left[j + 1].position);
            sink.texCoord(s1, t1);
            sink.normal(right[j + 1].normal);
            sink.vertex(right[j + 1].position);
            sink.texCoord(s1, t0);
            sink.normal(right[j].normal);
            sink.vertex(right[j].position);
        }
    }
    sink.end();
}

// The bottom of the block at y = -1, facing down.
template <class Sink> void walkBottom(Sink &sink)
{
    sink.begin();
    sink.normal({0, -1, 0});
    sink.vertex({0, -1, 0});
    sink.vertex({15, -1, 0});
    sink.vertex({15, -1, 15});
    sink.vertex({0, -1, 15});
    sink.end();
}

// The four side walls from the edge heights down to y = -1, one batch of
// 150 quads each, in the order z = 0, z = 15, x = 0, x = 15; all face outward.
template <class Sink> void walkWalls(const unsigned char *heightmap, Sink &sink)
{
    const auto at = [](int i) { return static_cast<float>(i * 0.1); };
    sink.begin();
    for (int i = 0; i < kGridCells; ++i) {
        sink.normal({0, 0, -1});
        sink.vertex({at(i), getHeight(heightmap, i, 0), 0});
        sink.vertex({at(i + 1), getHeight(heightmap, i + 1, 0), 0});
        sink.vertex({at(i + 1), -1, 0});
        sink.vertex({at(i), -1, 0});
    }
    sink.end();
    sink.begin();
    for (int i = 0; i < kGridCells; ++i) {
        sink.normal({0, 0, 1});
        sink.vertex({at(i), getHeight(heightmap, i, kGridCells), 15});
        sink.vertex({at(i), -1, 15});
        sink.vertex({at(i + 1), -1, 15});
        sink.vertex({at(i + 1), getHeight(heightmap, i + 1, kGridCells), 15});
    }
    sink.end();
    sink.begin();
    for (int i = 0; i < kGridCells; ++i) {
        sink.normal({-1, 0, 0});
        sink.vertex({0, getHeight(heightmap, 0, i), at(i)});
        sink.vertex({0, -1, at(i)});
        sink.vertex({0, -1, at(i + 1)});
        sink.vertex({0, getHeight(heightmap, 0, i + 1), at(i + 1)});
    }
    sink.end();
    sink.begin();
    for (int i = 0; i < kGridCells; ++i) {
        sink.normal({1, 0, 0});
        sink.vertex({15, getHeight(heightmap, kGridCells, i), at(i)});
        sink.vertex({15, getHeight(heightmap, kGridCells, i + 1), at(i + 1)});
        sink.vertex({15, -1, at(i + 1)});
        sink.vertex({15, -1, at(i)});
    }
    sink.end();
}
