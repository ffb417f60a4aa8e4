// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Sets players[1].pressx / pressy for the next frame while the bot drives.
void updateBot();
