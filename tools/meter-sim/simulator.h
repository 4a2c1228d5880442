#pragma once
// The simulator's single-threaded loop: the line, stdin commands and the meter's timers.

#include "line.h"
#include "log.h"
#include "meter.h"
#include "options.h"

#include <optional>
#include <random>
#include <string>

namespace meter {

class Simulator {
public:
    Simulator(const Options& options, Line line, std::FILE* log);
    // Runs until quit, a signal, or (with --exit-on-eof) the end of stdin. Returns the exit code.
    int Run();

private:
    void ReadLine(Clock::time_point now);
    void HandleFrame(const Bytes& frame);
    void ReadCommands();
    void HandleCommand(const std::string& line);
    void SetCommand(const std::string& key, const std::string& value);
    void MeasurementDue();
    void Send(const std::vector<Bytes>& frames, bool plain = false);
    void Schedule(Clock::time_point now);
    void RunTimers(Clock::time_point now);
    void Answer(const std::string& line);  // command answers always go to stdout

    Options options_;
    std::mt19937_64 random_;
    Meter meter_;
    Line line_;
    Log log_;
    Faults faults_;
    FrameAssembler rx_;
    Clock::time_point lastRx_{};

    std::optional<Clock::time_point> nextContinuous_;
    std::optional<Clock::time_point> nextTrigger_;
    bool scheduled_ = false;
    bool scheduledExternal_ = false;
    bool scheduledFast_ = false;

    std::string stdinBuffer_;
    bool stdinOpen_ = true;
    bool quit_ = false;
    int exitCode_ = 0;
};

}  // namespace meter
