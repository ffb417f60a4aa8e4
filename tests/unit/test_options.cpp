// The command line, the named first terrain, the fixed texture seed and the
// pads' button layouts.

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "core/options.h"
#include "core/pad.h"
#include "terrain/terrain.h"
#include "terrain/texture.h"

namespace
{

CommandLine parse(std::vector<std::string> args, std::vector<std::string> *left = nullptr)
{
    args.insert(args.begin(), "quorbly");
    std::vector<char *> argv;
    for (std::string &a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    int argc = static_cast<int>(args.size());
    CommandLine cl = parseCommandLine(argc, argv.data());
    if (left)
        left->assign(argv.begin(), argv.begin() + argc);
    return cl;
}

TEST(CommandLine, OptionsAreTakenAndTheRestGoesToGlut)
{
    std::vector<std::string> left;
    const CommandLine cl = parse({"-display", ":0", "--fullscreen", "--window", "1024x768", "--bot",
                                  "--data=/d", "--terrain", "Ice Rink", "--seed", "4294967295"},
                                 &left);
    EXPECT_EQ(cl.exitStatus, -1);
    EXPECT_EQ(left, (std::vector<std::string>{"quorbly", "-display", ":0"}));
    const Options &o = cl.options;
    EXPECT_TRUE(o.fullscreen && o.bot);
    EXPECT_EQ(o.width * 10000 + o.height, 1024 * 10000 + 768);
    EXPECT_EQ(o.dataDir + "|" + o.terrain, "/d|Ice Rink");
    EXPECT_EQ(o.seed, 4294967295u);

    const Options plain = parse({}).options;
    EXPECT_FALSE(plain.fullscreen || plain.bot || plain.seed);
    EXPECT_EQ(plain.width * 10000 + plain.height, 800 * 10000 + 600);
}

TEST(CommandLine, HelpVersionAndBadInputStopWithOneLine)
{
    EXPECT_EQ(parse({"--bot", "--help"}).exitStatus, 0);
    EXPECT_NE(parse({"--help"}).message.find("--terrain NAME"), std::string::npos);
    EXPECT_TRUE(
        std::regex_match(parse({"--version"}).message, std::regex("Quorbly \\d+\\.\\d+\\.\\d+\n")));
    const std::vector<std::pair<std::vector<std::string>, std::string>> bad{
        {{"--frob"}, "quorbly: unknown option '--frob'"},
        {{"--bot=1"}, "quorbly: unknown option '--bot=1'"},
        {{"--window", "800"}, "quorbly: --window: '800' is not WIDTHxHEIGHT"},
        {{"--window", "0x600"}, "quorbly: --window: '0x600' is not"},
        {{"--window=800x600x"}, "quorbly: --window: '800x600x' is not"},
        {{"--seed", "4294967296"}, "quorbly: --seed: '4294967296' is not a whole number"},
        {{"--seed", "-1"}, "quorbly: --seed: '-1' is not"},
        {{"--terrain"}, "quorbly: --terrain needs a value: a terrain name"},
        {{"--data="}, "quorbly: --data: '' is not a directory"}};
    for (const auto &[args, start] : bad) {
        const CommandLine cl = parse(args);
        EXPECT_EQ(cl.exitStatus, 2) << args[0];
        EXPECT_EQ(cl.message.rfind(start, 0), 0u) << cl.message;
        EXPECT_EQ(cl.message.find('\n'), cl.message.size() - 1) << cl.message;
    }
}

TEST(CommandLine, NamedTerrainComesFirstThenTheDrawResumes)
{
    EXPECT_EQ(findTerrain({"Ice Rink", "Mesa Plateaus"}, "mesa PLATEAUS"), 1);
    EXPECT_EQ(findTerrain({"Ice Rink", "Mesa Plateaus"}, "Mesa"), -1);
    terrains.assign(3, Terrain{});
    numTerrains = 3;
    resetTerrainChoice();
    chooseNextTerrain(2);
    const Terrain *first = newMap(), *second = newMap(), *third = newMap();
    EXPECT_EQ(first, &terrains[2]);
    // It counts as played: the next two are the other two.
    EXPECT_TRUE(second != first && third != first && third != second);
    destroyTerrains();
}

TEST(CommandLine, FixedSeedPaintsEachMatchFromTheNextNumber)
{
    EXPECT_EQ(nextNoiseSeed(1234), 1234u);
    fixNoiseSeed(7);
    EXPECT_EQ(nextNoiseSeed(1234), 7u);
    EXPECT_EQ(nextNoiseSeed(99), 8u);
}

TEST(Pad, XboxPadsHaveBackAndStartAtSixAndSeven)
{
    EXPECT_EQ(padButtons("Microsoft X-Box 360 pad").start, 7);
    EXPECT_EQ(padButtons("Xbox Wireless Controller").back, 6);
    EXPECT_EQ(padButtons("Sony Interactive Entertainment Wireless Controller").start, 9);
    EXPECT_EQ(padButtons("USB Gamepad").back, 8);
}

} // namespace
