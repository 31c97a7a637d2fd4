// A preload library that records the time of every glXSwapBuffers of an
// unchanged program, so its frame rate and start-up can be measured from outside.
// Usage: LD_PRELOAD=libswap_timer.so MARROWBY_SWAP_LOG=swaps.txt ./marrowby
#define _GNU_SOURCE
#include <GL/glx.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

typedef void (*SwapFn)(Display*, GLXDrawable);

static SwapFn realSwap;
static int logFd = -1;

// One line per swap, CLOCK_MONOTONIC nanoseconds taken just after the real swap
// returns: the same clock Python's time.monotonic_ns() reads, so a script can
// hold the first swap against the moment it started the process. Each line is
// one write(2): nothing is lost when the program is killed rather than exits.
void glXSwapBuffers(Display* dpy, GLXDrawable drawable) {
    if (!realSwap) {
        // Through an object pointer: ISO C has no cast from void* to a function pointer.
        *(void**)&realSwap = dlsym(RTLD_NEXT, "glXSwapBuffers");
        if (!realSwap) {
            fprintf(stderr, "swap-timer: no glXSwapBuffers to wrap\n");
            abort();
        }
        const char* path = getenv("MARROWBY_SWAP_LOG");
        if (path && *path) {
            logFd = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0644);
            if (logFd < 0) {
                fprintf(stderr, "swap-timer: cannot open %s\n", path);
            }
        }
    }
    realSwap(dpy, drawable);
    if (logFd >= 0) {
        struct timespec ts;
        clock_gettime(CLOCK_MONOTONIC, &ts);
        char line[32];
        int n = snprintf(line, sizeof line, "%lld\n",
                         (long long)ts.tv_sec * 1000000000LL + (long long)ts.tv_nsec);
        if (write(logFd, line, (size_t)n) != n) {
            // A full disk loses swaps; the script sees the shortfall in its count.
        }
    }
}
