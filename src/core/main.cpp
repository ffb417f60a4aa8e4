// SPDX-License-Identifier: GPL-3.0-or-later
#include "core/entry.h"

int main(int argc, char **argv)
{
    return runGame(argc, argv);
}
