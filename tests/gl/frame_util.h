#pragma once

// Small helpers shared by the frame, shader and HUD tests.

#include <stdlib.h>
#include <unistd.h>

#include <GL/gl.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "gl/gl_context.h"

namespace frametest
{

// The X server of a loaded test machine now and then refuses a first
// connection; a few tries a tenth of a second apart get through.
inline bool openWindow(int width, int height)
{
    for (int attempt = 0; attempt < 20; ++attempt) {
        if (gltest::openWindow(width, height))
            return true;
        usleep(100000);
    }
    return false;
}

// Collects what is written to standard error (fd 2) between start and finish.
class StderrCapture
{
  public:
    StderrCapture() : saved_(dup(2)), file_(std::tmpfile())
    {
        std::fflush(stderr);
        dup2(fileno(file_), 2);
    }
    ~StderrCapture() { finish(); }
    std::string finish()
    {
        if (!file_)
            return text_;
        std::fflush(stderr);
        dup2(saved_, 2);
        close(saved_);
        std::rewind(file_);
        for (int c; (c = std::fgetc(file_)) != EOF;)
            text_ += static_cast<char>(c);
        std::fclose(file_);
        file_ = nullptr;
        return text_;
    }

  private:
    int saved_;
    std::FILE *file_;
    std::string text_;
};

// A fresh directory under /tmp, removed with everything in it at the end.
class TempDir
{
  public:
    TempDir()
    {
        char tmpl[] = "/tmp/quorbly-frame-XXXXXX";
        path_ = mkdtemp(tmpl);
    }
    ~TempDir()
    {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    const std::filesystem::path &path() const { return path_; }
    void write(const char *name, const std::string &text) const
    {
        std::FILE *f = std::fopen((path_ / name).c_str(), "wb");
        std::fwrite(text.data(), 1, text.size(), f);
        std::fclose(f);
    }

  private:
    std::filesystem::path path_;
};

// Runs in another directory for the scope, then goes back.
class ChangeDir
{
  public:
    explicit ChangeDir(const std::filesystem::path &to) : from_(std::filesystem::current_path())
    {
        std::filesystem::current_path(to);
    }
    ~ChangeDir() { std::filesystem::current_path(from_); }

  private:
    std::filesystem::path from_;
};

// RGBA frame read back bottom row first, with pixel access by (x, y).
struct Frame {
    int width = 0, height = 0;
    std::vector<std::uint8_t> data;

    static Frame read(int width, int height)
    {
        return Frame{width, height, gltest::readFrame(width, height)};
    }
    const std::uint8_t *at(int x, int y) const
    {
        return &data[(static_cast<std::size_t>(y) * width + x) * 4];
    }
    int brightness(int x, int y) const { return at(x, y)[0] + at(x, y)[1] + at(x, y)[2]; }
};

// Pixels of the region whose summed colour difference from `background`
// exceeds the threshold.
inline int countDifferent(const Frame &f, int x0, int y0, int x1, int y1, const Frame &background,
                          int threshold = 6)
{
    int n = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) {
            int d = 0;
            for (int c = 0; c < 3; ++c)
                d += std::abs(f.at(x, y)[c] - background.at(x, y)[c]);
            n += d > threshold;
        }
    return n;
}

// Writes a frame as a PPM under <build>/frames, for people to look at.
inline void save(const Frame &f, const char *name)
{
    const std::filesystem::path dir = std::filesystem::path(QUORBLY_BUILD_DIR) / "frames";
    std::filesystem::create_directories(dir);
    std::FILE *out = std::fopen((dir / name).c_str(), "wb");
    if (!out)
        return;
    std::fprintf(out, "P6\n%d %d\n255\n", f.width, f.height);
    for (int y = f.height - 1; y >= 0; --y)
        for (int x = 0; x < f.width; ++x)
            std::fwrite(f.at(x, y), 1, 3, out);
    std::fclose(out);
}

} // namespace frametest
