#pragma once

// Sets players[1].pressx / pressy for the next frame while the bot drives.
void updateBot();
