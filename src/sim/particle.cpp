#include "sim/particle.h"

#include <cstdlib>

#include "terrain/heightmap.h"

std::array<Particle, kParticleCount> particles{};
int nextParticle = 0;

namespace
{

double uniform()
{
    return std::rand() / 2147483648.0;
}

// Life, fade and colour of the next slot: the draws both emitters share.
Particle &emitCommon(float timetolive, float r1, float g1, float b1, float r2, float g2, float b2)
{
    Particle &p = particles[static_cast<std::size_t>(nextParticle)];
    p.active = 1;
    p.life = 1.0f;
    // Between half and all of timetolive.
    p.fade = static_cast<float>((1.0 / timetolive) * (1.0 + uniform()));
    const bool first = (std::rand() & 1) != 0;
    const float br = first ? r1 : r2;
    const float bg = first ? g1 : g2;
    const float bb = first ? b1 : b2;
    p.r = static_cast<float>(br + (uniform() - 0.5) * 0.1);
    p.g = static_cast<float>(bg + (uniform() - 0.5) * 0.1);
    p.b = static_cast<float>(bb + (uniform() - 0.5) * 0.1);
    return p;
}

void advance()
{
    nextParticle = (nextParticle + 1) % kParticleCount;
}

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
        p.x = static_cast<float>(x + (uniform() - 0.5) * 0.5);
        p.y = static_cast<float>(y + (uniform() - 0.5) * 0.5);
        p.z = static_cast<float>(z + (uniform() - 0.5) * 0.5);
        p.velocity = direction;
        advance();
    }
}

void createExplosion(float x, float y, float z, float size, float timetolive, float r1, float g1,
                     float b1, float r2, float g2, float b2)
{
    const int count = static_cast<int>(static_cast<double>(size) * kParticleCount);
    // Tiny bursts still get a visible spread.
    const double s = size > 0.1f ? size : 0.1f;
    for (int i = 0; i < count; ++i) {
        Particle &p = emitCommon(timetolive, r1, g1, b1, r2, g2, b2);
        p.x = x;
        p.y = y;
        p.z = z;
        p.velocity.x = static_cast<float>((uniform() - 0.5) * 10 * s);
        p.velocity.y = static_cast<float>((uniform() - 0.5) * 10 * s);
        p.velocity.z = static_cast<float>((uniform() - 0.5) * 10 * s);
        advance();
    }
}

void updateParticles(const unsigned char *heightmap, float gravity, float seconds)
{
    const float acceleration = -gravity * 0.1f;
    for (Particle &p : particles) {
        if (p.active != 1)
            continue;
        const float ground = getRealHeight(heightmap, p.x, p.z);
        p.x += p.velocity.x * seconds;
        p.y += p.velocity.y * seconds;
        p.z += p.velocity.z * seconds;
        // Off the field the ground reads -1; a particle out there just keeps falling.
        if (ground >= p.y - 0.02f && inRange(heightmap, p.x, p.z)) {
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
