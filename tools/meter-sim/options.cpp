#include "options.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace meter {

const char* const kHelpText = R"(qmr4070-sim: a simulated QMR4070 DC low-resistance meter on a serial line.

Usage: qmr4070-sim [options]

Line:
  (default)           open a pseudo-terminal pair; the first stdout line is "PTY <slave path>"
  --link PATH         also make PATH a symlink to the slave (replaced if present, removed on exit)
  --device DEV        speak on serial device DEV at 9600 8N1 instead; prints "DEVICE <path>"
  While nobody has the pty slave open, what the meter sends is lost, as on a cable with no
  port open at the far end ("# nobody listening" in the log).

Meter:
  --code XXXXXX       identity code accepted by the identity check (six hex digits, default 123456)
  --state K=V,...     initial state. Switches: zero, sorting, beeper = on|off; display = R|%;
                      speed = fast|slow; mode = lock|auto; trigger = ext|int.
                      Values: upper, lower, nominal = TEXT:UNIT (e.g. 103.00:A0, unit A0 mOhm,
                      A1 Ohm, A2 kOhm, A3 MOhm); pupper, plower = TEXT (e.g. 2.000); code = XXXXXX.
                      Default: zero=off sorting=on beeper=off display=R speed=slow mode=auto
                      trigger=int upper=103.00:A0 lower=97.000:A0 nominal=100.00:A0
                      pupper=2.000 plower=2.000
  --fast-ms N         period of continuous measurements on internal trigger at speed fast (250)
  --slow-ms N         the same at speed slow (1000)
  --trigger-every S   on external trigger, also take a measurement every S seconds
  --status-codes P    with probability P (0..1) a reading carries status C1/C2/C3 instead of 00

Readings scatter normally around the nominal value with a 2 % standard deviation.
  --cycle             readings follow the fixed cycle +1, -1/2, +1/2, -1 standard deviations
                      instead (a steady process whose shift or drift shows exactly)
Display R: the reading in the unit that shows it best in six characters (A0..A3).
Display %: the deviation from the nominal value in percent, sign and five characters (A4).
Sorting (byte 8): with sorting off NULL (B4). Otherwise, on the value as sent:
  display R: above the upper limit HIGH (B0), below the lower limit LOW (B2), else PASS (B1);
  display %: above +pupper HIGH, below -plower LOW, else PASS.
  A reading equal to a limit passes; limits are compared exactly across units.

Faults:
  --chunked           split outgoing frames into chunks of 1..10 bytes, 1..20 ms apart
  --garbage           write 1..5 random bytes (never AF, often AB) before each report frame
  --back-to-back      each due continuous or triggered measurement sends two reports in one write
                      (a refresh answer always goes out in one write)
  --seed N            random seed (default: from the clock; the log shows it)

Output:
  --log FILE          write the frame log to FILE ("-": to stdout); without it there is none,
                      so the terminal stays free for commands
  Log lines: "<time> RX <hex>" per frame received, "<time> TX <hex>" per frame sent; other lines
  start with "#". Answers to commands (STATE, help, "# ..." notes) always go to stdout.
  --exit-on-eof       end when stdin closes (otherwise only on SIGINT, SIGTERM or "quit")
  --help              this text

Commands on stdin, one per line:
  (empty) | trigger   external trigger: one measurement if the trigger switch is on ext
  measure             one measurement report regardless
  set KEY VALUE       change the state as from the front panel (keys as for --state), then send
                      the status report (switches) or that setting's report (values)
  status              send a status report
  refresh             answer as to a refresh request (status report and the five setting reports)
  send HEX...         write these bytes as they are, in one write (e.g. send AB 01 02 2E 03 04 05 A0 B1 00 AF)
  faults chunked|garbage|back-to-back on|off
  shift S             centre the readings S standard deviations from the nominal value
  drift D             from now, move the centre D standard deviations after each reading
  state               print "STATE zero=.. sorting=.. ... code=.."
  help                this text
  quit                end
)";

static bool ParseInt(const char* text, long min, long max, long& value)
{
    char* end = nullptr;
    errno = 0;
    value = std::strtol(text, &end, 10);
    return errno == 0 && end != text && *end == '\0' && value >= min && value <= max;
}

static bool ParseDouble(const char* text, double min, double max, double& value)
{
    char* end = nullptr;
    value = std::strtod(text, &end);
    return end != text && *end == '\0' && value >= min && value <= max;
}

std::string ParseOptions(int argc, char** argv, Options& options)
{
    for (int i = 1; i < argc; ++i) {
        std::string name = argv[i];
        std::string inlineValue;
        bool hasInline = false;
        if (const auto equals = name.find('='); name.rfind("--", 0) == 0 && equals != std::string::npos) {
            inlineValue = name.substr(equals + 1);
            name = name.substr(0, equals);
            hasInline = true;
        }
        auto value = [&]() -> const char* {
            if (hasInline) return inlineValue.c_str();
            if (i + 1 >= argc) return nullptr;
            return argv[++i];
        };
        auto flag = [&](bool& target) -> std::string {
            if (hasInline) return name + " takes no value";
            target = true;
            return {};
        };

        long n = 0;
        std::string error;
        if (name == "--help" || name == "-h") {
            options.help = true;
        } else if (name == "--chunked") {
            error = flag(options.faults.chunked);
        } else if (name == "--garbage") {
            error = flag(options.faults.garbage);
        } else if (name == "--back-to-back") {
            error = flag(options.faults.backToBack);
        } else if (name == "--cycle") {
            error = flag(options.cycle);
        } else if (name == "--exit-on-eof") {
            error = flag(options.exitOnEof);
        } else {
            static const char* const kTakesValue[] = {"--device",  "--link",          "--log",          "--code",
                                                      "--state",   "--trigger-every", "--status-codes", "--seed",
                                                      "--fast-ms", "--slow-ms"};
            if (std::find(std::begin(kTakesValue), std::end(kTakesValue), name) == std::end(kTakesValue))
                return "unknown option " + name + " (see --help)";
            const char* v = value();
            if (!v) return name + " needs a value";
            if (name == "--device") {
                options.device = v;
            } else if (name == "--link") {
                options.link = v;
            } else if (name == "--log") {
                options.logPath = v;
            } else if (name == "--code") {
                error = ApplyStateItem(options.state, "code", v);
            } else if (name == "--state") {
                error = ApplyStateList(options.state, v);
            } else if (name == "--trigger-every") {
                if (!ParseDouble(v, 0.001, 86400, options.triggerEverySeconds))
                    error = "--trigger-every takes seconds > 0";
            } else if (name == "--status-codes") {
                if (!ParseDouble(v, 0, 1, options.statusCodeChance)) error = "--status-codes takes a probability 0..1";
            } else if (name == "--seed") {
                char* end = nullptr;
                options.seed = std::strtoull(v, &end, 10);
                if (end == v || *end) error = "--seed takes a whole number";
                options.seedGiven = true;
            } else if (name == "--fast-ms") {
                if (ParseInt(v, 1, 3600000, n))
                    options.fastMs = static_cast<int>(n);
                else
                    error = "--fast-ms takes milliseconds > 0";
            } else if (name == "--slow-ms") {
                if (ParseInt(v, 1, 3600000, n))
                    options.slowMs = static_cast<int>(n);
                else
                    error = "--slow-ms takes milliseconds > 0";
            }
        }
        if (!error.empty()) return error;
    }
    if (!options.device.empty() && !options.link.empty())
        return "--link only goes with a pseudo-terminal, not --device";
    return {};
}

}  // namespace meter
