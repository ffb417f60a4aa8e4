// SPDX-License-Identifier: GPL-3.0-or-later
#include "mesh.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <utility>

namespace modelgen
{

double dot(Vec3 a, Vec3 b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

Vec3 cross(Vec3 a, Vec3 b)
{
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

double length(Vec3 a)
{
    return std::sqrt(dot(a, a));
}

Vec3 normalised(Vec3 a)
{
    const double l = length(a);
    return l > 0 ? a * (1 / l) : Vec3{0, 1, 0};
}

Frame frameAlong(Vec3 origin, Vec3 dir, Vec3 up)
{
    Frame f;
    f.origin = origin;
    f.u = normalised(dir);
    f.w = cross(f.u, up);
    if (length(f.w) < 1e-9)
        f.w = cross(f.u, Vec3{0, 0, 1});
    f.w = normalised(f.w);
    f.v = cross(f.w, f.u);
    return f;
}

Frame turned(const Frame &f, int axis, double angle)
{
    const double c = std::cos(angle), s = std::sin(angle);
    Frame g = f;
    if (axis == 0) {
        g.v = f.v * c + f.w * s;
        g.w = f.w * c - f.v * s;
    } else if (axis == 1) {
        g.w = f.w * c + f.u * s;
        g.u = f.u * c - f.w * s;
    } else {
        g.u = f.u * c + f.v * s;
        g.v = f.v * c - f.u * s;
    }
    return g;
}

namespace
{

// Orients the part's faces outward (positive enclosed volume) and gives each
// of its vertices the area-weighted normal of the faces around it.
void finishPart(Mesh &m, size_t firstVertex, size_t firstTriangle)
{
    double volume = 0;
    for (size_t t = firstTriangle; t < m.triangles.size(); ++t) {
        const auto &c = m.triangles[t];
        volume += dot(m.positions[c[0].vertex],
                      cross(m.positions[c[1].vertex], m.positions[c[2].vertex]));
    }
    std::vector<Vec3> sum(m.positions.size() - firstVertex);
    for (size_t t = firstTriangle; t < m.triangles.size(); ++t) {
        auto &c = m.triangles[t];
        if (volume < 0)
            std::swap(c[1], c[2]);
        const Vec3 a = m.positions[c[0].vertex], b = m.positions[c[1].vertex],
                   d = m.positions[c[2].vertex];
        const Vec3 n = cross(b - a, d - a);
        for (const Corner &k : c)
            sum[k.vertex - firstVertex] = sum[k.vertex - firstVertex] + n;
    }
    for (const Vec3 &n : sum)
        m.normals.push_back(normalised(n));
}

void addTriangle(Mesh &m, int a, int b, int c)
{
    m.triangles.push_back({Corner{a, a}, Corner{b, b}, Corner{c, c}});
}

} // namespace

void addClosed(Mesh &m, int around, int along, const Surface &f)
{
    const size_t firstVertex = m.positions.size(), firstTriangle = m.triangles.size();
    const int base = static_cast<int>(firstVertex);
    m.positions.push_back(f(0, 0));
    for (int i = 1; i < along; ++i)
        for (int j = 0; j < around; ++j)
            m.positions.push_back(
                f(static_cast<double>(j) / around, static_cast<double>(i) / along));
    m.positions.push_back(f(0, 1));
    const int last = static_cast<int>(m.positions.size()) - 1;
    auto at = [&](int i, int j) { return base + 1 + (i - 1) * around + (j % around); };
    for (int j = 0; j < around; ++j) {
        addTriangle(m, base, at(1, j), at(1, j + 1));
        for (int i = 1; i + 1 < along; ++i) {
            addTriangle(m, at(i, j), at(i + 1, j), at(i + 1, j + 1));
            addTriangle(m, at(i, j), at(i + 1, j + 1), at(i, j + 1));
        }
        addTriangle(m, last, at(along - 1, j + 1), at(along - 1, j));
    }
    finishPart(m, firstVertex, firstTriangle);
}

void addRing(Mesh &m, int around, int along, const Surface &f)
{
    const size_t firstVertex = m.positions.size(), firstTriangle = m.triangles.size();
    const int base = static_cast<int>(firstVertex);
    for (int i = 0; i < along; ++i)
        for (int j = 0; j < around; ++j)
            m.positions.push_back(
                f(static_cast<double>(j) / around, static_cast<double>(i) / along));
    auto at = [&](int i, int j) { return base + (i % along) * around + (j % around); };
    for (int i = 0; i < along; ++i)
        for (int j = 0; j < around; ++j) {
            addTriangle(m, at(i, j), at(i + 1, j), at(i + 1, j + 1));
            addTriangle(m, at(i, j), at(i + 1, j + 1), at(i, j + 1));
        }
    finishPart(m, firstVertex, firstTriangle);
}

void addFacet(Mesh &m, Vec3 a, Vec3 b, Vec3 c, Vec3 inside)
{
    if (dot(cross(b - a, c - a), a - inside) < 0)
        std::swap(b, c);
    const int n = static_cast<int>(m.normals.size());
    m.normals.push_back(normalised(cross(b - a, c - a)));
    int idx[3];
    const Vec3 corners[3] = {a, b, c};
    for (int k = 0; k < 3; ++k) {
        // Facets share their corners with earlier facets of the same part.
        idx[k] = -1;
        for (size_t v = 0; v < m.positions.size(); ++v)
            if (length(m.positions[v] - corners[k]) < 1e-9)
                idx[k] = static_cast<int>(v);
        if (idx[k] < 0) {
            idx[k] = static_cast<int>(m.positions.size());
            m.positions.push_back(corners[k]);
        }
    }
    m.triangles.push_back({Corner{idx[0], n}, Corner{idx[1], n}, Corner{idx[2], n}});
}

Surface ellipsoid(const Frame &f, Vec3 r)
{
    return [f, r](double s, double t) {
        const double theta = 6.283185307179586 * s, phi = 3.141592653589793 * t;
        return f.place({r.x * std::cos(phi), r.y * std::sin(phi) * std::cos(theta),
                        r.z * std::sin(phi) * std::sin(theta)});
    };
}

Surface sphere(Vec3 centre, double r)
{
    return ellipsoid(Frame{centre}, {r, r, r});
}

Surface torus(const Frame &f, double big, double small)
{
    return [f, big, small](double s, double t) {
        const double a = 6.283185307179586 * t, b = 6.283185307179586 * s;
        const double r = big + small * std::cos(b);
        return f.place({small * std::sin(b), r * std::cos(a), r * std::sin(a)});
    };
}

double signedVolume(const Mesh &m)
{
    double volume = 0;
    for (const auto &c : m.triangles)
        volume += dot(m.positions[c[0].vertex],
                      cross(m.positions[c[1].vertex], m.positions[c[2].vertex]));
    return volume / 6;
}

namespace
{

void appendNumber(std::string &out, double x)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, " %.5f", x);
    // Keep "-0.00000" out of the files: it would differ only by the sign of a rounding.
    if (std::strcmp(buf, " -0.00000") == 0)
        std::strcpy(buf, " 0.00000");
    out += buf;
}

} // namespace

std::string toObj(const Mesh &m, const std::string &title)
{
    std::string out = "# " + title + "\n# written by quorbly-modelgen\n";
    for (const Vec3 &p : m.positions) {
        out += "v";
        appendNumber(out, p.x);
        appendNumber(out, p.y);
        appendNumber(out, p.z);
        out += "\n";
    }
    for (const Vec3 &n : m.normals) {
        out += "vn";
        appendNumber(out, n.x);
        appendNumber(out, n.y);
        appendNumber(out, n.z);
        out += "\n";
    }
    for (const auto &t : m.triangles) {
        char buf[96];
        std::snprintf(buf, sizeof buf, "f %d//%d %d//%d %d//%d\n", t[0].vertex + 1, t[0].normal + 1,
                      t[1].vertex + 1, t[1].normal + 1, t[2].vertex + 1, t[2].normal + 1);
        out += buf;
    }
    return out;
}

bool writeFile(const std::string &path, const std::string &text)
{
    std::FILE *f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    const bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    return std::fclose(f) == 0 && ok;
}

} // namespace modelgen
