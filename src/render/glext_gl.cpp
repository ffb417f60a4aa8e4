// SPDX-License-Identifier: GPL-3.0-or-later
#include "render/glext_gl.h"

#include <SDL.h>

PFNGLCREATESHADERPROC qglCreateShader = nullptr;
PFNGLSHADERSOURCEPROC qglShaderSource = nullptr;
PFNGLCOMPILESHADERPROC qglCompileShader = nullptr;
PFNGLGETSHADERIVPROC qglGetShaderiv = nullptr;
PFNGLGETSHADERINFOLOGPROC qglGetShaderInfoLog = nullptr;
PFNGLDELETESHADERPROC qglDeleteShader = nullptr;
PFNGLCREATEPROGRAMPROC qglCreateProgram = nullptr;
PFNGLATTACHSHADERPROC qglAttachShader = nullptr;
PFNGLLINKPROGRAMPROC qglLinkProgram = nullptr;
PFNGLGETPROGRAMIVPROC qglGetProgramiv = nullptr;
PFNGLGETPROGRAMINFOLOGPROC qglGetProgramInfoLog = nullptr;
PFNGLDELETEPROGRAMPROC qglDeleteProgram = nullptr;
PFNGLUSEPROGRAMPROC qglUseProgram = nullptr;
PFNGLGETUNIFORMLOCATIONPROC qglGetUniformLocation = nullptr;
PFNGLUNIFORM1IPROC qglUniform1i = nullptr;
PFNGLUNIFORM1FPROC qglUniform1f = nullptr;
PFNGLISPROGRAMPROC qglIsProgram = nullptr;

PFNGLACTIVETEXTUREPROC qglActiveTexture = nullptr;

PFNGLGENFRAMEBUFFERSEXTPROC qglGenFramebuffersEXT = nullptr;
PFNGLDELETEFRAMEBUFFERSEXTPROC qglDeleteFramebuffersEXT = nullptr;
PFNGLBINDFRAMEBUFFEREXTPROC qglBindFramebufferEXT = nullptr;
PFNGLFRAMEBUFFERTEXTURE2DEXTPROC qglFramebufferTexture2DEXT = nullptr;
PFNGLCHECKFRAMEBUFFERSTATUSEXTPROC qglCheckFramebufferStatusEXT = nullptr;

namespace
{

// Looks up `name` and, failing that, `fallback` (the ARB alias of a core
// function on drivers that only offer the extension).
template <typename Fn>
bool resolve(ProcLookup lookup, Fn &fn, const char *name, const char *fallback = nullptr)
{
    void *p = lookup(name);
    if (!p && fallback)
        p = lookup(fallback);
    fn = reinterpret_cast<Fn>(p);
    return p != nullptr;
}

} // namespace

GlEntryPoints loadGlExtensions(ProcLookup lookup)
{
    if (!lookup)
        lookup = SDL_GL_GetProcAddress;
    bool ok = true;
    ok &= resolve(lookup, qglCreateShader, "glCreateShader");
    ok &= resolve(lookup, qglShaderSource, "glShaderSource");
    ok &= resolve(lookup, qglCompileShader, "glCompileShader");
    ok &= resolve(lookup, qglGetShaderiv, "glGetShaderiv");
    ok &= resolve(lookup, qglGetShaderInfoLog, "glGetShaderInfoLog");
    ok &= resolve(lookup, qglDeleteShader, "glDeleteShader");
    ok &= resolve(lookup, qglCreateProgram, "glCreateProgram");
    ok &= resolve(lookup, qglAttachShader, "glAttachShader");
    ok &= resolve(lookup, qglLinkProgram, "glLinkProgram");
    ok &= resolve(lookup, qglGetProgramiv, "glGetProgramiv");
    ok &= resolve(lookup, qglGetProgramInfoLog, "glGetProgramInfoLog");
    ok &= resolve(lookup, qglDeleteProgram, "glDeleteProgram");
    ok &= resolve(lookup, qglUseProgram, "glUseProgram");
    ok &= resolve(lookup, qglGetUniformLocation, "glGetUniformLocation", "glGetUniformLocationARB");
    ok &= resolve(lookup, qglUniform1i, "glUniform1i", "glUniform1iARB");
    ok &= resolve(lookup, qglUniform1f, "glUniform1f", "glUniform1fARB");
    ok &= resolve(lookup, qglIsProgram, "glIsProgram");
    GlEntryPoints found{};
    found.shaders = ok;
    // Multitexturing and framebuffer objects serve the shadow map only.
    ok = true;
    ok &= resolve(lookup, qglActiveTexture, "glActiveTexture", "glActiveTextureARB");
    ok &= resolve(lookup, qglGenFramebuffersEXT, "glGenFramebuffersEXT");
    ok &= resolve(lookup, qglDeleteFramebuffersEXT, "glDeleteFramebuffersEXT");
    ok &= resolve(lookup, qglBindFramebufferEXT, "glBindFramebufferEXT");
    ok &= resolve(lookup, qglFramebufferTexture2DEXT, "glFramebufferTexture2DEXT");
    found.framebuffers = ok;
    // Only the icon tool asks; the game's shadow map never does, so a driver
    // without it keeps its shadows.
    resolve(lookup, qglCheckFramebufferStatusEXT, "glCheckFramebufferStatusEXT");
    return found;
}
