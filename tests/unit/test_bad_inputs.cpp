// Rows of docs/bad-inputs.md that the module tests leave open: the terrains
// file with NUL bytes, and an empty or comment-only file ending the program.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <unistd.h>

#include "terrain/terrain.h"
#include "terrain_file.h"

namespace
{

constexpr const char *kRest = ",0.004,20,60,80,2,0,9.81,0.5,0.9,0.8,0.5,0.3,0.25,0.1,0.6,40";

using BadTerrains = TerrainFileTest;

} // namespace

// A NUL ends the text of its line: before the name the line is blank, in
// the name the line is one field short of everything, and the lines after
// it are read as usual.
TEST_F(BadTerrains, NulBytesEndTheirLine)
{
    const std::string nul(1, '\0');
    ASSERT_TRUE(load(nul + "Hidden" + kRest + "\n" +       // line 1: blank
                     "Cut" + nul + "Name" + kRest + "\n" + // line 2: one field
                     "Tail" + kRest + nul + ",junk\n" +    // line 3: whole
                     "After" + kRest + "\n"));             // line 4
    ASSERT_EQ(numTerrains, 2);
    EXPECT_STREQ(terrains[0].name.data(), "Tail");
    EXPECT_EQ(terrains[0].noiseRange, 40);
    EXPECT_STREQ(terrains[1].name.data(), "After");
    EXPECT_EQ(output.find("line 1:"), std::string::npos) << output;
    EXPECT_NE(output.find("line 2: 1 fields instead of 17, skipped"), std::string::npos) << output;
}

TEST_F(BadTerrains, AFileOfNulBytesHoldsNoTerrain)
{
    EXPECT_FALSE(load(std::string(300, '\0') + "\n" + std::string(5, '\0')));
    EXPECT_EQ(numTerrains, 0);
    EXPECT_NE(output.find("holds no terrain"), std::string::npos) << output;
}

TEST_F(BadTerrains, CrlfLinesReadLikeLfLines)
{
    ASSERT_TRUE(load("#comment\r\nA" + std::string(kRest) + "\r\nB" + kRest + "\r\n"));
    ASSERT_EQ(numTerrains, 2);
    EXPECT_STREQ(terrains[0].name.data(), "A");
    EXPECT_EQ(terrains[0].noiseRange, 40);
    EXPECT_EQ(terrains[1].noiseRange, 40);
    EXPECT_EQ(output, "");
}

using BadTerrainsDeathTest = BadTerrains;

TEST_F(BadTerrainsDeathTest, AnEmptyFileEndsTheProgramWithALine)
{
    write("");
    const std::string said = "Terrain file '" + path + "' holds no terrain";
    EXPECT_EXIT(readTerrains(path.c_str()), ::testing::ExitedWithCode(1), "");
    // The line goes to standard output; check it in this process.
    EXPECT_FALSE(load(""));
    EXPECT_EQ(output, said + "\n");
}

TEST_F(BadTerrainsDeathTest, ACommentOnlyFileEndsTheProgramWithALine)
{
    write("#name,circles\n#\n");
    EXPECT_EXIT(readTerrains(path.c_str()), ::testing::ExitedWithCode(1), "");
}
