#version 120
// SPDX-License-Identifier: GPL-3.0-or-later
// Powerup item: plain transform, lighting per pixel.

varying vec3 normal;
varying vec3 ecPosition;

void main()
{
    vec4 ec = gl_ModelViewMatrix * gl_Vertex;
    ecPosition = ec.xyz / ec.w;
    normal = gl_NormalMatrix * gl_Normal;
    gl_Position = ftransform();
}
