// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The keys the game answers, by SDL 1.2's key symbol numbers (the shell
// checks each against its SDLK_ name), and the names replays write them by.

#include <array>
#include <optional>
#include <string_view>

namespace keys
{
inline constexpr int kEscape = 27, kSpace = 32, kOne = 49, kTwo = 50;
inline constexpr int kA = 97, kD = 100, kI = 105, kJ = 106, kK = 107, kL = 108, kM = 109;
inline constexpr int kP = 112, kS = 115, kU = 117, kW = 119;
inline constexpr int kKeypadMinus = 269, kKeypadPlus = 270;
inline constexpr int kUp = 273, kDown = 274, kRight = 275, kLeft = 276;
inline constexpr int kHome = 278, kEnd = 279, kPageUp = 280, kPageDown = 281;
inline constexpr int kF1 = 282; // F2 to F12 follow in order
inline constexpr int kF4 = kF1 + 3, kF5 = kF1 + 4, kF6 = kF1 + 5, kF7 = kF1 + 6, kF8 = kF1 + 7;
inline constexpr int kF9 = kF1 + 8, kF10 = kF1 + 9, kF11 = kF1 + 10, kF12 = kF1 + 11;

struct Named {
    int key;
    std::string_view name;
};
// Every key that reaches the game. F2 and F3 do nothing, but they are
// F-keys, and a recording keeps them as pressed.
// clang-format off
inline constexpr std::array<Named, 33> kNames{{
    {kEscape, "Escape"}, {kSpace, "Space"}, {kOne, "1"}, {kTwo, "2"},
    {kUp, "Up"}, {kDown, "Down"}, {kLeft, "Left"}, {kRight, "Right"},
    {kW, "w"}, {kS, "s"}, {kA, "a"}, {kD, "d"},
    {kI, "i"}, {kK, "k"}, {kJ, "j"}, {kL, "l"}, {kU, "u"}, {kM, "m"}, {kP, "p"},
    {kKeypadMinus, "KP-"}, {kKeypadPlus, "KP+"},
    {kF1, "F1"}, {kF1 + 1, "F2"}, {kF1 + 2, "F3"}, {kF4, "F4"}, {kF5, "F5"}, {kF6, "F6"},
    {kF7, "F7"}, {kF8, "F8"}, {kF9, "F9"}, {kF10, "F10"}, {kF11, "F11"}, {kF12, "F12"},
}};
// clang-format on

constexpr std::optional<std::string_view> name(int key)
{
    for (const Named &n : kNames)
        if (n.key == key)
            return n.name;
    return std::nullopt;
}

constexpr std::optional<int> byName(std::string_view text)
{
    for (const Named &n : kNames)
        if (n.name == text)
            return n.key;
    return std::nullopt;
}
} // namespace keys
