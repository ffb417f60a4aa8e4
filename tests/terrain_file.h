#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <unistd.h>

#include "terrain/terrain.h"

// A scratch "terrains" file: write bytes into it and load it as the game does,
// keeping what the reader printed.
class TerrainFileTest : public ::testing::Test
{
  protected:
    std::string path;
    std::string output;

    void SetUp() override
    {
        char name[] = "/tmp/quorbly-terrainsXXXXXX";
        int fd = mkstemp(name);
        ASSERT_GE(fd, 0);
        close(fd);
        path = name;
        resetTerrainChoice();
    }
    void TearDown() override
    {
        std::remove(path.c_str());
        destroyTerrains();
    }
    void write(const std::string &bytes)
    {
        std::FILE *f = std::fopen(path.c_str(), "wb");
        ASSERT_TRUE(f);
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
    bool load(const std::string &bytes)
    {
        write(bytes);
        ::testing::internal::CaptureStdout();
        bool ok = loadTerrains(path.c_str());
        output = ::testing::internal::GetCapturedStdout();
        return ok;
    }
};
