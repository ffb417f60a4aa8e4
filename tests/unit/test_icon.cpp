// The icon tool redraws the committed menu icons byte for byte from the
// game's own models (it needs the test run's X server).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;

std::string readAll(const fs::path &p)
{
    std::stringstream s;
    s << std::ifstream(p, std::ios::binary).rdbuf();
    return s.str();
}

TEST(IconTool, RedrawsTheCommittedIconsByteForByte)
{
    const fs::path out = fs::temp_directory_path() / "quorbly-icons";
    fs::remove_all(out);
    fs::create_directories(out);
    const std::string cmd = QUORBLY_BUILD_DIR "/tools/icongen/quorbly-icongen " QUORBLY_DATA_DIR
                                              " " +
                            out.string() + " > /dev/null";
    ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
    for (const char *size : {"64", "128", "256"}) {
        const std::string name = std::string("quorbly-") + size + ".png";
        const std::string made = readAll(out / name);
        EXPECT_GT(made.size(), 1000u) << name;
        EXPECT_TRUE(made == readAll(fs::path(QUORBLY_SOURCE_DIR) / "packaging/icons" / name))
            << name;
    }
    fs::remove_all(out);
}
