#include "simulator.h"

#include <poll.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace meter {

namespace {

volatile std::sig_atomic_t g_stop = 0;
void OnStopSignal(int) { g_stop = 1; }

// A partial frame that sits this long is a broken write, not a slow one: at 9600 baud
// eleven bytes take about 12 ms.
constexpr auto kStaleFrame = std::chrono::milliseconds(500);
// How often to look whether someone opened the pty slave.
constexpr auto kListenProbe = std::chrono::milliseconds(20);

std::string Trim(const std::string& text)
{
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) return {};
    const auto last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

}  // namespace

Simulator::Simulator(const Options& options, Line line, std::FILE* log)
    : options_(options),
      random_(options.seed),
      meter_(options.state, random_, options.statusCodeChance),
      line_(std::move(line)),
      log_(log),
      faults_(options.faults)
{
    meter_.Shape().cycle = options.cycle;
}

void Simulator::Answer(const std::string& line)
{
    std::fprintf(stdout, "%s\n", line.c_str());
    std::fflush(stdout);
}

void Simulator::Send(const std::vector<Bytes>& frames, bool plain) { line_.Send(frames, faults_, random_, plain); }

void Simulator::MeasurementDue()
{
    std::vector<Bytes> frames{meter_.TakeMeasurement()};
    if (faults_.backToBack) frames.push_back(meter_.TakeMeasurement());
    Send(frames);
}

void Simulator::Schedule(Clock::time_point now)
{
    const MeterState& state = meter_.State();
    if (scheduled_ && state.external == scheduledExternal_ && state.fast == scheduledFast_) return;
    scheduled_ = true;
    scheduledExternal_ = state.external;
    scheduledFast_ = state.fast;
    const auto period = std::chrono::milliseconds(state.fast ? options_.fastMs : options_.slowMs);
    nextContinuous_.reset();
    nextTrigger_.reset();
    if (!state.external)
        nextContinuous_ = now + period;
    else if (options_.triggerEverySeconds > 0)
        nextTrigger_ = now + std::chrono::duration_cast<Clock::duration>(
                                 std::chrono::duration<double>(options_.triggerEverySeconds));
}

void Simulator::RunTimers(Clock::time_point now)
{
    auto fire = [&](std::optional<Clock::time_point>& next, Clock::duration period) {
        if (!next || now < *next) return;
        MeasurementDue();
        *next += period;
        if (*next <= now) *next = now + period;  // fell behind: don't burst to catch up
    };
    const auto period = std::chrono::milliseconds(meter_.State().fast ? options_.fastMs : options_.slowMs);
    fire(nextContinuous_, period);
    fire(nextTrigger_,
         std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(options_.triggerEverySeconds)));
}

void Simulator::HandleFrame(const Bytes& frame)
{
    log_.Frame("RX", frame);
    const auto answer = meter_.Handle(frame);
    for (const auto& note : answer.notes) log_.Note(note);
    // Garbage would only block every login; the identity answer stands alone on its port.
    if (!answer.frames.empty()) Send(answer.frames, answer.identity);
}

void Simulator::ReadLine(Clock::time_point now)
{
    std::uint8_t buffer[4096];
    for (;;) {
        const long n = line_.Read(buffer, sizeof buffer);
        if (n < 0) {
            log_.Note(std::string("# line read failed: ") + std::strerror(errno));
            quit_ = true;
            exitCode_ = 1;
            return;
        }
        if (n == 0) break;
        rx_.Feed(buffer, static_cast<std::size_t>(n));
        lastRx_ = now;
    }
    while (auto piece = rx_.Next()) {
        if (piece->kind == FrameAssembler::Kind::Frame)
            HandleFrame(piece->bytes);
        else
            log_.Note("# skipped " + Hex(piece->bytes) + " (" + piece->why + ")");
    }
    if (rx_.HasPartial() && now - lastRx_ >= kStaleFrame)
        log_.Note("# incomplete frame dropped: " + Hex(rx_.TakePartial()));
}

void Simulator::ReadCommands()
{
    char buffer[4096];
    const ssize_t n = read(STDIN_FILENO, buffer, sizeof buffer);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) return;
    if (n <= 0) {
        stdinOpen_ = false;
        if (!stdinBuffer_.empty()) HandleCommand(std::exchange(stdinBuffer_, {}));
        if (options_.exitOnEof) quit_ = true;
        return;
    }
    stdinBuffer_.append(buffer, static_cast<std::size_t>(n));
    std::size_t end;
    while (!quit_ && (end = stdinBuffer_.find('\n')) != std::string::npos) {
        const std::string line = stdinBuffer_.substr(0, end);
        stdinBuffer_.erase(0, end + 1);
        HandleCommand(line);
    }
}

void Simulator::SetCommand(const std::string& key, const std::string& value)
{
    const std::string error = ApplyStateItem(meter_.State(), key, value);
    if (!error.empty()) {
        Answer("# set: " + error);
        return;
    }
    if (IsSwitchKey(key))
        Send({meter_.StatusReport()});
    else if (auto report = meter_.SettingReportFor(key))
        Send({*report});
}

void Simulator::HandleCommand(const std::string& rawLine)
{
    const std::string line = Trim(rawLine);
    const auto space = line.find(' ');
    const std::string word = line.substr(0, space);
    const std::string rest = space == std::string::npos ? std::string() : Trim(line.substr(space + 1));

    if (word.empty() || word == "trigger") {
        if (meter_.State().external)
            MeasurementDue();
        else
            Answer("# trigger ignored: internal trigger");
    } else if (word == "measure") {
        Send({meter_.TakeMeasurement()});
    } else if (word == "set") {
        const auto gap = rest.find(' ');
        if (gap == std::string::npos)
            Answer("# set needs a key and a value");
        else
            SetCommand(rest.substr(0, gap), Trim(rest.substr(gap + 1)));
    } else if (word == "status") {
        Send({meter_.StatusReport()});
    } else if (word == "refresh") {
        Send(meter_.RefreshAnswer());
    } else if (word == "send") {
        const auto bytes = ParseHex(rest);
        if (!bytes || bytes->empty())
            Answer("# send needs hex bytes, e.g. send AB AD 00 00 00 00 00 00 00 00 AF");
        else
            line_.SendRaw(*bytes);
    } else if (word == "faults") {
        const auto gap = rest.find(' ');
        const std::string which = rest.substr(0, gap);
        const std::string how = gap == std::string::npos ? std::string() : Trim(rest.substr(gap + 1));
        bool* target = which == "chunked"        ? &faults_.chunked
                       : which == "garbage"      ? &faults_.garbage
                       : which == "back-to-back" ? &faults_.backToBack
                                                 : nullptr;
        if (!target || (how != "on" && how != "off")) {
            Answer("# faults chunked|garbage|back-to-back on|off");
        } else {
            *target = how == "on";
            Answer("# fault " + which + " " + how);
        }
    } else if (word == "shift" || word == "drift") {
        char* end = nullptr;
        const double sigmas = std::strtod(rest.c_str(), &end);
        if (rest.empty() || *end) {
            Answer("# " + word + " needs a number of standard deviations");
        } else {
            (word == "shift" ? meter_.Shape().shift : meter_.Shape().drift) = sigmas;
            Answer("# " + word + " " + rest);
        }
    } else if (word == "state") {
        Answer(StateLine(meter_.State()));
    } else if (word == "help") {
        std::fputs(kHelpText, stdout);
        std::fflush(stdout);
    } else if (word == "quit") {
        quit_ = true;
    } else {
        Answer("# unknown command: " + line);
    }
}

int Simulator::Run()
{
    sigset_t stopSignals, original;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGHUP);
    // Blocked except inside ppoll, so a signal can't slip in between the check and the wait.
    sigprocmask(SIG_BLOCK, &stopSignals, &original);
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    for (int s : {SIGINT, SIGTERM, SIGHUP}) sigaction(s, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    sigset_t waitMask = original;
    for (int s : {SIGINT, SIGTERM, SIGHUP}) sigdelset(&waitMask, s);

    while (!quit_ && !g_stop) {
        auto now = Clock::now();
        Schedule(now);
        RunTimers(now);
        if (!line_.Pump(now, faults_, random_, log_)) return 1;

        const bool listening = line_.Listening();
        pollfd fds[2];
        nfds_t count = 0;
        int lineIndex = -1;
        int stdinIndex = -1;
        if (listening) {
            lineIndex = static_cast<int>(count);
            fds[count++] = {line_.Fd(), static_cast<short>(POLLIN | (line_.WaitingForWritable() ? POLLOUT : 0)), 0};
        }
        if (stdinOpen_) {
            stdinIndex = static_cast<int>(count);
            fds[count++] = {STDIN_FILENO, POLLIN, 0};
        }

        std::optional<Clock::time_point> wake;
        auto earliest = [&](std::optional<Clock::time_point> t) {
            if (t && (!wake || *t < *wake)) wake = t;
        };
        earliest(nextContinuous_);
        earliest(nextTrigger_);
        earliest(line_.NextWrite());
        if (rx_.HasPartial()) earliest(lastRx_ + kStaleFrame);
        if (!listening) earliest(now + kListenProbe);

        timespec timeout{};
        timespec* timeoutPtr = nullptr;
        if (wake) {
            const auto wait = std::max<Clock::duration>(*wake - now, Clock::duration::zero());
            const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(wait).count();
            timeout.tv_sec = ns / 1'000'000'000;
            timeout.tv_nsec = ns % 1'000'000'000;
            timeoutPtr = &timeout;
        }
        const int ready = ppoll(fds, count, timeoutPtr, &waitMask);
        if (ready < 0 && errno != EINTR) {
            log_.Note(std::string("# poll failed: ") + std::strerror(errno));
            return 1;
        }
        now = Clock::now();
        // Also drains what a host wrote just before it closed the slave.
        if (lineIndex < 0 || ready > 0) ReadLine(now);
        if (stdinIndex >= 0 && ready > 0 && (fds[stdinIndex].revents & (POLLIN | POLLHUP | POLLERR))) ReadCommands();
    }
    if (g_stop) log_.Note("# stopped by signal");
    return exitCode_;
}

}  // namespace meter
