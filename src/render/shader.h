// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// GLSL programs from the shader files in data/.

#include <memory>

// Whole file as a zero-terminated string, or null (with a message on stderr).
std::unique_ptr<char[]> read_source(const char *sourceFilename);
void print_log(unsigned int obj);
// Linked program name, or 0 on any failure (reported on stderr).
unsigned int compile_program(const char *vertex_file, const char *fragment_file);
