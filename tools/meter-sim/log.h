#pragma once
// One line per frame: "<local ISO time with ms> RX|TX AB .. AF"; notes start with "#".
// Without a file (no --log) the log is off.

#include "protocol.h"

#include <cstdio>
#include <string>

namespace meter {

class Log {
public:
    explicit Log(std::FILE* out) : out_(out) {}  // null: off
    void Frame(const char* direction, const Bytes& bytes);
    void Note(const std::string& line);  // already starts with "#"

private:
    std::FILE* out_;
};

std::string TimeStamp();

}  // namespace meter
