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
PFNGLGETACTIVEUNIFORMPROC qglGetActiveUniform = nullptr;
PFNGLISSHADERPROC qglIsShader = nullptr;
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
template <typename Fn> bool resolve(Fn &fn, const char *name, const char *fallback = nullptr)
{
    void *p = SDL_GL_GetProcAddress(name);
    if (!p && fallback)
        p = SDL_GL_GetProcAddress(fallback);
    fn = reinterpret_cast<Fn>(p);
    return p != nullptr;
}

} // namespace

bool loadGlExtensions()
{
    bool ok = true;
    ok &= resolve(qglCreateShader, "glCreateShader");
    ok &= resolve(qglShaderSource, "glShaderSource");
    ok &= resolve(qglCompileShader, "glCompileShader");
    ok &= resolve(qglGetShaderiv, "glGetShaderiv");
    ok &= resolve(qglGetShaderInfoLog, "glGetShaderInfoLog");
    ok &= resolve(qglDeleteShader, "glDeleteShader");
    ok &= resolve(qglCreateProgram, "glCreateProgram");
    ok &= resolve(qglAttachShader, "glAttachShader");
    ok &= resolve(qglLinkProgram, "glLinkProgram");
    ok &= resolve(qglGetProgramiv, "glGetProgramiv");
    ok &= resolve(qglGetProgramInfoLog, "glGetProgramInfoLog");
    ok &= resolve(qglDeleteProgram, "glDeleteProgram");
    ok &= resolve(qglUseProgram, "glUseProgram");
    ok &= resolve(qglGetUniformLocation, "glGetUniformLocation", "glGetUniformLocationARB");
    ok &= resolve(qglUniform1i, "glUniform1i", "glUniform1iARB");
    ok &= resolve(qglUniform1f, "glUniform1f", "glUniform1fARB");
    ok &= resolve(qglGetActiveUniform, "glGetActiveUniform");
    ok &= resolve(qglIsShader, "glIsShader");
    ok &= resolve(qglIsProgram, "glIsProgram");
    ok &= resolve(qglActiveTexture, "glActiveTexture", "glActiveTextureARB");
    ok &= resolve(qglGenFramebuffersEXT, "glGenFramebuffersEXT");
    ok &= resolve(qglDeleteFramebuffersEXT, "glDeleteFramebuffersEXT");
    ok &= resolve(qglBindFramebufferEXT, "glBindFramebufferEXT");
    ok &= resolve(qglFramebufferTexture2DEXT, "glFramebufferTexture2DEXT");
    ok &= resolve(qglCheckFramebufferStatusEXT, "glCheckFramebufferStatusEXT");
    return ok;
}
