// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/particle.h"

#include <algorithm>
#include <cstdlib>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "core/random.h"
#include "terrain/heightmap.h"

namespace
{

// Life, fade and colour of the next slot: the draws both emitters share.
Particle &emitCommon(float timetolive, float r1, float g1, float b1, float r2, float g2, float b2)
{
    Particle &p = particles[static_cast<std::size_t>(nextParticle)];
    p.active = 1;
    p.life = 1.0f;
    // Between half and all of timetolive.
    p.fade = static_cast<float>((1.0 / timetolive) * (1.0 + gameUniform()));
    const bool first = (gameRand() & 1) != 0;
    const float br = first ? r1 : r2;
    const float bg = first ? g1 : g2;
    const float bb = first ? b1 : b2;
    p.r = static_cast<float>(br + (gameUniform() - 0.5) * 0.1);
    p.g = static_cast<float>(bg + (gameUniform() - 0.5) * 0.1);
    p.b = static_cast<float>(bb + (gameUniform() - 0.5) * 0.1);
    return p;
}

void advance()
{
    nextParticle = (nextParticle + 1) % kParticleCount;
}

bool onField(float x, float z)
{
    return x >= 0 && x <= 15 && z >= 0 && z <= 15;
}

#if defined(__SSE2__)

// A height byte h stands for 0.01 h, worked out as getHeight does.
const std::array<float, 256> kByteHeight = [] {
    std::array<float, 256> heights{};
    for (int h = 0; h < 256; ++h)
        heights[static_cast<std::size_t>(h)] = static_cast<float>(h * 0.01);
    return heights;
}();

// Grid cells (at most the last one) and the float offsets within them of
// four coordinates, as getRealHeight splits x / 0.1. For every float from 0
// to 15 that quotient is exactly the double x * 10 (the unit tests try them
// all), so two multiplications do it for four coordinates.
void splitCells(__m128 v, __m128i *cell, __m128 *local)
{
    const __m128d ten = _mm_set1_pd(10.0);
    const __m128d last = _mm_set1_pd(kGridCells - 1);
    const __m128d low = _mm_mul_pd(_mm_cvtps_pd(v), ten);
    const __m128d high = _mm_mul_pd(_mm_cvtps_pd(_mm_movehl_ps(v, v)), ten);
    const __m128i cellLow = _mm_cvttpd_epi32(_mm_min_pd(low, last));
    const __m128i cellHigh = _mm_cvttpd_epi32(_mm_min_pd(high, last));
    *cell = _mm_unpacklo_epi64(cellLow, cellHigh);
    *local = _mm_movelh_ps(_mm_cvtpd_ps(_mm_sub_pd(low, _mm_cvtepi32_pd(cellLow))),
                           _mm_cvtpd_ps(_mm_sub_pd(high, _mm_cvtepi32_pd(cellHigh))));
}

// The bilinear height of getRealHeight, bit for bit, for slots i to i + 3.
__m128 groundOfFour(const unsigned char *heightmap, std::size_t i)
{
    const Particle *p = &particles[i];
    const __m128 x = _mm_setr_ps(p[0].x, p[1].x, p[2].x, p[3].x);
    const __m128 z = _mm_setr_ps(p[0].z, p[1].z, p[2].z, p[3].z);
    const __m128 zero = _mm_setzero_ps();
    const __m128 side = _mm_set1_ps(15.0f);
    const __m128 on = _mm_and_ps(_mm_and_ps(_mm_cmpge_ps(x, zero), _mm_cmple_ps(x, side)),
                                 _mm_and_ps(_mm_cmpge_ps(z, zero), _mm_cmple_ps(z, side)));
    __m128i cellx, cellz;
    __m128 localx, localz;
    splitCells(x, &cellx, &localx);
    splitCells(z, &cellz, &localz);
    // cellz * 151 fits 16 bits; off the field the corner is slot 0, read
    // and then thrown away.
    const __m128i corner =
        _mm_and_si128(_mm_add_epi32(_mm_mullo_epi16(cellz, _mm_set1_epi32(kGridSize)), cellx),
                      _mm_castps_si128(on));
    alignas(16) std::array<int, 4> c{};
    _mm_store_si128(reinterpret_cast<__m128i *>(c.data()), corner);
    const auto height = [&](int k, int offset) {
        return kByteHeight[heightmap[c[static_cast<std::size_t>(k)] + offset]];
    };
    const __m128 h00 = _mm_setr_ps(height(0, 0), height(1, 0), height(2, 0), height(3, 0));
    const __m128 h10 = _mm_setr_ps(height(0, 1), height(1, 1), height(2, 1), height(3, 1));
    const __m128 h01 = _mm_setr_ps(height(0, kGridSize), height(1, kGridSize), height(2, kGridSize),
                                   height(3, kGridSize));
    const __m128 h11 = _mm_setr_ps(height(0, kGridSize + 1), height(1, kGridSize + 1),
                                   height(2, kGridSize + 1), height(3, kGridSize + 1));
    const __m128 top = _mm_add_ps(h00, _mm_mul_ps(_mm_sub_ps(h10, h00), localx));
    const __m128 bottom = _mm_add_ps(h01, _mm_mul_ps(_mm_sub_ps(h11, h01), localx));
    const __m128 ground = _mm_add_ps(top, _mm_mul_ps(_mm_sub_ps(bottom, top), localz));
    return _mm_or_ps(_mm_and_ps(on, ground), _mm_andnot_ps(on, _mm_set1_ps(-1.0f)));
}

#endif

} // namespace

void initParticles()
{
    nextParticle = 0;
    for (Particle &p : particles)
        p.active = 0;
}

void createTrail(float x, float y, float z, vector direction, int number, float timetolive,
                 float r1, float g1, float b1, float r2, float g2, float b2)
{
    for (int i = 0; i < number; ++i) {
        Particle &p = emitCommon(timetolive, r1, g1, b1, r2, g2, b2);
        p.x = static_cast<float>(x + (gameUniform() - 0.5) * 0.5);
        p.y = static_cast<float>(y + (gameUniform() - 0.5) * 0.5);
        p.z = static_cast<float>(z + (gameUniform() - 0.5) * 0.5);
        p.velocity = direction;
        advance();
    }
}

void createExplosion(float x, float y, float z, float size, float timetolive, float r1, float g1,
                     float b1, float r2, float g2, float b2)
{
    // Past a few passes over the pool more sparks only replace each other; a
    // wild size would freeze the frame or overflow the count.
    constexpr double kMaxBurst = 8.0 * kParticleCount;
    const double wanted = static_cast<double>(size) * kParticleCount;
    const int count = wanted > 0 ? static_cast<int>(std::min(wanted, kMaxBurst)) : 0;
    // Tiny bursts still get a visible spread.
    const double s = size > 0.1f ? size : 0.1f;
    for (int i = 0; i < count; ++i) {
        Particle &p = emitCommon(timetolive, r1, g1, b1, r2, g2, b2);
        p.x = x;
        p.y = y;
        p.z = z;
        p.velocity.x = static_cast<float>((gameUniform() - 0.5) * 10 * s);
        p.velocity.y = static_cast<float>((gameUniform() - 0.5) * 10 * s);
        p.velocity.z = static_cast<float>((gameUniform() - 0.5) * 10 * s);
        advance();
    }
}

namespace
{

// The ground under slots i to i + 3, into out[0..3]: four slots at a time,
// as the cell arithmetic is most of the frame update.
void groundUnderQuad(const unsigned char *heightmap, std::size_t i, float *out)
{
#if defined(__SSE2__)
    _mm_storeu_ps(out, groundOfFour(heightmap, i));
#else
    for (std::size_t k = 0; k < 4; ++k)
        out[k] = getRealHeight(heightmap, particles[i + k].x, particles[i + k].z);
#endif
}

} // namespace

void groundUnderParticles(const unsigned char *heightmap, std::array<float, kParticleCount> *ground)
{
    static_assert(kParticleCount % 4 == 0);
    for (std::size_t i = 0; i < particles.size(); i += 4)
        groundUnderQuad(heightmap, i, &(*ground)[i]);
}

void updateParticles(const unsigned char *heightmap, float gravity, float seconds)
{
    const float acceleration = -gravity * 0.1f;
    // Each ground height is taken where the particle was before it moves,
    // as groundUnderParticles does; four slots with none live (most of the
    // pool, most frames) need none.
    std::array<float, kParticleCount> grounds;
    for (std::size_t i = 0; i < particles.size(); i += 4)
        if (particles[i].active == 1 || particles[i + 1].active == 1 ||
            particles[i + 2].active == 1 || particles[i + 3].active == 1)
            groundUnderQuad(heightmap, i, &grounds[i]);
    for (std::size_t i = 0; i < particles.size(); ++i) {
        Particle &p = particles[i];
        if (p.active != 1)
            continue;
        const float ground = grounds[i];
        p.x += p.velocity.x * seconds;
        p.y += p.velocity.y * seconds;
        p.z += p.velocity.z * seconds;
        // Off the field the ground reads -1; a particle out there just keeps falling.
        if (ground >= p.y - 0.02f && onField(p.x, p.z)) {
            p.y = ground + 0.02f;
            p.velocity.x *= 0.5f;
            p.velocity.z *= 0.5f;
            p.velocity.y *= -0.5f;
        } else {
            p.velocity.y += acceleration * seconds;
        }
        p.life -= p.fade * seconds;
        if (p.life <= 0.0f)
            p.active = 0;
    }
}
