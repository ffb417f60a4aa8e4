// SPDX-License-Identifier: GPL-3.0-or-later
#include <cmath>

#include "models.h"

namespace modelgen
{

namespace
{
constexpr double kPi = 3.141592653589793;
}

Mesh cage()
{
    // Bars sit just inside radius 1, so the ball never reaches past its radius.
    constexpr double kBar = 0.025;
    constexpr double kRadius = 1 - kBar;
    constexpr int kSides = 6, kSegments = 40;
    Mesh m;
    for (int k = 0; k < 4; ++k) {
        const double longitude = k * kPi / 4;
        const Vec3 across{std::cos(longitude), 0, std::sin(longitude)};
        addRing(m, kSides, kSegments, torus(frameAlong({}, across), kRadius, kBar));
    }
    for (double latitude : {-kPi / 4, 0.0, kPi / 4}) {
        const double r = kRadius * std::cos(latitude);
        const int segments = static_cast<int>(std::ceil(kSegments * std::cos(latitude)));
        const Vec3 centre{0, kRadius * std::sin(latitude), 0};
        addRing(m, kSides, segments, torus(frameAlong(centre, {0, 1, 0}), r, kBar));
    }
    return m;
}

Mesh gem()
{
    // An octagonal cut: flat table, crown down to the girdle, pointed pavilion.
    // Heights are set so the stone is centred on the origin.
    constexpr double kTable = 0.375, kGirdleTop = 0.175, kGirdleBottom = 0.125;
    constexpr double kApex = -0.375;
    constexpr double kTableRadius = 0.3, kGirdleRadius = 0.5;
    auto ring = [](double angle, double radius, double y) {
        return Vec3{radius * std::cos(angle), y, radius * std::sin(angle)};
    };
    const Vec3 centre{0, 0, 0};
    Mesh m;
    const Vec3 top{0, kTable, 0}, apex{0, kApex, 0};
    for (int k = 0; k < 8; ++k) {
        const Vec3 t0 = ring((2 * k + 1) * kPi / 8, kTableRadius, kTable);
        const Vec3 t1 = ring((2 * k + 3) * kPi / 8, kTableRadius, kTable);
        const Vec3 g0 = ring(2 * k * kPi / 8, kGirdleRadius, kGirdleTop);
        const Vec3 g1 = ring((2 * k + 1) * kPi / 8, kGirdleRadius, kGirdleTop);
        const Vec3 g2 = ring((2 * k + 2) * kPi / 8, kGirdleRadius, kGirdleTop);
        addFacet(m, top, t0, t1, centre);
        addFacet(m, g0, g1, t0, centre);
        addFacet(m, g1, g2, t0, centre);
        addFacet(m, t0, g2, t1, centre);
    }
    for (int k = 0; k < 16; ++k) {
        const double a0 = k * kPi / 8, a1 = (k + 1) * kPi / 8;
        const Vec3 u0 = ring(a0, kGirdleRadius, kGirdleTop),
                   u1 = ring(a1, kGirdleRadius, kGirdleTop);
        const Vec3 l0 = ring(a0, kGirdleRadius, kGirdleBottom),
                   l1 = ring(a1, kGirdleRadius, kGirdleBottom);
        addFacet(m, u0, l0, l1, centre);
        addFacet(m, u0, l1, u1, centre);
        addFacet(m, l0, apex, l1, centre);
    }
    return m;
}

} // namespace modelgen
