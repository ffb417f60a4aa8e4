// SPDX-License-Identifier: GPL-3.0-or-later
// Preloaded in the sdl12-compat stage: sdl12-compat drops its pointers into
// SDL2 as the process exits and then unloads it. Waiting a fifth of a second
// in between makes a thread of SDL2 still running then (the mixer's, when a
// program exits with audio open) crash every time instead of now and then.
#define _GNU_SOURCE
#include <dlfcn.h>
#include <link.h>
#include <string.h>
#include <unistd.h>

int dlclose(void *handle)
{
    struct link_map *map = NULL;
    if (dlinfo(handle, RTLD_DI_LINKMAP, &map) == 0 && map && strstr(map->l_name, "libSDL2"))
        usleep(200000);
    int (*next)(void *) = (int (*)(void *))dlsym(RTLD_NEXT, "dlclose");
    return next(handle);
}
