// Measurement reports handled per second: by the frame reader alone, and through the
// whole receive path (pseudo-terminal, serial control, report handler, live main
// window on the offscreen platform); and with the meter pulled, the CPU the program
// takes and how soon readings show again once it is back. Run by hand: bench_receive [frames]

#include "bench_support.h"
#include "frame_codec.h"
#include "login_window.h"
#include "main_window.h"
#include "message_boxes.h"
#include "serial_control.h"
#include "window_set.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/resource.h>
#include <termios.h>
#include <unistd.h>
#include <cstdio>

namespace {
QByteArray MeasurementFrame(int n)
{
    QByteArray frame(11, '\0');
    frame[0] = char(0xAB);
    frame[1] = char((n / 10000) % 10);
    frame[2] = char((n / 1000) % 10);
    frame[3] = char(0x2E);
    frame[4] = char((n / 100) % 10);
    frame[5] = char((n / 10) % 10);
    frame[6] = char(n % 10);
    frame[7] = char(0xA0);
    frame[8] = char(0xB0 + n % 3);
    frame[9] = 0;
    frame[10] = char(0xAF);
    return frame;
}

double FramerAlone(int frames)
{
    QByteArray stream;
    for (int i = 0; i < frames; ++i) stream += MeasurementFrame(i);
    QRandomGenerator random(7);
    QElapsedTimer timer;
    timer.start();
    wire::FrameStreamReader reader;
    qsizetype at = 0;
    long handled = 0;
    while (at < stream.size()) {
        const qsizetype chunk = std::min<qsizetype>(1 + random.bounded(23), stream.size() - at);
        reader.Append(QByteArrayView(stream.constData() + at, chunk));
        at += chunk;
        while (reader.Next()) ++handled;
    }
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (handled != frames) std::fprintf(stderr, "framer lost frames: %ld of %d\n", handled, frames);
    return handled / seconds;
}

// A long backlog read in one piece, as after a handler kept the thread busy.
double FramerBacklog(int frames)
{
    QByteArray stream;
    for (int i = 0; i < frames; ++i) stream += MeasurementFrame(i);
    QElapsedTimer timer;
    timer.start();
    wire::FrameStreamReader reader;
    reader.Append(stream);
    long handled = 0;
    while (reader.Next()) ++handled;
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (handled != frames) std::fprintf(stderr, "backlog lost frames: %ld of %d\n", handled, frames);
    return handled / seconds;
}

double WholePath(int frames)
{
    int master = -1, slave = -1;
    char name[256] = {};
    openpty(&master, &slave, name, nullptr, nullptr);
    fcntl(master, F_SETFL, O_NONBLOCK);
    qputenv("QMR4070_PORT", name);
    QTemporaryDir records;
    qputenv("QMR4070_DB", records.filePath(QStringLiteral("data.db")).toLocal8Bit());
    SilentBoxes boxes;
    WindowSet windows(boxes);
    windows.Login().Edit1->setText(QStringLiteral("582"));
    windows.Login().Button4->click();
    QApplication::processEvents();

    QByteArray stream;
    for (int i = 0; i < frames; ++i) stream += MeasurementFrame(i);
    QElapsedTimer timer;
    timer.start();
    qsizetype at = 0;
    const QString expected =
        wire::DecodeValueCharacters(QByteArrayView(stream.constData() + stream.size() - 10, 6)) + QStringLiteral("mΩ");
    while (windows.Main().Label5->text() != expected || at < stream.size()) {
        if (at < stream.size()) {
            const qsizetype n = ::write(master, stream.constData() + at, std::min<qsizetype>(1100, stream.size() - at));
            if (n > 0) at += n;
        }
        QApplication::processEvents();
        char drain[4096];
        while (::read(master, drain, sizeof drain) > 0) {}
        if (timer.elapsed() > 120000) {
            std::fprintf(stderr, "whole path: gave up, last reading %s\n", qPrintable(windows.Main().Label5->text()));
            break;
        }
    }
    const double seconds = timer.nsecsElapsed() / 1e9;
    if (boxes.shown) std::fprintf(stderr, "%d boxes shown during the run\n", boxes.shown);
    close(slave);
    close(master);
    return frames / seconds;
}
}  // namespace

// A pseudo-terminal behind a fixed path that can be pulled and plugged in again.
struct PluggedMeter {
    QTemporaryDir dir;
    QByteArray path = QDir(dir.path()).filePath(QStringLiteral("meter")).toLocal8Bit();
    int master = -1;
    int slave = -1;

    void Plug()
    {
        char name[256] = {};
        openpty(&master, &slave, name, nullptr, nullptr);
        fcntl(master, F_SETFL, O_NONBLOCK);
        const QByteArray staged = path + ".new";
        symlink(name, staged.constData());
        rename(staged.constData(), path.constData());
    }
    void Unplug()
    {
        unlink(path.constData());
        close(master);
        close(slave);
    }
};

double CpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void RunEventsFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// The meter pulled and plugged in again `rounds` times: the program's share of a core
// while the port is lost, and the time from the meter's return to the first reading shown.
void LostMeter(int rounds)
{
    PluggedMeter meter;
    meter.Plug();
    qputenv("QMR4070_PORT", meter.path);
    SilentBoxes boxes;
    WindowSet windows(boxes);
    windows.Login().Edit1->setText(QStringLiteral("582"));
    windows.Login().Button4->click();
    RunEventsFor(1500);  // past the start-up refresh
    QLabel* reading = windows.Main().Label5;
    double lostCpu = 0, lostWall = 0, returnSum = 0, returnMax = 0;
    for (int round = 0; round < rounds; ++round) {
        meter.Unplug();
        RunEventsFor(200);  // the hang-up noticed and shown
        const double cpu = CpuSeconds();
        QElapsedTimer wall;
        wall.start();
        RunEventsFor(3000);
        lostCpu += CpuSeconds() - cpu;
        lostWall += wall.nsecsElapsed() / 1e9;

        reading->setText(QStringLiteral("waiting"));
        meter.Plug();
        QElapsedTimer back;
        back.start();
        const QByteArray frame = MeasurementFrame(round + 1);
        while (reading->text() == u"waiting" && back.elapsed() < 10000) {
            [[maybe_unused]] const ssize_t n = ::write(meter.master, frame.constData(), frame.size());
            RunEventsFor(20);
            char drain[4096];
            while (::read(meter.master, drain, sizeof drain) > 0) {}
        }
        const double seconds = back.nsecsElapsed() / 1e9;
        returnSum += seconds;
        returnMax = std::max(returnMax, seconds);
    }
    std::printf("port lost:          %9.3f %% of a core (%.0f s lost over %d pulls, %d boxes)\n",
                100 * lostCpu / lostWall, lostWall, rounds, boxes.shown);
    std::printf("meter back to first reading: mean %.2f s, worst %.2f s (%d returns)\n", returnSum / rounds, returnMax,
                rounds);
    meter.Unplug();
    qunsetenv("QMR4070_PORT");
}

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int frames = argc > 1 ? std::atoi(argv[1]) : 20000;
    const double framer = FramerAlone(frames * 10);
    std::printf("framer alone:      %10.0f frames/s (%d frames in random 1-23 byte chunks)\n", framer, frames * 10);
    std::printf("framer, one backlog: %9.0f frames/s (%d frames read in one piece)\n", FramerBacklog(frames * 10),
                frames * 10);
    const double whole = WholePath(frames);
    std::printf("whole receive path: %9.0f frames/s (%d measurement reports, main window shown offscreen)\n", whole,
                frames);
    std::printf("line rate at 9600 baud: %.0f frames/s\n", 9600.0 / 10 / 11);
    LostMeter(5);
    return 0;
}
