// SPDX-License-Identifier: GPL-3.0-or-later
// Preloaded into the real game by quorbly-bench to time its start-up: after
// the first SDL_GL_SwapBuffers returns, it writes the nanoseconds since
// $QUORBLY_START_NS (CLOCK_MONOTONIC, taken just before exec) to the file
// $QUORBLY_FIRST_FRAME_FILE and ends the process. The game itself is the
// shipped binary, unchanged.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

void SDL_GL_SwapBuffers(void)
{
    void (*real)(void) = (void (*)(void))dlsym(RTLD_NEXT, "SDL_GL_SwapBuffers");
    if (real)
        real();
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    const char *start = getenv("QUORBLY_START_NS");
    const char *path = getenv("QUORBLY_FIRST_FRAME_FILE");
    if (start && path) {
        const long long ns = now.tv_sec * 1000000000LL + now.tv_nsec - atoll(start);
        FILE *f = fopen(path, "w");
        if (f) {
            fprintf(f, "%lld\n", ns);
            fclose(f);
        }
    }
    _exit(0);
}
