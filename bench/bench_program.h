#pragma once
// The program's windows on a pseudo-terminal, for the benchmarks that feed it readings as
// the meter would: the test end of the line is `master`.

#include "bench_support.h"
#include "main_window.h"
#include "window_set.h"

#include <fcntl.h>
#include <pty.h>
#include <unistd.h>
#include <QApplication>
#include <QByteArray>
#include <algorithm>
#include <memory>

// A measurement report whose reading changes with i.
inline QByteArray Frame(int i)
{
    const char digits[] = {char(1 + i % 9), 0, 0x2E, char(i % 10), char(i / 10 % 10), 0};
    QByteArray frame("\xAB", 1);
    frame.append(digits, 6);
    frame.append("\xA0\xB1\x00\xAF", 4);
    return frame;
}

struct BenchProgram {
    int master = -1, slave = -1;
    SilentBoxes boxes;
    std::unique_ptr<WindowSet> windows;

    explicit BenchProgram(const QString& database)
    {
        char name[256] = {};
        openpty(&master, &slave, name, nullptr, nullptr);
        fcntl(master, F_SETFL, O_NONBLOCK);
        qputenv("QMR4070_PORT", name);
        qputenv("QMR4070_DB", database.toLocal8Bit());
        windows = std::make_unique<WindowSet>(boxes);
    }
    ~BenchProgram()
    {
        windows.reset();
        close(slave);
        close(master);
    }
    BenchProgram(const BenchProgram&) = delete;
    BenchProgram& operator=(const BenchProgram&) = delete;

    TForm1& Main() { return windows->Main(); }
    // Writes the next piece of `stream` from `at` on, as a serial line delivers it.
    void WriteSome(const QByteArray& stream, qsizetype& at)
    {
        if (at >= stream.size()) return;
        const qsizetype n = ::write(master, stream.constData() + at, std::min<qsizetype>(110, stream.size() - at));
        if (n > 0) at += n;
    }
    // What the program sent back, thrown away so the line never fills.
    void Drain()
    {
        char drain[4096];
        while (::read(master, drain, sizeof drain) > 0) {}
    }
};
