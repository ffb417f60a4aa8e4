// SPDX-License-Identifier: GPL-3.0-or-later
#include <cmath>

#include "models.h"

namespace modelgen
{

namespace
{

constexpr double kPi = 3.141592653589793;

// Unit direction for grid coordinates around the x axis: t = 0 is +x, t = 1 is -x.
Vec3 direction(double s, double t)
{
    const double phi = kPi * t, theta = 2 * kPi * s;
    return {std::cos(phi), std::sin(phi) * std::cos(theta), std::sin(phi) * std::sin(theta)};
}

// Superellipsoid radius in direction d, with different reach forward/back and up/down.
double blob(Vec3 d, double front, double back, double up, double down, double side, double p)
{
    const double a = d.x > 0 ? front : back, b = d.y > 0 ? up : down;
    const double sum = std::pow(std::fabs(d.x / a), p) + std::pow(std::fabs(d.y / b), p) +
                       std::pow(std::fabs(d.z / side), p);
    return std::pow(sum, -1 / p);
}

// A round swelling of the surface toward direction c, width in radians.
double bump(Vec3 d, Vec3 c, double height, double width)
{
    const double angle = std::acos(std::fmin(1.0, std::fmax(-1.0, dot(d, normalised(c)))));
    return height * std::exp(-(angle / width) * (angle / width));
}

// A star-shaped surface about centre: radius(d) along every direction d.
template <class R> Surface radial(Vec3 centre, R radius)
{
    return [centre, radius](double s, double t) {
        const Vec3 d = direction(s, t);
        return centre + d * radius(d);
    };
}

// The head's shape about its centre (the nod joint is the head's origin).
const Vec3 kHeadCentre{-0.05, 0.3, 0};
const Vec3 kSnout{1, -0.4, 0};

double headRadius(Vec3 d)
{
    double r = blob(d, 0.95, 0.9, 0.88, 0.8, 0.95, 2.15);
    r += bump(d, kSnout, 0.28, 0.5);
    for (double side : {1.0, -1.0})
        r += bump(d, {0.25, -0.45, 0.85 * side}, 0.18, 0.6); // cheek pouches
    return r;
}

Vec3 onHead(Vec3 d)
{
    d = normalised(d);
    return kHeadCentre + d * headRadius(d);
}

// Outward normal of the head surface at direction d, by finite differences.
Vec3 headNormal(Vec3 d)
{
    d = normalised(d);
    const Frame f = frameAlong({}, d);
    const double h = 1e-4;
    const Vec3 p = onHead(d);
    const Vec3 a = onHead(d + f.v * h) - p, b = onHead(d + f.w * h) - p;
    Vec3 n = normalised(cross(a, b));
    return dot(n, d) < 0 ? n * -1 : n;
}

} // namespace

Mesh hamsterBody()
{
    Mesh m;
    // Plump and pear-shaped: fuller at the rump, a flatter belly.
    addClosed(m, 40, 28, radial(Vec3{0, 0, 0}, [](Vec3 d) {
                  // Wider low down, so the fur hides the tops of the legs.
                  const double side = 1.37 - 0.1 * std::tanh(3 * d.y);
                  double r = blob(d, 1.55, 1.75, 1.25, 1.12, side, 2.2);
                  r += bump(d, {-0.4, 1, 0}, 0.1, 0.7); // round back
                  return r;
              }));
    addClosed(m, 10, 7, sphere({-1.76, 0.3, 0}, 0.14)); // stub of a tail
    return m;
}

Mesh hamsterHead()
{
    Mesh m;
    addClosed(m, 36, 24, radial(kHeadCentre, headRadius));

    const Vec3 tip = onHead(kSnout);
    addClosed(m, 10, 7,
              ellipsoid(frameAlong(tip - normalised(kSnout) * 0.03, kSnout), {0.08, 0.1, 0.12}));

    for (double side : {1.0, -1.0}) {
        // Eyes: a bead set in a rim, so light picks them out of the fur.
        const Vec3 e{0.6, 0.3, 0.72 * side};
        const Vec3 n = headNormal(e), p = onHead(e);
        addClosed(m, 14, 10, sphere(p - n * 0.02, 0.16));
        addRing(m, 6, 20, torus(frameAlong(p, n), 0.16, 0.025));

        // Round ears, cupped forward, on the top of the head toward the back.
        const Vec3 a = normalised({-0.15, 0.9, 0.45 * side});
        const Vec3 facing = normalised({0.85, 0.0, 0.5 * side});
        Frame ear = frameAlong(onHead(a) + a * 0.12, facing, a);
        addClosed(m, 16, 10, [ear](double s, double t) {
            Vec3 q = ellipsoid(Frame{}, {0.07, 0.3, 0.27})(s, t);
            q.x += 0.9 * (q.y * q.y + q.z * q.z);
            return ear.place(q);
        });

        // Whiskers fan out from the sides of the snout.
        for (double lift : {0.2, 0.0, -0.2}) {
            const Vec3 root = onHead({0.85, -0.22, 0.42 * side});
            const Vec3 along = normalised({0.45, lift, side});
            addClosed(m, 5, 4,
                      ellipsoid(frameAlong(root + along * 0.3, along), {0.36, 0.012, 0.012}));
        }
    }
    return m;
}

Mesh frontFoot()
{
    Mesh m;
    addClosed(m, 16, 12, ellipsoid(Frame{{0, 0.1, 0}}, {0.2, 0.38, 0.19}));      // leg
    addClosed(m, 16, 10, ellipsoid(Frame{{0.1, -0.26, 0}}, {0.25, 0.09, 0.17})); // paw
    for (double z : {-0.1, 0.0, 0.1})
        addClosed(m, 8, 6, sphere({0.32, -0.27, z}, 0.055)); // toes
    return m;
}

Mesh backFoot()
{
    Mesh m;
    addClosed(m, 18, 12, ellipsoid(Frame{{-0.05, 0.2, 0}}, {0.38, 0.42, 0.24})); // haunch
    addClosed(m, 16, 10, ellipsoid(Frame{{0.1, -0.28, 0}}, {0.34, 0.09, 0.18})); // long paw
    for (double z : {-0.1, 0.0, 0.1})
        addClosed(m, 8, 6, sphere({0.41, -0.29, z}, 0.06));
    return m;
}

} // namespace modelgen
