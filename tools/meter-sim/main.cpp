// qmr4070-sim: a simulated QMR4070 meter for exercising the host over a real serial line.

#include "options.h"
#include "simulator.h"

#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>

using namespace meter;

int main(int argc, char** argv)
{
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    Options options;
    if (const std::string error = ParseOptions(argc, argv, options); !error.empty()) {
        std::fprintf(stderr, "qmr4070-sim: %s\n", error.c_str());
        return 2;
    }
    if (options.help) {
        std::fputs(kHelpText, stdout);
        return 0;
    }

    std::string error;
    std::string path;
    std::optional<Line> line =
        options.device.empty() ? Line::OpenPty(path, error) : Line::OpenDevice(options.device, error);
    if (!line) {
        std::fprintf(stderr, "qmr4070-sim: %s\n", error.c_str());
        return 1;
    }
    if (options.device.empty()) {
        if (!options.link.empty()) {
            struct stat info {};
            if (lstat(options.link.c_str(), &info) == 0 && !S_ISLNK(info.st_mode)) {
                std::fprintf(stderr, "qmr4070-sim: %s exists and is not a symlink; not replacing it\n",
                             options.link.c_str());
                return 1;
            }
            unlink(options.link.c_str());
            if (symlink(path.c_str(), options.link.c_str()) != 0) {
                std::fprintf(stderr, "qmr4070-sim: symlink %s: %s\n", options.link.c_str(), std::strerror(errno));
                return 1;
            }
        }
        std::printf("PTY %s\n", path.c_str());
    } else {
        std::printf("DEVICE %s\n", options.device.c_str());
    }
    std::fflush(stdout);

    std::FILE* log = options.logPath == "-" ? stdout : nullptr;
    if (!options.logPath.empty() && options.logPath != "-") {
        log = std::fopen(options.logPath.c_str(), "w");
        if (!log) {
            std::fprintf(stderr, "qmr4070-sim: %s: %s\n", options.logPath.c_str(), std::strerror(errno));
            if (!options.link.empty()) unlink(options.link.c_str());
            return 1;
        }
        std::setvbuf(log, nullptr, _IOLBF, 0);
    }
    if (!options.seedGiven)
        options.seed = std::random_device{}() ^
                       static_cast<std::uint64_t>(std::chrono::system_clock::now().time_since_epoch().count());

    if (log) {
        std::fprintf(log, "# seed %llu\n", static_cast<unsigned long long>(options.seed));
        std::fprintf(log, "# initial %s\n", StateLine(options.state).substr(6).c_str());
        if (!options.link.empty()) std::fprintf(log, "# link %s -> %s\n", options.link.c_str(), path.c_str());
        std::fflush(log);
    }

    int code = 0;
    {
        Simulator simulator(options, std::move(*line), log);
        code = simulator.Run();
    }
    if (!options.link.empty()) unlink(options.link.c_str());
    if (log && log != stdout) std::fclose(log);
    return code;
}
