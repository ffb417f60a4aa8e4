// SPDX-License-Identifier: GPL-3.0-or-later
/* Preloaded into the sanitizer run only (scripts/test-sanitize.sh): keeps
 * every shared library mapped until the process ends. LeakSanitizer checks
 * at exit, after SDL_Quit has let the GL driver unload itself; a leak inside
 * an unloaded library has no name to match in tests/lsan.supp, and the
 * pointers the driver still held would be counted as lost. */
int dlclose(void *handle)
{
    (void)handle;
    return 0;
}
