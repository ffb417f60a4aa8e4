// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/options.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include <unistd.h>

#include "terrain/terrain.h"
#include "terrain/texture.h"

#ifndef QUORBLY_VERSION
#define QUORBLY_VERSION "unknown"
#endif

namespace
{

constexpr std::string_view kHelp =
    R"(Usage: quorbly [OPTION]... [GLUT OPTION]...
Two hamsters in balls knock each other off a hilly arena.

  --fullscreen        start full screen (Alt+Enter switches at any time)
  --window WxH        the window's size in pixels, e.g. 1024x768 (800x600)
  --data DIR          read the terrains, shaders, models and sounds from DIR
                      (the working directory)
  --bot               the bot drives player 2 from the start (F4 as ever)
  --terrain NAME      play the first match on the terrain NAME
  --seed N            seed the random choices and the terrain textures with N
                      (0 to 4294967295) instead of the clock: the same seed
                      and the same keys at the same times play the same match
  --record FILE       keep the session in FILE, to be played again
  --replay FILE       play the session kept in FILE as it was played (Escape
                      quits, Space pauses, Left/Right seek 5 s, Page Up/Down
                      30 s, Home/End to the ends, Up/Down change the speed,
                      F5 to F8 and P change the view)
  --at SECONDS        with --replay: start watching at that time; with
                      --headless too, print the digest there and stop
  --headless          with --replay: no window and no sound, as fast as it
                      goes; prints the final digest of the game state
  --digest-every N    print the digest of the game state every N frames
  --host              wait for a friend to join over the network (UDP 27015)
  --join HOST[:PORT]  join the game a friend hosts, and steer player 2
  --watch HOST[:PORT] watch the game a friend hosts, live, steering nothing
  --port N            the UDP port to host on or join (27015)
  --input-delay N     online: this side's keys take effect N ticks (0 to 2,
                      1/60 s each) after they were pressed, so that the other
                      screen guesses them wrong less often (0)
  --help              print this help and stop
  --version           print the version and stop

Gamepads plugged in before the start steer players 1 and 2.
)";

template <typename T> bool optionNumber(std::string_view text, T &value)
{
    const char *end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, value);
    return !text.empty() && ec == std::errc{} && ptr == end;
}

bool windowSize(std::string_view text, Options &o)
{
    const std::size_t x = text.find_first_of("xX");
    if (x == std::string_view::npos)
        return false;
    int width = 0, height = 0;
    if (!optionNumber(text.substr(0, x), width) || !optionNumber(text.substr(x + 1), height))
        return false;
    if (width < 1 || height < 1 || width > 16384 || height > 16384)
        return false;
    o.width = width;
    o.height = height;
    return true;
}

// Applies option `name` with `value`; returns what was expected, or empty.
std::string_view apply(std::string_view name, std::string_view value, Options &o)
{
    if (name == "--window")
        return windowSize(value, o) ? "" : "WIDTHxHEIGHT from 1x1 to 16384x16384, e.g. 1024x768";
    if (name == "--data") {
        o.dataDir = value;
        return value.empty() ? "a directory" : "";
    }
    if (name == "--terrain") {
        o.terrain = value;
        return value.empty() ? "a terrain name" : "";
    }
    if (name == "--join" || name == "--watch") {
        // HOST or HOST:PORT; ENet speaks IPv4, so a colon only ever comes
        // before a port.
        const std::size_t colon = value.rfind(':');
        if (o.net != NetRole::Off)
            return "the one game to join or watch";
        o.net = name == "--join" ? NetRole::Join : NetRole::Watch;
        o.joinHost = value.substr(0, colon);
        if (colon != std::string_view::npos) {
            std::uint16_t port = 0;
            if (!optionNumber(value.substr(colon + 1), port) || port == 0)
                return "HOST or HOST:PORT with a port from 1 to 65535";
            o.joinPort = port;
        }
        return o.joinHost.empty() ? "HOST or HOST:PORT" : "";
    }
    if (name == "--port") {
        std::uint16_t port = 0;
        if (!optionNumber(value, port) || port == 0)
            return "a port from 1 to 65535";
        o.port = port;
        return "";
    }
    if (name == "--input-delay") {
        std::uint32_t ticks = 0;
        if (!optionNumber(value, ticks) || ticks > 2)
            return "a number of ticks from 0 to 2";
        o.inputDelay = ticks;
        return "";
    }
    if (name == "--record" || name == "--replay") {
        (name == "--record" ? o.record : o.replay) = value;
        return value.empty() ? "a file name" : "";
    }
    if (name == "--at") {
        double at = 0;
        if (!optionNumber(value, at) || !(at >= 0 && at < 1e9))
            return "a number of seconds from 0 up";
        o.at = at;
        return "";
    }
    if (name == "--digest-every")
        return optionNumber(value, o.digestEvery) && o.digestEvery > 0
                   ? ""
                   : "a whole number of frames from 1 up";
    std::uint32_t seed = 0;
    if (!optionNumber(value, seed))
        return "a whole number from 0 to 4294967295";
    o.seed = seed;
    return "";
}

bool takesValue(std::string_view name)
{
    return name == "--window" || name == "--data" || name == "--terrain" || name == "--seed" ||
           name == "--join" || name == "--port" || name == "--record" || name == "--replay" ||
           name == "--digest-every" || name == "--at" || name == "--input-delay" ||
           name == "--watch";
}

CommandLine bad(std::string line)
{
    return {{}, 2, "quorbly: " + line + "\n", {}};
}

} // namespace

CommandLine parseCommandLine(const std::vector<std::string_view> &args)
{
    CommandLine cl;
    bool hosting = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        if (!arg.starts_with("--")) {
            cl.rest.push_back(i);
            continue;
        }
        const std::size_t eq = arg.find('=');
        const std::string_view name = arg.substr(0, eq);
        if (name == "--help" || name == "--version")
            return {
                {}, 0, name == "--help" ? std::string(kHelp) : "Quorbly " QUORBLY_VERSION "\n", {}};
        if (takesValue(name)) {
            std::string_view value;
            if (eq != std::string_view::npos)
                value = arg.substr(eq + 1);
            else if (i + 1 < args.size())
                value = args[++i];
            else
                return bad(std::string(name) +
                           " needs a value: " + std::string(apply(name, "", cl.options)));
            const std::string_view expected = apply(name, value, cl.options);
            if (!expected.empty())
                return bad(std::string(name) + ": '" + std::string(value) + "' is not " +
                           std::string(expected));
        } else if (eq == std::string_view::npos &&
                   (name == "--fullscreen" || name == "--bot" || name == "--headless")) {
            (name == "--bot"        ? cl.options.bot
             : name == "--headless" ? cl.options.headless
                                    : cl.options.fullscreen) = true;
        } else if (eq == std::string_view::npos && name == "--host") {
            hosting = true;
        } else {
            return bad("unknown option '" + std::string(arg) + "' (see quorbly --help)");
        }
    }
    if (hosting && cl.options.net != NetRole::Off)
        return bad("--host and --join or --watch: a game is either hosted or joined");
    if (hosting)
        cl.options.net = NetRole::Host;
    if (cl.options.joinPort)
        cl.options.port = *cl.options.joinPort;
    const Options &o = cl.options;
    if (o.net != NetRole::Off && !o.replay.empty())
        return bad("--host and --join play online, not with --replay");
    if (o.inputDelay && o.net != NetRole::Host && o.net != NetRole::Join)
        return bad("--input-delay goes with --host or --join");
    if (o.at && o.replay.empty())
        return bad("--at goes with --replay FILE");
    if (o.headless && o.replay.empty())
        return bad("--headless goes with --replay FILE");
    if (!o.replay.empty() && !o.record.empty())
        return bad("--record and --replay do not go together");
    if (!o.replay.empty() && (o.bot || !o.terrain.empty() || o.seed))
        return bad("--replay plays the session as it was recorded: no --bot, --terrain or --seed");
    return cl;
}

CommandLine takeOptions(int &argc, char **argv)
{
    CommandLine cl = parseCommandLine(std::vector<std::string_view>(argv + 1, argv + argc));
    argc = 1;
    for (std::size_t i : cl.rest)
        argv[argc++] = argv[i + 1];
    argv[argc] = nullptr;
    return cl;
}

int findTerrain(const std::vector<std::string_view> &names, std::string_view name)
{
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    for (std::size_t i = 0; i < names.size(); ++i)
        if (names[i].size() == name.size() &&
            std::equal(name.begin(), name.end(), names[i].begin(),
                       [&](char a, char b) { return lower(a) == lower(b); }))
            return static_cast<int>(i);
    return -1;
}

const char *gameVersion()
{
    return QUORBLY_VERSION;
}

int startOptions(Options &options)
{
    // Relative to where the game was started, not to the data directory.
    for (std::string *path : {&options.record, &options.replay}) {
        std::error_code error;
        const std::filesystem::path absolute = std::filesystem::absolute(*path, error);
        if (!path->empty() && !error)
            *path = absolute.string();
    }
    if (!options.dataDir.empty() && chdir(options.dataDir.c_str()) != 0) {
        std::fprintf(stderr, "quorbly: --data: cannot enter '%s': %s\n", options.dataDir.c_str(),
                     std::strerror(errno));
        return 2;
    }
    if (options.seed)
        fixNoiseSeed(*options.seed);
    if (options.terrain.empty())
        return -1;
    if (!loadTerrains("terrains"))
        return 1; // as the game itself would stop
    std::vector<std::string_view> names;
    for (const Terrain &t : terrains)
        names.emplace_back(t.name.data());
    const int index = findTerrain(names, options.terrain);
    if (index < 0) {
        std::fprintf(stderr, "quorbly: --terrain: no terrain is named '%s'; the terrains are:\n",
                     options.terrain.c_str());
        for (std::string_view name : names)
            std::fprintf(stderr, "  %.*s\n", static_cast<int>(name.size()), name.data());
    }
    destroyTerrains(); // init reads them again
    if (index < 0)
        return 2;
    chooseNextTerrain(index);
    return -1;
}
