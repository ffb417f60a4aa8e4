// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <functional>
#include <string>
#include <vector>

// Geometry for the model generator: small vectors, parametric surfaces with
// smooth normals, and the OBJ writer.
namespace modelgen
{

struct Vec3 {
    double x = 0, y = 0, z = 0;
};

inline Vec3 operator+(Vec3 a, Vec3 b)
{
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
inline Vec3 operator-(Vec3 a, Vec3 b)
{
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
inline Vec3 operator*(Vec3 a, double s)
{
    return {a.x * s, a.y * s, a.z * s};
}
inline Vec3 operator*(double s, Vec3 a)
{
    return a * s;
}
double dot(Vec3 a, Vec3 b);
Vec3 cross(Vec3 a, Vec3 b);
double length(Vec3 a);
Vec3 normalised(Vec3 a);

// An orthonormal frame: local (x, y, z) maps to origin + x u + y v + z w.
struct Frame {
    Vec3 origin;
    Vec3 u{1, 0, 0}, v{0, 1, 0}, w{0, 0, 1};
    Vec3 place(Vec3 p) const { return origin + u * p.x + v * p.y + w * p.z; }
};
// A frame whose local x axis points along dir (y kept as close to up as it can).
Frame frameAlong(Vec3 origin, Vec3 dir, Vec3 up = {0, 1, 0});
// Rotates a frame's axes about its own local x, y or z axis by radians.
Frame turned(const Frame &f, int axis, double angle);

struct Corner {
    int vertex, normal; // 0-based
};

struct Mesh {
    std::vector<Vec3> positions;
    std::vector<Vec3> normals;
    std::vector<std::array<Corner, 3>> triangles;
};

// A closed surface over a latitude-longitude grid: f(s, t) with s in [0, 1)
// around and t from one pole (0) to the other (1). Normals are the
// area-weighted average of the faces around each vertex.
using Surface = std::function<Vec3(double s, double t)>;
void addClosed(Mesh &m, int around, int along, const Surface &f);
// A surface periodic both ways (a tube bent into a ring).
void addRing(Mesh &m, int around, int along, const Surface &f);
// A flat-shaded triangle (one normal per face) of a convex part; keep these
// out of meshes made of smooth parts.
// Its normal is turned to face away from inside.
void addFacet(Mesh &m, Vec3 a, Vec3 b, Vec3 c, Vec3 inside);

// Points on an ellipsoid with semi-axes r placed by a frame.
Surface ellipsoid(const Frame &f, Vec3 r);

Surface sphere(Vec3 centre, double r);
// A tube bent into a circle of radius big in the plane across the frame's x axis.
Surface torus(const Frame &f, double big, double small);

// Fixed formatting so the files are the same on every run.
std::string toObj(const Mesh &m, const std::string &title);
bool writeFile(const std::string &path, const std::string &text);

double signedVolume(const Mesh &m);

} // namespace modelgen
