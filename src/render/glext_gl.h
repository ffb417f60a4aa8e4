// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The GL entry points beyond OpenGL 1.1, fetched from the driver.

#include <GL/gl.h>
#include <GL/glext.h>

// The OpenGL 2.0 shader, multitexture and EXT framebuffer-object entry
// points, fetched from the driver at run time. They are null until
// loadGlExtensions() has run with a current context; use these, not the
// prototypes libGL may or may not export.
extern PFNGLCREATESHADERPROC qglCreateShader;
extern PFNGLSHADERSOURCEPROC qglShaderSource;
extern PFNGLCOMPILESHADERPROC qglCompileShader;
extern PFNGLGETSHADERIVPROC qglGetShaderiv;
extern PFNGLGETSHADERINFOLOGPROC qglGetShaderInfoLog;
extern PFNGLDELETESHADERPROC qglDeleteShader;
extern PFNGLCREATEPROGRAMPROC qglCreateProgram;
extern PFNGLATTACHSHADERPROC qglAttachShader;
extern PFNGLLINKPROGRAMPROC qglLinkProgram;
extern PFNGLGETPROGRAMIVPROC qglGetProgramiv;
extern PFNGLGETPROGRAMINFOLOGPROC qglGetProgramInfoLog;
extern PFNGLDELETEPROGRAMPROC qglDeleteProgram;
extern PFNGLUSEPROGRAMPROC qglUseProgram;
extern PFNGLGETUNIFORMLOCATIONPROC qglGetUniformLocation;
extern PFNGLUNIFORM1IPROC qglUniform1i;
extern PFNGLUNIFORM1FPROC qglUniform1f;
extern PFNGLISPROGRAMPROC qglIsProgram;

extern PFNGLACTIVETEXTUREPROC qglActiveTexture;

extern PFNGLGENFRAMEBUFFERSEXTPROC qglGenFramebuffersEXT;
extern PFNGLDELETEFRAMEBUFFERSEXTPROC qglDeleteFramebuffersEXT;
extern PFNGLBINDFRAMEBUFFEREXTPROC qglBindFramebufferEXT;
extern PFNGLFRAMEBUFFERTEXTURE2DEXTPROC qglFramebufferTexture2DEXT;
extern PFNGLCHECKFRAMEBUFFERSTATUSEXTPROC qglCheckFramebufferStatusEXT;

// Resolves the entry points for the current context (call after the video
// mode is set). Returns false if any is missing; those stay null.
// What a driver lookup gives; null means SDL_GL_GetProcAddress.
using ProcLookup = void *(*)(const char *name);
// Whether every shader entry point, and every one the shadow map needs
// (multitexture and framebuffer objects), was found.
struct GlEntryPoints {
    bool shaders;
    bool framebuffers;
};
GlEntryPoints loadGlExtensions(ProcLookup lookup = nullptr);
