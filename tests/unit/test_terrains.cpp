// SPDX-License-Identifier: GPL-3.0-or-later
// The terrains file reader, the choice of terrain and the names on the HUD.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <set>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

#include "core/random.h"
#include "render/utilities.h"
#include "sim/particle.h"
#include "sim/powerup.h"
#include "terrain/heightmap.h"
#include "terrain/terrain.h"

namespace
{

const std::string kRest = ",0.004,20,60,80,2,0,9.81,0.5,0.9,0.8,0.5,0.3,0.25,0.1,0.6,40\n";
const std::string kExample =
    "#name,circles,sizeMin,sizeMax,height,factor,invert,gravity,friction,dr,dg,db,ar,ag,ab,"
    "persistence,range\n\n"
    "Dunes,0.004,20,60,80,2,0,9.81,0.5,0.9,0.8,0.5,0.3,0.25,0.1,0.6,40\n"
    "Basin,0.01,10,30,120,1,1,12,0.8,0.6,0.7,0.6,0.2,0.25,0.2,0.5,25\n"
    "Stacks,0.002,30,90,255,4,0,8,0.3,0.7,0.5,0.4,0.3,0.2,0.1,0.7,60\n";

// A line with the given gravity and friction.
std::string forces(const char *name, const char *gravity, const char *friction)
{
    return std::string(name) + ",0.004,20,60,80,2,0," + gravity + "," + friction +
           ",0.9,0.8,0.5,0.3,0.25,0.1,0.6,40\n";
}

// Every field of a record after its name, in file order.
std::vector<float> values(const Terrain &t)
{
    return {t.circlesPerCell,     t.circleSizeMin,    t.circleSizeMax, t.circleHeight,
            t.circleHeightFactor, float(t.invert),    t.gravity,       t.friction,
            t.diffuse[0],         t.diffuse[1],       t.diffuse[2],    t.diffuse[3],
            t.ambient[0],         t.ambient[1],       t.ambient[2],    t.ambient[3],
            t.noisePersistence,   float(t.noiseRange)};
}

// A scratch "terrains" file loaded as the game loads it. `said` is what the
// reader printed, with "Terrain file 'PATH' " taken out of each line.
class TerrainFile : public ::testing::Test
{
  protected:
    std::string path = "/tmp/quorbly-terrains-" + std::to_string(getpid());
    std::string said;
    void SetUp() override { resetTerrainChoice(); }
    void TearDown() override
    {
        std::remove(path.c_str());
        destroyTerrains();
    }
    bool load(const std::string &bytes)
    {
        std::FILE *f = std::fopen(path.c_str(), "wb");
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
        ::testing::internal::CaptureStdout();
        const bool ok = loadTerrains(path.c_str());
        said = ::testing::internal::GetCapturedStdout();
        const std::string prefix = "Terrain file '" + path + "' ";
        for (std::size_t at; (at = said.find(prefix)) != std::string::npos;)
            said.erase(at, prefix.size());
        return ok;
    }
    std::string names() const
    {
        std::string out;
        for (const Terrain &t : terrains)
            out += std::string(t.name.data()) + "|";
        return out;
    }
};

TEST_F(TerrainFile, LinesAreTerrainsOrSkippedWithTheirReason)
{
    const std::string nul(1, '\0'), a18(18, 'a');
    std::string longLine = "Long" + kRest.substr(0, kRest.size() - 1) + ",";
    longLine += std::string(250 - longLine.size(), '7') + "\n";
    const std::string fieldNames = kExample.substr(1, kExample.find('\n'));
    struct Case {
        std::string file, names, said;
    };
    const Case cases[] = {
        {kExample, "Dunes|Basin|Stacks|", ""},
        {"", "", "holds no terrain\n"},
        {"# nothing\n\n#more\n", "", "holds no terrain\n"},
        {"#x\n\n  #odd" + kRest, "  #odd|", ""}, // '#' counts only first
        {longLine + "Next" + kRest, "Long|Next|", ""},
        {"A" + kRest + "B" + kRest.substr(0, kRest.size() - 1), "A|B|", ""},
        {",,Lead" + kRest + "Run,,0.004,20,,60,80,2,0,9.81,0.5,0.9,0.8,0.5,0.3,0.25,0.1,0.6,40,x\n",
         "Lead|Run|", ""},
        {"Good" + kRest +
             "Short,1,2,3\n   \n\r\n,,\nGap,0.004,,20,60,80,2,0,9.81,0.5,0.9,0.8,0.5," +
             "0.3,0.25,0.1,0.6\n",
         "Good|",
         "line 2: 4 fields instead of 17, skipped\nline 3: 1 fields instead of 17, skipped\n"
         "line 4: 1 fields instead of 17, skipped\nline 5: 0 fields instead of 17, skipped\n"
         "line 6: 16 fields instead of 17, skipped\n"},
        {nul + "Hidden" + kRest + "Cut" + nul + "Name" + kRest + "Tail" +
             kRest.substr(0, kRest.size() - 1) + nul + ",junk\nAfter" + kRest,
         "Tail|After|", "line 2: 1 fields instead of 17, skipped\n"},
        {std::string(300, '\0') + "\n" + nul, "", "holds no terrain\n"},
        {"#c\r\nA" + kRest.substr(0, kRest.size() - 1) + "\r\nB" + kRest, "A|B|", ""},
        {"\xEF\xBB\xBF" + kExample, "Dunes|Basin|Stacks|", ""}, // Notepad's byte-order mark
        {fieldNames +
             "\"Q\",\"0.004\",\"20\",\"60\",\"80\",\"2\",\"0\",\"9.81\",\"0.5\",\"0.9\","
             "\"0.8\",\"0.5\",\"0.3\",\"0.25\",\"0.1\",\"0.6\",\"40\"\nA" +
             kRest,
         "A|",
         "line 1: no number in its fields, skipped\nline 2: no number in its fields, skipped\n"},
        {forces("A", "10000", "-10000") + forces("B", "-10000", "10000") +
             forces("C", "10000.5", "1") + forces("D", "1", "-1e5") + forces("E", "1e30", "0") +
             forces("F", "0", "0") + forces("G", "0.001", "0") + forces("H", "nan", "0") +
             forces("I", "1e999", "0"),
         "A|G|",
         "line 2: gravity is not above 0, skipped\n"
         "line 3: gravity or friction beyond 10000 either way, skipped\n"
         "line 4: gravity or friction beyond 10000 either way, skipped\n"
         "line 5: gravity or friction beyond 10000 either way, skipped\n"
         "line 6: gravity is not above 0, skipped\nline 8: gravity is not above 0, skipped\n"
         "line 9: a value is not a finite number, skipped\n"},
        {forces("0", "0", "1"), "", "line 1: gravity is not above 0, skipped\nholds no terrain\n"},
        // Names: cut to 19 bytes, never inside a UTF-8 character.
        {std::string(40, 'N') + kRest + "Montaña Rusa" + kRest + a18 + "ñx" + kRest +
             a18.substr(1) + "ñ" + kRest + a18.substr(1) + "€" + kRest,
         std::string(19, 'N') + "|Montaña Rusa|" + a18 + "|" + a18.substr(1) + "ñ|" +
             a18.substr(1) + "|",
         ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.file);
        EXPECT_EQ(load(c.file), !c.names.empty());
        EXPECT_EQ(names(), c.names);
        EXPECT_EQ(numTerrains, static_cast<int>(terrains.size()));
        EXPECT_EQ(said, c.said);
    }
}

TEST_F(TerrainFile, FieldsReadLikeAtofAndAtoiIntoTheirPlaces)
{
    ASSERT_TRUE(load(kExample + "N, 0.5x,1e1,  -2.5e-1junk,abc,3,1.9,9.81,0.5,0.9,0.8,0.5,0.3," +
                     "0.25,0.1,0.6,99999999999999\nM,0.01,10,30,120,1,0.5,12,0.8,0.6,0.7,0.6,0.2," +
                     "0.25,0.2,0.5,25\r\n"));
    ASSERT_EQ(numTerrains, 5);
    EXPECT_EQ(values(terrains[0]),
              (std::vector<float>{0.004f, 20, 60, 80, 2, 0, 9.81f, 0.5f, 0.9f, 0.8f, 0.5f, 1, 0.3f,
                                  0.25f, 0.1f, 1, 0.6f, 40}));
    // No number reads as 0, 1.9 inverts, huge integers saturate, and a
    // carriage return ends the last number.
    EXPECT_EQ(values(terrains[3]),
              (std::vector<float>{0.5f, 10, -0.25f, 0, 3, 1, 9.81f, 0.5f, 0.9f, 0.8f, 0.5f, 1, 0.3f,
                                  0.25f, 0.1f, 1, 0.6f, 2147483647.0f}));
    EXPECT_EQ(terrains[4].invert, 0); // 0.5 does not invert
    EXPECT_EQ(terrains[4].noiseRange, 25);
}

TEST_F(TerrainFile, RandomBytesLeaveOnlyWholeTerrains)
{
    seedGameRand(7);
    for (int round = 0; round < 200; ++round) {
        std::string junk(gameRand() % 600, ' ');
        for (char &c : junk)
            c = static_cast<char>(gameRand() % 256);
        load(junk);
        EXPECT_EQ(numTerrains, static_cast<int>(terrains.size()));
        for (const Terrain &t : terrains)
            EXPECT_GT(t.gravity, 0);
    }
}

TEST(TerrainFileDeathTest, AMissingOrEmptyFileEndsTheProgram)
{
    ::testing::internal::CaptureStdout();
    EXPECT_FALSE(loadTerrains("/nonexistent/terrains"));
    EXPECT_EQ(::testing::internal::GetCapturedStdout(),
              "Cannot open terrain file '/nonexistent/terrains'\n");
    EXPECT_EXIT(readTerrains("/nonexistent/terrains"), ::testing::ExitedWithCode(1), "");
    EXPECT_EXIT(readTerrains("/dev/null"), ::testing::ExitedWithCode(1), "");
}

TEST(FileReadLine, WholeCutAndEndOfFile)
{
    std::FILE *f = std::tmpfile();
    std::fputs("abcde\nabcdefgh\nxy", f);
    std::rewind(f);
    char buf[6];
    EXPECT_EQ(fileReadLine(buf, 5, f), 1); // exactly maxLength characters
    EXPECT_STREQ(buf, "abcde");
    EXPECT_EQ(fileReadLine(buf, 5, f), 0); // cut, and the rest skipped
    EXPECT_STREQ(buf, "abcde");
    EXPECT_EQ(fileReadLine(buf, 5, f), 0); // last line, no newline
    EXPECT_STREQ(buf, "xy");
    EXPECT_EQ(fileReadLine(buf, 5, f), -1);
    EXPECT_STREQ(buf, "xy");
    std::fclose(f);
}

TEST(Choice, NeverOneOfTheTwoBeforeAsFarAsTheTableAllows)
{
    for (int n : {1, 2, 3, 8}) {
        terrains.assign(n, Terrain{});
        numTerrains = n;
        resetTerrainChoice();
        seedGameRand(n);
        std::vector<int> got;
        for (int i = 0; i < 300; ++i) {
            const Terrain *t = newMap();
            EXPECT_EQ(t, &terrains[terrainCurrent]);
            got.push_back(terrainCurrent);
        }
        int repeats = 0;
        for (std::size_t i = 2; i < got.size(); ++i)
            repeats += (n >= 2 && got[i] == got[i - 1]) || (n >= 3 && got[i] == got[i - 2]);
        EXPECT_EQ(repeats + (got[1] == got[0] && n >= 2), 0) << n << " terrains";
        EXPECT_EQ(std::set<int>(got.begin(), got.end()).size(), static_cast<std::size_t>(n));
    }
    destroyTerrains();
}

TEST(Names, Utf8ShowsAsLatin1WhereTheFontsHaveTheLetters)
{
    const std::pair<const char *, const char *> cases[] = {
        {"Montaña Rusa", "Monta\xf1"
                         "a Rusa"},
        {"Ærø Øst ÿ", "\xc6r\xf8 \xd8st \xff"},
        {"€uro 日本 😀!", "?uro ?? ?!"},
        {"\xc2\x85 no glyph, nbsp\xc2\xa0", "? no glyph, nbsp\xa0"},
        {"broken \xff\x80 \xe2\x82 \xc3", "broken ?? ? ?"},
    };
    for (const auto &[utf8, latin1] : cases)
        EXPECT_EQ(latin1FromUtf8(utf8), latin1) << utf8;
}

// Wild values of other modules that the fuzzers found: a burst of any size
// fills the pool at most eight times over, a NaN or negative one makes no
// sparks; the powerup hue stays exact however long the ticker has run.
TEST(Wild, BurstsAndHue)
{
    seedGameRand(9);
    for (int i = 0; i < 8 * kParticleCount * 8; ++i)
        gameRand();
    const int after = gameRand();
    const float inf = std::numeric_limits<float>::infinity();
    for (float size : {8.0f, 1e30f, inf, std::numeric_limits<float>::quiet_NaN(), -1e30f}) {
        initParticles();
        nextParticle = 42;
        seedGameRand(9);
        createExplosion(5, 1, 5, size, 2.0f, 1, 1, 0, 1, 0.5f, 0);
        int live = 0;
        for (const Particle &p : particles)
            live += p.active == 1;
        EXPECT_EQ(live, size > 0 ? kParticleCount : 0) << size;
        EXPECT_EQ(nextParticle, 42) << size;
        EXPECT_EQ(gameRand() == after, size > 0) << size << ": eight passes of eight draws";
    }
    Powerup p{};
    p.active = p.grounded = 1;
    for (auto [tick, hue] : {std::pair{1000.25f, 45.0f}, {1e7f, 0.0f}, {4194305.0f, 192.0f}}) {
        ticker = tick;
        std::array<unsigned char, kGridPoints> flat{};
        updatePowerup(&p, flat.data(), 9.81f, 0.0f);
        EXPECT_EQ(hval, hue) << tick;
    }
    ticker = 0;
}

} // namespace
