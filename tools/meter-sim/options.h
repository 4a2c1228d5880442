#pragma once
// Command line of qmr4070-sim.

#include "line.h"
#include "meter.h"

#include <cstdint>
#include <string>

namespace meter {

struct Options {
    std::string device;  // empty: open a pseudo-terminal
    std::string link;    // symlink to the pty slave
    MeterState state;
    double triggerEverySeconds = 0;
    double statusCodeChance = 0;
    bool cycle = false;
    Faults faults;
    std::uint64_t seed = 0;
    bool seedGiven = false;
    int fastMs = 250;
    int slowMs = 1000;
    std::string logPath;
    bool exitOnEof = false;
    bool help = false;
};

// Returns an error text, empty on success.
std::string ParseOptions(int argc, char** argv, Options& options);
extern const char* const kHelpText;

}  // namespace meter
