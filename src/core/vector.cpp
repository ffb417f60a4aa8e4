// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/vector.h"

#include <cmath>

vector getVector(float x1, float y1, float z1, float x2, float y2, float z2)
{
    return {x2 - x1, y2 - y1, z2 - z1};
}

vector sumVectors(vector v1, vector v2)
{
    return {v1.x + v2.x, v1.y + v2.y, v1.z + v2.z};
}

vector subVectors(vector v1, vector v2)
{
    return {v1.x - v2.x, v1.y - v2.y, v1.z - v2.z};
}

vector multiply(vector v, float multiplier)
{
    return {v.x * multiplier, v.y * multiplier, v.z * multiplier};
}

vector crossProduct(vector v1, vector v2)
{
    return {v1.y * v2.z - v1.z * v2.y, v1.z * v2.x - v1.x * v2.z, v1.x * v2.y - v1.y * v2.x};
}

float dotProduct(vector v1, vector v2)
{
    return v1.x * v2.x + v1.y * v2.y + v1.z * v2.z;
}

float magnitude(vector v)
{
    // Sum of squares in float, root in double.
    float sq = v.x * v.x + v.y * v.y + v.z * v.z;
    return static_cast<float>(std::sqrt(static_cast<double>(sq)));
}

vector normalise(vector v)
{
    float m = magnitude(v);
    // Zero (or NaN) length stays as it is rather than turning into NaN.
    if (!(m > 0.0f))
        return v;
    return {v.x / m, v.y / m, v.z / m};
}

vector limit(vector v, float length)
{
    if (magnitude(v) > length)
        return multiply(normalise(v), length);
    return v;
}

vector negative(vector v)
{
    return {-v.x, -v.y, -v.z};
}
