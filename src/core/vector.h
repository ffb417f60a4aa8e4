// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Positions, velocities, forces and normals: three floats, always by value.
struct vector {
    float x, y, z;
    bool operator==(const vector &) const = default;
};

vector getVector(float x1, float y1, float z1, float x2, float y2, float z2);
vector sumVectors(vector v1, vector v2);
vector subVectors(vector v1, vector v2);
vector multiply(vector v, float multiplier);
vector crossProduct(vector v1, vector v2);
float dotProduct(vector v1, vector v2);
float magnitude(vector v);
vector normalise(vector v);
vector limit(vector v, float length);
vector negative(vector v);
