// SPDX-License-Identifier: GPL-3.0-or-later
/* Preloaded into the game by the golden test of the game's own generator:
 * a library that calls the C library's rand() all the time the game runs,
 * as a sound server's client or a GL driver may. It says at exit how often
 * it called, so that the test knows it did. */
#include <pthread.h>
#include <stdatomic.h>
#include <stdio.h>
#include <stdlib.h>

static atomic_long calls;

static void *keepCalling(void *unused)
{
    (void)unused;
    for (;;) {
        rand();
        atomic_fetch_add(&calls, 1);
    }
    return NULL;
}

static void sayCalls(void)
{
    fprintf(stderr, "rand() called %ld times beside the game\n", atomic_load(&calls));
}

__attribute__((constructor)) static void start(void)
{
    pthread_t thread;
    atexit(sayCalls);
    pthread_create(&thread, NULL, keepCalling, NULL);
    pthread_detach(thread);
}
