// SPDX-License-Identifier: GPL-3.0-or-later
// The icon tool redraws the committed menu icons byte for byte from the
// game's own models (it needs the test run's X server).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

TEST(IconTool, RedrawsTheCommittedIconsByteForByte)
{
    const auto out = std::filesystem::temp_directory_path() / "quorbly-icons";
    std::filesystem::create_directories(out);
    const std::string cmd = QUORBLY_BUILD_DIR "/tools/icongen/quorbly-icongen " QUORBLY_DATA_DIR
                                              " " +
                            out.string() + " > /dev/null";
    ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
    const auto read = [](const std::filesystem::path &p) {
        std::stringstream s;
        s << std::ifstream(p, std::ios::binary).rdbuf();
        return s.str();
    };
    for (const std::string name : {"quorbly-64.png", "quorbly-128.png", "quorbly-256.png"}) {
        const std::string made = read(out / name);
        EXPECT_GT(made.size(), 1000u) << name;
        EXPECT_TRUE(made == read(QUORBLY_SOURCE_DIR "/packaging/icons/" + name)) << name;
    }
    std::filesystem::remove_all(out);
}
