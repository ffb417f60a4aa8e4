// SPDX-License-Identifier: GPL-3.0-or-later
// Start and Back by the pad's name, for the names SDL 1.2 (the kernel's) and
// SDL2 under sdl12-compat give the common pads.
#include <gtest/gtest.h>

#include <string>
#include <tuple>

#include "core/pad.h"

namespace
{

// Rows of SDL2's controller database (2.26, Linux), cut to the GUID, the name
// and the two buttons: the kernel's numbering, which both SDLs read.
constexpr const char *kDatabase[] = {
    "030000005e0400008e02000004010000,Microsoft X-Box 360 pad,back:b6,start:b7",
    "030000005e0400008e02000010010000,X360 Controller,back:b6,start:b7",
    "030000005e040000a102000007010000,X360 Wireless Controller,back:b6,start:b7",
    "030000005e040000d102000001010000,Microsoft X-Box One pad,back:b6,start:b7",
    "050000005e040000e002000003090000,Xbox One Wireless Controller,back:b6,start:b7",
    "030000004c050000cc09000011810000,PS4 Controller,back:b8,start:b9",
    "030000004c050000e60c000011810000,PS5 Controller,back:b8,start:b9",
    "050000004c050000f20d000000010000,DualSense Edge Wireless Controller,back:b8,start:b9",
    "030000007e0500000920000011810000,Nintendo Switch Pro Controller,back:b9,start:b10",
    "05000000c82d00000660000000010000,8BitDo Pro 2,back:b10,start:b11",
    "03000000c82d00000260000011010000,8BitDo SN30 Pro+,back:b10,start:b11",
    "03000000c82d00000020000000000000,8BitDo Pro 2 Wired Controller for Xbox,back:b6,start:b7",
};

int button(const std::string &row, const std::string &field)
{
    return std::stoi(row.substr(row.find(',' + field + ":b") + field.size() + 3));
}

} // namespace

TEST(PadNames, StartAndBackFollowTheControllerDatabase)
{
    for (const std::string row : kDatabase) {
        const std::string name = row.substr(33, row.find(",back:") - 33);
        const PadButtons b = padButtons(name);
        EXPECT_EQ(b.start, button(row, "start")) << name;
        EXPECT_EQ(b.back, button(row, "back")) << name;
    }
    // The same pads as the kernel names them, for classic SDL 1.2.
    for (const auto &[name, start, back] :
         {std::tuple{"Xbox 360 Wireless Receiver", 7, 6},
          {"Microsoft Xbox Series S|X Controller", 7, 6},
          {"Sony Interactive Entertainment Wireless Controller", 9, 8},
          {"Wireless Controller", 9, 8},
          {"DualSense Wireless Controller", 9, 8},
          {"8Bitdo SF30 Pro", 11, 10}}) {
        EXPECT_EQ(padButtons(name).start, start) << name;
        EXPECT_EQ(padButtons(name).back, back) << name;
    }
}
