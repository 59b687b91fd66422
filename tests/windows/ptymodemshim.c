// SPDX-License-Identifier: GPL-3.0-or-later

// Test-only LD_PRELOAD library for wine: gives a pseudo-terminal the modem
// lines it lacks. wine's serial code treats a failed TIOCMGET as a broken
// port: every pending WaitCommEvent then ends at once with "operation
// aborted", and GetCommModemStatus and EscapeCommFunction fail. Here the four
// modem-line requests are answered from a small table of line bits per
// descriptor, but only where the real call fails with ENOTTY or EINVAL (what
// a pty answers): a hung-up pty still fails with EIO, and a real serial port
// is never touched.

#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <stdarg.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

typedef int (*IoctlFunction)(int, unsigned long, ...);

enum { trackedDescriptors = 4096 };

// Each descriptor starts with the lines a null-modem cable gives a port whose
// own DTR and RTS are on: the inputs CTS, DSR and carrier detect are on.
static const int inputsOn = TIOCM_CTS | TIOCM_DSR | TIOCM_CD;
static int lineBits[trackedDescriptors];
static unsigned char lineBitsSet[trackedDescriptors];

static int* linesOf(int fd)
{
    if (fd < 0 || fd >= trackedDescriptors)
        return 0;
    if (!lineBitsSet[fd]) {
        lineBits[fd] = TIOCM_DTR | TIOCM_RTS | inputsOn;
        lineBitsSet[fd] = 1;
    }
    return &lineBits[fd];
}

static int answerModemRequest(int fd, unsigned long request, int* argument)
{
    int* lines = linesOf(fd);
    if (!lines || !argument || !isatty(fd)) {
        errno = ENOTTY;
        return -1;
    }
    switch (request) {
    case TIOCMGET:
        *argument = *lines;
        return 0;
    case TIOCMSET:
        *lines = (*argument & (TIOCM_DTR | TIOCM_RTS)) | inputsOn;
        return 0;
    case TIOCMBIS:
        *lines |= *argument & (TIOCM_DTR | TIOCM_RTS);
        return 0;
    case TIOCMBIC:
        *lines &= ~(*argument & (TIOCM_DTR | TIOCM_RTS));
        return 0;
    }
    errno = ENOTTY;
    return -1;
}

int ioctl(int fd, unsigned long request, ...)
{
    static IoctlFunction realIoctl;
    if (!realIoctl)
        realIoctl = (IoctlFunction)dlsym(RTLD_NEXT, "ioctl");
    va_list arguments;
    va_start(arguments, request);
    void* argument = va_arg(arguments, void*);
    va_end(arguments);

    const int result = realIoctl(fd, request, argument);
    const int modemRequest =
        request == TIOCMGET || request == TIOCMSET || request == TIOCMBIS || request == TIOCMBIC;
    if (result == 0 || !modemRequest || (errno != ENOTTY && errno != EINVAL))
        return result;
    return answerModemRequest(fd, request, (int*)argument);
}
