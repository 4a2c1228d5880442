#include "line.h"

#include "log.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

namespace meter {

static void MakeRaw(int fd)
{
    termios t{};
    if (tcgetattr(fd, &t) != 0) return;
    cfmakeraw(&t);
    cfsetispeed(&t, B9600);
    cfsetospeed(&t, B9600);
    t.c_cflag &= ~(PARENB | CSTOPB | CSIZE | CRTSCTS);
    t.c_cflag |= CS8 | CLOCAL | CREAD;
    t.c_iflag &= ~(IXON | IXOFF | IXANY);
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
    tcsetattr(fd, TCSANOW, &t);
}

std::optional<Line> Line::OpenPty(std::string& slavePath, std::string& error)
{
    int master = -1;
    int slave = -1;
    char name[256] = {};
    if (openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        error = std::string("openpty: ") + std::strerror(errno);
        return std::nullopt;
    }
    MakeRaw(slave);
    MakeRaw(master);
    close(slave);
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    fcntl(master, F_SETFD, FD_CLOEXEC);
    slavePath = name;
    return Line(master, true);
}

std::optional<Line> Line::OpenDevice(const std::string& path, std::string& error)
{
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = path + ": " + std::strerror(errno);
        return std::nullopt;
    }
    termios t{};
    if (tcgetattr(fd, &t) != 0) {
        error = path + " is not a serial device: " + std::strerror(errno);
        close(fd);
        return std::nullopt;
    }
    MakeRaw(fd);
    tcflush(fd, TCIOFLUSH);
    return Line(fd, false);
}

Line::Line(Line&& other) noexcept
    : fd_(other.fd_),
      pty_(other.pty_),
      queue_(std::move(other.queue_)),
      nextWrite_(other.nextWrite_),
      blocked_(other.blocked_)
{
    other.fd_ = -1;
}

Line::~Line()
{
    if (fd_ >= 0) close(fd_);
}

bool Line::Listening() const
{
    if (!pty_) return true;
    pollfd probe{fd_, POLLIN, 0};
    if (poll(&probe, 1, 0) < 0) return true;
    return !(probe.revents & POLLHUP);
}

void Line::Send(const std::vector<Bytes>& frames, const Faults& faults, std::mt19937_64& random, bool plain)
{
    Segment segment;
    for (const Bytes& frame : frames) {
        if (faults.garbage && !plain) {
            Bytes junk(std::uniform_int_distribution<int>(1, 5)(random));
            for (auto& b : junk) {
                // Lean towards false frame starts; never a frame end, which would make
                // the stream ambiguous for a reader that resynchronises on 0xAF.
                if (std::uniform_int_distribution<int>(0, 3)(random) == 0) {
                    b = kFrameStart;
                } else {
                    do b = static_cast<std::uint8_t>(std::uniform_int_distribution<int>(0, 255)(random));
                    while (b == kFrameEnd);
                }
            }
            segment.bytes.insert(segment.bytes.end(), junk.begin(), junk.end());
            segment.entries.push_back({false, junk});
        }
        segment.bytes.insert(segment.bytes.end(), frame.begin(), frame.end());
        segment.entries.push_back({true, frame});
    }
    if (!segment.bytes.empty()) queue_.push_back(std::move(segment));
}

void Line::SendRaw(const Bytes& bytes)
{
    if (bytes.empty()) return;
    Segment segment;
    segment.bytes = bytes;
    segment.entries.push_back({true, bytes});
    segment.splittable = false;
    queue_.push_back(std::move(segment));
}

void Line::Drop(Segment& segment, Log& log)
{
    if (segment.sent > 0) {
        log.Note("# line closed, " + std::to_string(segment.bytes.size() - segment.sent) + " bytes not sent");
        return;
    }
    for (const Entry& entry : segment.entries)
        if (entry.frame) log.Note("# nobody listening, not sent: " + Hex(entry.bytes));
}

bool Line::Pump(Clock::time_point now, const Faults& faults, std::mt19937_64& random, Log& log)
{
    blocked_ = false;
    while (!queue_.empty() && now >= nextWrite_) {
        Segment& segment = queue_.front();
        if (!Listening()) {
            Drop(segment, log);
            queue_.pop_front();
            continue;
        }
        if (!segment.logged) {
            for (const Entry& entry : segment.entries) {
                if (entry.frame)
                    log.Frame("TX", entry.bytes);
                else
                    log.Note("# garbage " + Hex(entry.bytes));
            }
            segment.logged = true;
        }
        const bool chunk = faults.chunked && segment.splittable;
        std::size_t count = segment.bytes.size() - segment.sent;
        if (chunk) count = std::min<std::size_t>(count, std::uniform_int_distribution<int>(1, 10)(random));
        const ssize_t written = write(fd_, segment.bytes.data() + segment.sent, count);
        if (written < 0) {
            if (errno == EAGAIN || errno == EINTR) {
                blocked_ = true;
                return true;
            }
            if (pty_ && errno == EIO) {
                Drop(segment, log);
                queue_.pop_front();
                continue;
            }
            log.Note(std::string("# line write failed: ") + std::strerror(errno));
            return false;
        }
        segment.sent += static_cast<std::size_t>(written);
        if (segment.sent == segment.bytes.size()) queue_.pop_front();
        if (chunk) {
            nextWrite_ = now + std::chrono::milliseconds(std::uniform_int_distribution<int>(1, 20)(random));
            break;
        }
    }
    return true;
}

std::optional<Clock::time_point> Line::NextWrite() const
{
    if (queue_.empty() || blocked_) return std::nullopt;
    return nextWrite_;
}

long Line::Read(std::uint8_t* buffer, std::size_t size)
{
    const ssize_t n = read(fd_, buffer, size);
    if (n >= 0) return n;
    if (errno == EAGAIN || errno == EINTR) return 0;
    if (pty_ && errno == EIO) return 0;  // nobody has the slave open
    return -1;
}

}  // namespace meter
