/* Shows why Qt Serial Port reads nothing under Wine: the receive-event wait (WaitCommEvent)
   completes, but is never posted to the I/O completion port the handle is bound to, which is
   how Qt waits for it. Reads a COM port three ways, each for three sessions of 3.5 s with the
   port closed and opened again between them:
     blocking  plain ReadFile polling
     event     WaitCommEvent with an event in the OVERLAPPED, then ReadFile
     iocp      WaitCommEvent and ReadFile completed through an I/O completion port (as Qt does)
   Build: x86_64-w64-mingw32-gcc-posix -O2 -o probe.exe wine_serial_probe.c
   Run:   wine probe.exe COM5 iocp   (COM5 mapped to the meter's line in HKLM\Software\Wine\Ports) */
#include <stdio.h>
#include <string.h>
#include <windows.h>

enum Mode { kBlocking, kEvent, kIocp };

static HANDLE OpenPort(const char* name, int overlapped)
{
    char path[64];
    snprintf(path, sizeof path, "\\\\.\\%s", name);
    HANDLE h = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING,
                           overlapped ? FILE_FLAG_OVERLAPPED : 0, NULL);
    if (h == INVALID_HANDLE_VALUE) return h;
    DCB dcb = {.DCBlength = sizeof dcb};
    GetCommState(h, &dcb);
    dcb.BaudRate = 9600, dcb.ByteSize = 8, dcb.Parity = NOPARITY, dcb.StopBits = ONESTOPBIT;
    SetCommState(h, &dcb);
    COMMTIMEOUTS timeouts = {.ReadIntervalTimeout = MAXDWORD}; /* a read returns what is there */
    SetCommTimeouts(h, &timeouts);
    SetCommMask(h, EV_RXCHAR);
    return h;
}

static long ReadBlocking(HANDLE h, DWORD ms)
{
    long total = 0;
    char buffer[512];
    for (DWORD start = GetTickCount(); GetTickCount() - start < ms;) {
        DWORD got = 0;
        if (!ReadFile(h, buffer, sizeof buffer, &got, NULL)) return -1;
        total += got;
        if (!got) Sleep(20);
    }
    return total;
}

static long ReadAfterEvent(HANDLE h, DWORD ms)
{
    long total = 0;
    char buffer[512];
    OVERLAPPED wait = {.hEvent = CreateEventA(NULL, TRUE, FALSE, NULL)};
    OVERLAPPED read = {.hEvent = CreateEventA(NULL, TRUE, FALSE, NULL)};
    for (DWORD start = GetTickCount(); GetTickCount() - start < ms;) {
        DWORD mask = 0, got = 0;
        if (!WaitCommEvent(h, &mask, &wait)) {
            if (GetLastError() != ERROR_IO_PENDING) return -1;
            if (WaitForSingleObject(wait.hEvent, ms) != WAIT_OBJECT_0) break;
        }
        if (!ReadFile(h, buffer, sizeof buffer, NULL, &read) && GetLastError() != ERROR_IO_PENDING) return -1;
        GetOverlappedResult(h, &read, &got, TRUE);
        total += got;
    }
    CancelIo(h);
    return total;
}

static long ReadThroughCompletionPort(HANDLE h, DWORD ms)
{
    long total = 0;
    char buffer[512];
    HANDLE port = CreateIoCompletionPort(h, NULL, 1, 0);
    OVERLAPPED wait = {0}, read = {0};
    DWORD mask = 0;
    if (!WaitCommEvent(h, &mask, &wait) && GetLastError() != ERROR_IO_PENDING) return -1;
    for (DWORD start = GetTickCount(); GetTickCount() - start < ms;) {
        DWORD got = 0;
        ULONG_PTR key;
        OVERLAPPED* done = NULL;
        if (!GetQueuedCompletionStatus(port, &got, &key, &done, ms - (GetTickCount() - start))) break;
        if (done == &wait) {
            memset(&read, 0, sizeof read);
            if (!ReadFile(h, buffer, sizeof buffer, NULL, &read) && GetLastError() != ERROR_IO_PENDING) return -1;
        } else if (done == &read) {
            total += got;
            memset(&wait, 0, sizeof wait);
            if (!WaitCommEvent(h, &mask, &wait) && GetLastError() != ERROR_IO_PENDING) return -1;
        }
    }
    CancelIo(h);
    CloseHandle(port);
    return total;
}

int main(int argc, char** argv)
{
    if (argc != 3) {
        printf("usage: %s PORT blocking|event|iocp\n", argv[0]);
        return 2;
    }
    const enum Mode mode = !strcmp(argv[2], "iocp") ? kIocp : !strcmp(argv[2], "event") ? kEvent : kBlocking;
    for (int session = 1; session <= 3; ++session) {
        HANDLE h = OpenPort(argv[1], mode != kBlocking);
        if (h == INVALID_HANDLE_VALUE) {
            printf("cannot open %s: error %lu\n", argv[1], GetLastError());
            return 1;
        }
        const long got = mode == kIocp    ? ReadThroughCompletionPort(h, 3500)
                         : mode == kEvent ? ReadAfterEvent(h, 3500)
                                          : ReadBlocking(h, 3500);
        printf("session %d: %ld bytes\n", session, got);
        fflush(stdout);
        CloseHandle(h);
        Sleep(500);
    }
    return 0;
}
