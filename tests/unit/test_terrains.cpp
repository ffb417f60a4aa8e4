#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <unistd.h>
#include <vector>

#include "terrain/terrain.h"
#include "terrain_file.h"

namespace
{

constexpr const char *kExample =
    "#name,circles,sizeMin,sizeMax,height,factor,invert,gravity,friction,dr,dg,db,ar,ag,ab,"
    "persistence,range\n"
    "\n"
    "Dunes,0.004,20,60,80,2,0,9.81,0.5,0.9,0.8,0.5,0.3,0.25,0.1,0.6,40\n"
    "Basin,0.01,10,30,120,1,1,12,0.8,0.6,0.7,0.6,0.2,0.25,0.2,0.5,25\n"
    "Stacks,0.002,30,90,255,4,0,8,0.3,0.7,0.5,0.4,0.3,0.2,0.1,0.7,60\n";

constexpr const char *kRest = ",0.004,20,60,80,2,0,9.81,0.5,0.9,0.8,0.5,0.3,0.25,0.1,0.6,40";

using TerrainFile = TerrainFileTest;

TEST_F(TerrainFile, WorkedExampleReadsThreeRecords)
{
    ASSERT_TRUE(load(kExample));
    ASSERT_EQ(numTerrains, 3);
    const Terrain &d = terrains[0];
    EXPECT_STREQ(d.name.data(), "Dunes");
    EXPECT_EQ(d.circlesPerCell, 0.004f);
    EXPECT_EQ(d.circleSizeMin, 20.0f);
    EXPECT_EQ(d.circleSizeMax, 60.0f);
    EXPECT_EQ(d.circleHeight, 80.0f);
    EXPECT_EQ(d.circleHeightFactor, 2.0f);
    EXPECT_EQ(d.invert, 0);
    EXPECT_EQ(d.gravity, 9.81f);
    EXPECT_EQ(d.friction, 0.5f);
    EXPECT_EQ(d.diffuse, (std::array<float, 4>{0.9f, 0.8f, 0.5f, 1.0f}));
    EXPECT_EQ(d.ambient, (std::array<float, 4>{0.3f, 0.25f, 0.1f, 1.0f}));
    EXPECT_EQ(d.noisePersistence, 0.6f);
    EXPECT_EQ(d.noiseRange, 40);
    EXPECT_STREQ(terrains[1].name.data(), "Basin");
    EXPECT_EQ(terrains[1].invert, 1);
    EXPECT_STREQ(terrains[2].name.data(), "Stacks");
    EXPECT_EQ(output, "");
}

TEST_F(TerrainFile, CommentsBlanksAndSpacesClassify)
{
    // '#' only counts at the very first character; a line of spaces is a terrain line.
    ASSERT_TRUE(load("#x\n\n  #odd" + std::string(kRest) + "\n"));
    ASSERT_EQ(numTerrains, 1);
    EXPECT_STREQ(terrains[0].name.data(), "  #odd");

    // Comments and blank lines only: nothing to play on.
    EXPECT_FALSE(load("# nothing\n\n#more\n"));
    EXPECT_EQ(numTerrains, 0);
    EXPECT_NE(output.find("holds no terrain"), std::string::npos);
    EXPECT_FALSE(load(""));
    EXPECT_EQ(numTerrains, 0);
}

TEST_F(TerrainFile, LongLinesAreCutAndTheirRestSkipped)
{
    // 250 characters: one terrain from the first 200; the other 50 are not a line.
    std::string line = "Long" + std::string(kRest) + ",";
    line += std::string(250 - line.size(), '7');
    ASSERT_EQ(line.size(), 250u);
    ASSERT_TRUE(load(line + "\n" + "Next" + kRest + "\n"));
    ASSERT_EQ(numTerrains, 2);
    EXPECT_STREQ(terrains[0].name.data(), "Long");
    EXPECT_STREQ(terrains[1].name.data(), "Next");
}

TEST_F(TerrainFile, LastLineWithoutNewlineIsRead)
{
    ASSERT_TRUE(load(std::string("A") + kRest + "\nB" + kRest));
    ASSERT_EQ(numTerrains, 2);
    EXPECT_STREQ(terrains[1].name.data(), "B");
    EXPECT_EQ(terrains[1].noiseRange, 40);
}

TEST_F(TerrainFile, CommaRunsAndLeadingCommasVanish)
{
    ASSERT_TRUE(load(std::string(",,Lead") + kRest +
                     "\nRun,,0.004,20,,60,80,2,0,9.81,0.5,0.9,0.8,0.5,"
                     "0.3,0.25,0.1,0.6,40,extra,fields\n"));
    ASSERT_EQ(numTerrains, 2);
    EXPECT_STREQ(terrains[0].name.data(), "Lead");
    EXPECT_EQ(terrains[0].circleSizeMax, 60.0f);
    EXPECT_EQ(terrains[1].circleSizeMax, 60.0f);
    EXPECT_EQ(terrains[1].noiseRange, 40);
}

TEST_F(TerrainFile, NumbersReadLikeAtofAndAtoi)
{
    ASSERT_TRUE(load("N, 0.5x,1e1,  -2.5e-1junk,abc,3,1.9,9.81,0.5,0.9,0.8,0.5,0.3,0.25,0.1,0.6,"
                     "0.5\n"
                     "M,0.01,10,30,120,1,0.5,12,0.8,0.6,0.7,0.6,0.2,0.25,0.2,0.5,25\r\n"));
    ASSERT_EQ(numTerrains, 2);
    EXPECT_EQ(terrains[0].circlesPerCell, 0.5f);
    EXPECT_EQ(terrains[0].circleSizeMin, 10.0f);
    EXPECT_EQ(terrains[0].circleSizeMax, -0.25f);
    EXPECT_EQ(terrains[0].circleHeight, 0.0f); // no number at all reads as 0
    EXPECT_EQ(terrains[0].invert, 1);          // 1.9 inverts
    EXPECT_EQ(terrains[0].noiseRange, 0);
    EXPECT_EQ(terrains[1].invert, 0);      // 0.5 does not
    EXPECT_EQ(terrains[1].noiseRange, 25); // the carriage return is ignored
}

TEST_F(TerrainFile, ShortLinesAreSkippedWithALine)
{
    ASSERT_TRUE(load(std::string("Good") + kRest + "\nShort,1,2,3\n   \n\r\n,,\n"));
    ASSERT_EQ(numTerrains, 1);
    EXPECT_NE(output.find("line 2: 4 fields instead of 17"), std::string::npos) << output;
    EXPECT_NE(output.find("line 3: 1 fields"), std::string::npos) << output;
    EXPECT_NE(output.find("line 4: 1 fields"), std::string::npos) << output;
    EXPECT_NE(output.find("line 5: 0 fields"), std::string::npos) << output;
    // An empty field vanishes and the line comes up short too.
    EXPECT_TRUE(
        load(std::string("Good") + kRest + "\nGap,0.004,,20,60,80,2,0,9.81,0.5,0.9,0.8,0.5\n"));
    EXPECT_EQ(numTerrains, 1);
}

TEST_F(TerrainFile, LongNamesAreCutToNineteen)
{
    ASSERT_TRUE(load(std::string(40, 'N') + kRest + "\n"));
    EXPECT_EQ(std::string(terrains[0].name.data()), std::string(19, 'N'));
}

TEST_F(TerrainFile, HugeAndNonNumbersDoNotSlipThrough)
{
    ASSERT_TRUE(
        load(std::string("Big") + kRest + ",\n" +
             "Inf,1e999,20,60,80,2,0,9.81,0.5,0.9,0.8,0.5,0.3,0.25,0.1,0.6,40\n" +
             "Nan,nan,20,60,80,2,99999999999999,9.81,0.5,0.9,0.8,0.5,0.3,0.25,0.1,0.6,40\n"));
    ASSERT_EQ(numTerrains, 2);
    EXPECT_STREQ(terrains[1].name.data(), "Nan");
    EXPECT_EQ(terrains[1].circlesPerCell, 0.0f); // "nan" is no decimal number
    EXPECT_EQ(terrains[1].invert, 2147483647);   // saturates, no overflow
    EXPECT_NE(output.find("line 2: a value is not a finite number"), std::string::npos) << output;
}

TEST_F(TerrainFile, GarbageBytesNeverCrash)
{
    std::srand(7);
    for (int round = 0; round < 200; ++round) {
        std::string junk;
        int n = std::rand() % 600;
        for (int i = 0; i < n; ++i)
            junk.push_back(static_cast<char>(std::rand() % 256));
        load(junk);
        EXPECT_EQ(numTerrains, static_cast<int>(terrains.size()));
        for (const Terrain &t : terrains)
            EXPECT_EQ(t.name.back(), '\0');
    }
}

TEST_F(TerrainFile, MissingFileIsReported)
{
    ::testing::internal::CaptureStdout();
    EXPECT_FALSE(loadTerrains("/nonexistent/terrains"));
    EXPECT_EQ(::testing::internal::GetCapturedStdout(),
              "Cannot open terrain file '/nonexistent/terrains'\n");
}

TEST(TerrainFileDeathTest, ReadTerrainsExitsWithoutTheFile)
{
    EXPECT_EXIT(readTerrains("/nonexistent/terrains"), ::testing::ExitedWithCode(1), "");
}

TEST(FileReadLine, ResultCodes)
{
    std::FILE *f = std::tmpfile();
    ASSERT_TRUE(f);
    std::fputs("abcde\nabcdefgh\nxy", f);
    std::rewind(f);
    char buf[6];
    EXPECT_EQ(fileReadLine(buf, 5, f), 1); // exactly maxLength characters
    EXPECT_STREQ(buf, "abcde");
    EXPECT_EQ(fileReadLine(buf, 5, f), 0); // cut
    EXPECT_STREQ(buf, "abcde");
    EXPECT_EQ(fileReadLine(buf, 5, f), 0); // last line, no newline
    EXPECT_STREQ(buf, "xy");
    std::strcpy(buf, "keep");
    EXPECT_EQ(fileReadLine(buf, 5, f), -1);
    EXPECT_STREQ(buf, "keep");
    std::fclose(f);
}

class Choice : public ::testing::Test
{
  protected:
    void SetUp() override { resetTerrainChoice(); }
    void TearDown() override { destroyTerrains(); }
    void useTerrains(int n)
    {
        terrains.assign(n, Terrain{});
        numTerrains = n;
    }
    int pick()
    {
        Terrain *t = newMap();
        EXPECT_EQ(t, &terrains[terrainCurrent]);
        return terrainCurrent;
    }
};

TEST_F(Choice, ThreeTerrainsCycleForEver)
{
    useTerrains(3);
    std::srand(11);
    int p = pick();
    int q = pick();
    EXPECT_NE(p, q);
    int r = 3 - p - q;
    for (int i = 0; i < 30; ++i) {
        EXPECT_EQ(pick(), r);
        EXPECT_EQ(pick(), p);
        EXPECT_EQ(pick(), q);
    }
}

TEST_F(Choice, ManyTerrainsAvoidTheTwoBefore)
{
    useTerrains(8);
    std::srand(3);
    int before2 = -1, before1 = pick();
    std::set<int> seen;
    for (int i = 0; i < 2000; ++i) {
        int now = pick();
        EXPECT_NE(now, before1);
        EXPECT_NE(now, before2);
        seen.insert(now);
        before2 = before1;
        before1 = now;
    }
    EXPECT_EQ(seen.size(), 8u);
}

TEST_F(Choice, TwoAlternateAndOneRepeats)
{
    useTerrains(2);
    std::srand(5);
    int first = pick();
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(pick(), (first + 1 + i) % 2);
    destroyTerrains();
    resetTerrainChoice();
    useTerrains(1);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(pick(), 0);
}

} // namespace
