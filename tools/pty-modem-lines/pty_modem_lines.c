/* A test tool for running the Windows program under Wine against the simulated meter on
 * a pseudo-terminal; never part of the program or its installer.
 *
 * Why: a real serial port has modem lines, a pty has none. Wine reads the lines
 * (TIOCMGET) while it waits for a serial event; on a pty the kernel answers ENOTTY and
 * Wine ends the wait as cancelled (error 995), so Qt Serial Port stops reading. Loaded
 * with LD_PRELOAD into Wine's processes, this answers TIOCMGET on a pty with CTS, DSR,
 * CD, DTR and RTS up, and TIOCMSET/TIOCMBIS/TIOCMBIC with success. Every other call,
 * and every call on a real port, goes to the C library unchanged.
 *
 *   cc -shared -fPIC -O2 -o pty-modem-lines.so pty_modem_lines.c -ldl
 */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <stdarg.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

/* Unix98 pty slaves (/dev/pts/N) have majors 136 to 143. */
static int is_pty(int fd)
{
    struct stat st;
    return fstat(fd, &st) == 0 && S_ISCHR(st.st_mode) && major(st.st_rdev) >= 136 && major(st.st_rdev) <= 143;
}

int ioctl(int fd, unsigned long request, ...)
{
    static int (*real_ioctl)(int, unsigned long, void*);
    if (!real_ioctl) real_ioctl = (int (*)(int, unsigned long, void*))dlsym(RTLD_NEXT, "ioctl");
    va_list args;
    va_start(args, request);
    void* arg = va_arg(args, void*);
    va_end(args);
    const int result = real_ioctl(fd, request, arg);
    if (result == -1 && errno == ENOTTY && is_pty(fd)) {
        if (request == TIOCMGET && arg) {
            *(int*)arg = TIOCM_CTS | TIOCM_DSR | TIOCM_CD | TIOCM_DTR | TIOCM_RTS;
            return 0;
        }
        if (request == TIOCMSET || request == TIOCMBIS || request == TIOCMBIC) return 0;
    }
    return result;
}
