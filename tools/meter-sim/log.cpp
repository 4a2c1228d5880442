#include "log.h"

#include <chrono>
#include <ctime>

namespace meter {

std::string TimeStamp()
{
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[40];
    const std::size_t n = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    std::snprintf(text + n, sizeof text - n, ".%03d", static_cast<int>(ms));
    return text;
}

void Log::Frame(const char* direction, const Bytes& bytes)
{
    if (!out_) return;
    std::fprintf(out_, "%s %s %s\n", TimeStamp().c_str(), direction, Hex(bytes).c_str());
    std::fflush(out_);
}

void Log::Note(const std::string& line)
{
    if (!out_) return;
    std::fprintf(out_, "%s\n", line.c_str());
    std::fflush(out_);
}

}  // namespace meter
