#version 120
// SPDX-License-Identifier: GPL-3.0-or-later
// Terrain: texture on unit 0 times the lit colour, the diffuse part dimmed
// by the shadow map on unit 1. multiShadows 1 filters 4x4 comparisons with
// tent weights, so a shadow's edge fades over three texels instead of
// stepping texel by texel; 0 takes a single comparison.

uniform sampler2D Texture;
uniform sampler2DShadow ShadowMap;
uniform int multiShadows;

varying vec4 ambientColour;
varying vec4 diffuseColour;
varying vec4 shadowCoord;
varying float textured;

const float kMapSize = 2048.0;
// On top of the light pass's polygon offset: the filter compares this point
// with texels up to two away, which on a curved slope can sit a little
// nearer the light than the point itself.
const float kBias = 0.0004;

float lightReaching()
{
    // Behind the light or off the map: nothing there casts a shadow.
    if (shadowCoord.w <= 0.0)
        return 1.0;
    vec3 p = shadowCoord.xyz / shadowCoord.w;
    if (p.x < 0.0 || p.x > 1.0 || p.y < 0.0 || p.y > 1.0 || p.z > 1.0)
        return 1.0;

    if (multiShadows == 0)
        return shadow2D(ShadowMap, vec3(p.xy, p.z - kBias)).r;

    vec2 texel = p.xy * kMapSize - 0.5;
    vec2 base = floor(texel);
    vec2 f = texel - base;
    float sum = 0.0;
    for (int j = 0; j < 4; j++) {
        float wy = j == 0 ? 1.0 - f.y : (j == 3 ? f.y : 1.0);
        for (int i = 0; i < 4; i++) {
            float wx = i == 0 ? 1.0 - f.x : (i == 3 ? f.x : 1.0);
            vec2 centre = (base + vec2(float(i), float(j)) - 0.5) / kMapSize;
            sum += wx * wy * shadow2D(ShadowMap, vec3(centre, p.z - kBias)).r;
        }
    }
    return sum / 9.0;
}

void main()
{
    vec4 lit = clamp(ambientColour + diffuseColour * lightReaching(), 0.0, 1.0);
    vec4 texel = mix(vec4(1.0), texture2D(Texture, gl_TexCoord[0].st), textured);
    gl_FragColor = vec4(lit.rgb * texel.rgb, gl_FrontMaterial.diffuse.a * texel.a);
}
