#pragma once
// The meter itself: its switches, limits and nominal value, and what it answers to
// each host command. No I/O here; the caller puts frames on the line.

#include "protocol.h"

#include <random>
#include <string>
#include <vector>

namespace meter {

struct Setting {
    std::string text;
    std::uint8_t unit;
};

struct MeterState {
    // Every switch is true for the item its 0x55 byte stands for.
    bool zero = false;
    bool sorting = true;
    bool beeper = false;
    bool percent = false;   // display: "%" (true) or "R"
    bool fast = false;      // speed
    bool lock = false;      // range mode
    bool external = false;  // trigger source
    Setting upper{"103.00", kUnitMilliOhm};
    Setting lower{"97.000", kUnitMilliOhm};
    Setting nominal{"100.00", kUnitMilliOhm};
    std::string percentUpper = "2.000";
    std::string percentLower = "2.000";
    std::string code = "123456";
};

struct SwitchInfo {
    const char* key;
    std::uint8_t command;
    bool MeterState::*flag;
    const char* first;   // name of the 0x55 item
    const char* second;  // name of the 0x5A item
};

// In status report order (bytes 2..8).
extern const SwitchInfo kSwitches[7];

// `key` is a switch key or one of upper, lower, nominal (value TEXT:UNIT, e.g.
// 103.00:A0), pupper, plower (TEXT) or code (six hex digits). Returns an error text,
// empty on success.
std::string ApplyStateItem(MeterState& state, const std::string& key, const std::string& value);
// "zero=on,display=%"
std::string ApplyStateList(MeterState& state, const std::string& list);
std::string StateLine(const MeterState& state);
bool IsSwitchKey(const std::string& key);

struct Answer {
    std::vector<Bytes> frames;
    std::vector<std::string> notes;  // for the log
    bool identity = false;           // the answer belongs to the login exchange
};

// Where readings centre and how they scatter, in standard deviations of the scatter.
struct ProcessShape {
    bool cycle = false;  // the fixed cycle +1, -1/2, +1/2, -1 instead of random scatter
    double shift = 0;    // the centre's offset from the nominal value
    double drift = 0;    // added to the shift after each reading
};

class Meter {
public:
    Meter(MeterState state, std::mt19937_64& random, double statusCodeChance);

    MeterState& State() { return state_; }
    const MeterState& State() const { return state_; }
    ProcessShape& Shape() { return shape_; }

    Answer Handle(const Bytes& frame);

    Bytes StatusReport() const;
    std::vector<Bytes> RefreshAnswer() const;
    // The setting report that carries `key` (upper, lower, nominal, pupper, plower).
    std::optional<Bytes> SettingReportFor(const std::string& key) const;
    Bytes TakeMeasurement();

private:
    Answer HandleSwitch(const SwitchInfo& info, std::uint8_t value);
    Answer HandleSetting(const Bytes& frame);
    Answer HandleIdentity(const Bytes& frame) const;

    MeterState state_;
    std::mt19937_64& random_;
    double statusCodeChance_;
    ProcessShape shape_;
    unsigned long long taken_ = 0;
};

}  // namespace meter
