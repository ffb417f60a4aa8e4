// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The fuzzers' standard output goes to /dev/null: the readers report what
// they skip there, and libFuzzer's own report is on standard error.

#include <fcntl.h>
#include <unistd.h>

inline void quietStdout()
{
    const int null = open("/dev/null", O_WRONLY);
    if (null >= 0) {
        dup2(null, 1);
        close(null);
    }
}
