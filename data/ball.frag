#version 120
// SPDX-License-Identifier: GPL-3.0-or-later
// Hamster and cage, lit per pixel with a glossy highlight on the bars.
// visibility fades the figure out (0) or in (1) with an ordered screen door,
// so no blending state is needed and the fade works in the shadow pass too.

uniform float visibility;

varying vec3 normal;
varying vec3 ecPosition;

// This pixel's threshold in a 4x4 Bayer pattern, in (0, 1).
float ditherThreshold()
{
    vec2 p = mod(floor(gl_FragCoord.xy), 4.0);
    vec2 lo = mod(p, 2.0);
    vec2 hi = floor(p * 0.5);
    float bayerLo = 2.0 * abs(lo.x - lo.y) + lo.y;
    float bayerHi = 2.0 * abs(hi.x - hi.y) + hi.y;
    return (4.0 * bayerLo + bayerHi + 0.5) / 16.0;
}

void main()
{
    if (visibility < ditherThreshold())
        discard;

    vec3 n = normalize(normal);
    vec4 light = gl_LightSource[0].position;
    vec3 l = normalize(light.xyz - ecPosition * light.w);
    vec3 v = normalize(-ecPosition);
    float nDotL = max(dot(n, l), 0.0);

    vec3 colour = gl_FrontLightModelProduct.sceneColor.rgb + gl_FrontLightProduct[0].ambient.rgb +
                  gl_FrontLightProduct[0].diffuse.rgb * nDotL;
    // The figures set no specular material; the gloss is the shader's own.
    if (nDotL > 0.0) {
        float highlight = pow(max(dot(n, normalize(l + v)), 0.0), 48.0);
        colour += gl_LightSource[0].specular.rgb * (0.8 * highlight);
    }
    gl_FragColor = vec4(clamp(colour, 0.0, 1.0), gl_FrontMaterial.diffuse.a);
}
