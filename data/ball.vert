#version 120
// SPDX-License-Identifier: GPL-3.0-or-later
// Hamster and cage. While a boost builds (wobblePhase between 0 and 1) the
// surface ripples along its normals; the ripple swells to the middle of the
// build-up and is gone at 0 and at 1.

uniform float wobblePhase;

varying vec3 normal;
varying vec3 ecPosition;

void main()
{
    float phase = clamp(wobblePhase, 0.0, 1.0);
    float amplitude = 0.12 * sin(3.14159265 * phase);
    float wave = sin(dot(gl_Vertex.xyz, vec3(6.0, 9.0, 4.0)) + phase * 60.0);
    vec4 v = vec4(gl_Vertex.xyz + gl_Normal * (amplitude * wave), gl_Vertex.w);

    vec4 ec = gl_ModelViewMatrix * v;
    ecPosition = ec.xyz / ec.w;
    normal = gl_NormalMatrix * gl_Normal;
    gl_Position = gl_ProjectionMatrix * ec;
}
