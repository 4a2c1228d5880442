#pragma once
// The meter's end of the serial line: a pseudo-terminal master or a real serial
// device, with an output queue that can misbehave on purpose (chunks, garbage).

#include "protocol.h"

#include <chrono>
#include <deque>
#include <optional>
#include <random>
#include <string>

namespace meter {

using Clock = std::chrono::steady_clock;

struct Faults {
    bool chunked = false;
    bool garbage = false;
    bool backToBack = false;
};

class Log;

class Line {
public:
    // Opens a raw pseudo-terminal pair and reports the slave's path. The slave is not
    // held open here, so the master can tell whether anyone is listening.
    static std::optional<Line> OpenPty(std::string& slavePath, std::string& error);
    // 9600 8N1 raw, no flow control.
    static std::optional<Line> OpenDevice(const std::string& path, std::string& error);

    Line(Line&& other) noexcept;
    Line& operator=(Line&&) = delete;
    ~Line();

    int Fd() const { return fd_; }
    // A pty master with no slave open has nobody to hear it: what the meter sends
    // then is lost, as on a cable with no port open at the far end.
    bool Listening() const;

    // Queues one write: the frames back to back, with garbage before each when that
    // fault is on (unless `plain`). Raw bytes from the operator go out untouched.
    void Send(const std::vector<Bytes>& frames, const Faults& faults, std::mt19937_64& random, bool plain = false);
    void SendRaw(const Bytes& bytes);

    // Writes whatever is due now. Returns false on a fatal line error.
    bool Pump(Clock::time_point now, const Faults& faults, std::mt19937_64& random, Log& log);
    bool WaitingForWritable() const { return blocked_; }
    std::optional<Clock::time_point> NextWrite() const;

    // Returns bytes read, 0 when nothing (or nobody) is there, -1 on a fatal error.
    long Read(std::uint8_t* buffer, std::size_t size);

private:
    struct Entry {
        bool frame;  // false: garbage bytes
        Bytes bytes;
    };
    struct Segment {
        Bytes bytes;
        std::vector<Entry> entries;
        bool splittable = true;
        std::size_t sent = 0;
        bool logged = false;
    };

    Line(int fd, bool pty) : fd_(fd), pty_(pty) {}
    void Drop(Segment& segment, Log& log);

    int fd_ = -1;
    bool pty_ = false;
    std::deque<Segment> queue_;
    Clock::time_point nextWrite_{};
    bool blocked_ = false;
};

}  // namespace meter
