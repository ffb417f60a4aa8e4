#version 120
// SPDX-License-Identifier: GPL-3.0-or-later
// Terrain: light 0 per vertex like the fixed pipeline, with the ambient and
// diffuse parts kept apart so a shadow takes away only the diffuse light.

varying vec4 ambientColour;
varying vec4 diffuseColour;
varying vec4 shadowCoord;
varying float textured;

void main()
{
    vec4 ecPos = gl_ModelViewMatrix * gl_Vertex;
    vec3 n = normalize(gl_NormalMatrix * gl_Normal);
    vec4 light = gl_LightSource[0].position;
    vec3 toLight = normalize(light.xyz - ecPos.xyz * light.w);
    float nDotL = max(dot(n, toLight), 0.0);

    ambientColour = gl_FrontLightModelProduct.sceneColor + gl_FrontLightProduct[0].ambient;
    diffuseColour = gl_FrontLightProduct[0].diffuse * nDotL;

    // What eye-linear generation on unit 1 would produce, through its texture
    // matrix: the point in the shadow map's space.
    vec4 generated = vec4(dot(ecPos, gl_EyePlaneS[1]), dot(ecPos, gl_EyePlaneT[1]),
                          dot(ecPos, gl_EyePlaneR[1]), dot(ecPos, gl_EyePlaneQ[1]));
    shadowCoord = gl_TextureMatrix[1] * generated;

    // The list textures only the top surface, whose normals all point up;
    // the side walls and the bottom are plain material.
    textured = gl_Normal.y > 0.0 ? 1.0 : 0.0;
    gl_TexCoord[0] = gl_TextureMatrix[0] * gl_MultiTexCoord0;
    gl_Position = ftransform();
}
