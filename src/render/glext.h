#pragma once

// Resolves the OpenGL 2.0 shader and EXT framebuffer-object entry points
// for the current context. Returns false if any is missing.
bool loadGlExtensions();
