// SPDX-License-Identifier: GPL-3.0-or-later
#include "render/shader.h"

#include <sys/stat.h>

#include <cstdio>
#include <memory>

#include "render/glext_gl.h"

std::unique_ptr<char[]> read_source(const char *sourceFilename)
{
    struct stat st;
    if (stat(sourceFilename, &st) != 0) {
        std::fprintf(stderr, "%s could not be stat\n", sourceFilename);
        return nullptr;
    }
    const auto size = static_cast<std::size_t>(st.st_size);
    auto buffer = std::make_unique<char[]>(size + 1);
    std::FILE *fp = std::fopen(sourceFilename, "rb");
    if (!fp) {
        std::fprintf(stderr, "%s could not be read\n", sourceFilename);
        return nullptr;
    }
    // A short read (the file shrank since stat) still ends at what was read.
    const std::size_t got = std::fread(buffer.get(), 1, size, fp);
    std::fclose(fp);
    buffer[got] = '\0';
    return buffer;
}

namespace
{

void print_info_log(GLuint obj, bool program)
{
    GLint length = 0;
    if (program)
        qglGetProgramiv(obj, GL_INFO_LOG_LENGTH, &length);
    else
        qglGetShaderiv(obj, GL_INFO_LOG_LENGTH, &length);
    if (length <= 0)
        return;
    auto log = std::make_unique<char[]>(static_cast<std::size_t>(length));
    if (program)
        qglGetProgramInfoLog(obj, length, nullptr, log.get());
    else
        qglGetShaderInfoLog(obj, length, nullptr, log.get());
    log[length - 1] = '\0';
    std::fprintf(stderr, "%s\n", log.get());
}

// 0 when the file cannot be read or the shader does not compile (reported).
GLuint compile_shader(GLenum type, const char *file)
{
    std::unique_ptr<char[]> text = read_source(file);
    if (!text)
        return 0;
    GLuint shader = qglCreateShader(type);
    const GLchar *source = text.get();
    qglShaderSource(shader, 1, &source, nullptr);
    qglCompileShader(shader);
    text.reset();
    GLint status = GL_FALSE;
    qglGetShaderiv(shader, GL_COMPILE_STATUS, &status);
    if (status == GL_FALSE) {
        std::fprintf(stderr, "Compile %s failed:\n", file);
        print_log(shader);
        qglDeleteShader(shader);
        return 0;
    }
    return shader;
}

} // namespace

void print_log(unsigned int obj)
{
    // A program object carries the log of a failed link, a shader its compile log.
    print_info_log(obj, qglIsProgram(obj) == GL_TRUE);
}

unsigned int compile_program(const char *vertex_file, const char *fragment_file)
{
    // Without a context's entry points there is nothing to build with.
    if (!qglCreateShader && !loadGlExtensions().shaders)
        return 0;

    GLuint vertex = 0;
    if (vertex_file) {
        vertex = compile_shader(GL_VERTEX_SHADER, vertex_file);
        if (!vertex)
            return 0;
    }
    GLuint fragment = 0;
    if (fragment_file) {
        fragment = compile_shader(GL_FRAGMENT_SHADER, fragment_file);
        if (!fragment) {
            if (vertex)
                qglDeleteShader(vertex);
            return 0;
        }
    }

    GLuint program = qglCreateProgram();
    if (vertex)
        qglAttachShader(program, vertex);
    if (fragment)
        qglAttachShader(program, fragment);
    qglLinkProgram(program);
    // Flagged only: attached shaders live on with the program.
    if (vertex)
        qglDeleteShader(vertex);
    if (fragment)
        qglDeleteShader(fragment);

    GLint status = GL_FALSE;
    qglGetProgramiv(program, GL_LINK_STATUS, &status);
    if (status == GL_FALSE) {
        std::fprintf(stderr, "Link %s and %s failed:\n", vertex_file ? vertex_file : "(none)",
                     fragment_file ? fragment_file : "(none)");
        print_log(program);
        qglDeleteProgram(program);
        return 0;
    }
    return program;
}
