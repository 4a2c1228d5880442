#pragma once
// Wire format of the QMR4070 meter as seen from the meter's side of the cable.
// Kept free of any host code on purpose: the simulator checks the host from the outside.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace meter {

using Bytes = std::vector<std::uint8_t>;
// Exact fixed-point numbers, so a reading shown equal to a limit compares equal to it
// whatever units the two are written in.
using Fixed = __int128;

constexpr std::uint8_t kFrameStart = 0xAB;
constexpr std::uint8_t kFrameEnd = 0xAF;
constexpr std::size_t kFrameLength = 11;
constexpr std::size_t kIdentityLength = 9;

// Host -> meter command codes (byte 1).
constexpr std::uint8_t kRefresh = 0xAD;
constexpr std::uint8_t kSingleMeasurement = 0x9D;
constexpr std::uint8_t kIdentity = 0xAE;
constexpr std::uint8_t kUpperLimit = 0xEA;
constexpr std::uint8_t kLowerLimit = 0xEB;
constexpr std::uint8_t kNominal = 0xEC;
constexpr std::uint8_t kPercentUpper = 0xED;
constexpr std::uint8_t kPercentLower = 0xEF;
// Meter -> host.
constexpr std::uint8_t kStatusReport = 0xAC;

constexpr std::uint8_t kSwitchFirst = 0x55;  // item "on" / fast / lock / ext, but "%" for display
constexpr std::uint8_t kSwitchSecond = 0x5A;

constexpr std::uint8_t kUnitMilliOhm = 0xA0;
constexpr std::uint8_t kUnitMegaOhm = 0xA3;
constexpr std::uint8_t kUnitPercent = 0xA4;

constexpr std::uint8_t kSortHigh = 0xB0;
constexpr std::uint8_t kSortPass = 0xB1;
constexpr std::uint8_t kSortLow = 0xB2;
constexpr std::uint8_t kSortNull = 0xB4;

constexpr std::uint8_t kReadingOk = 0x00;

std::string Hex(const std::uint8_t* data, std::size_t count);
inline std::string Hex(const Bytes& bytes) { return Hex(bytes.data(), bytes.size()); }
// Accepts "AB AD 00", "0xAB,0xAD" or "ABAD00".
std::optional<Bytes> ParseHex(std::string_view text);

// Value characters: digits travel as their value, the point as 0x2E; readings may
// also carry a blank (0x20) and a minus (0x2D).
std::uint8_t ValueByte(char c);
// The value field of a setting command: digit values and exactly one point, at least
// one digit. Anything else yields nothing.
std::optional<std::string> DecodeSettingField(const std::uint8_t* data, std::size_t count);
// A text the meter can hold as a setting: 1..maxLength characters, digits and one point.
bool IsSettingText(std::string_view text, std::size_t maxLength);

// "12.345" -> 12.345 * 10^fractionDigits. A leading blank or minus is allowed.
std::optional<Fixed> ParseDecimal(std::string_view text, int fractionDigits);
// Resistance in picoohms for a value text and unit code 0xA0..0xA3.
std::optional<Fixed> PicoOhms(std::string_view text, std::uint8_t unit);
// Percentages in units of 0.00001 %.
std::optional<Fixed> PercentUnits(std::string_view text);
double OhmsPerUnit(std::uint8_t unit);

struct Reading {
    std::string text;  // exactly six value characters
    std::uint8_t unit;
};
// Picks the unit that shows the most digits in six characters with a point.
Reading FormatResistance(double ohms);
// Sign character (blank or minus) and five characters with a point.
std::string FormatDeviation(double percent);

// Above the upper limit is HIGH, below the lower limit LOW, anything else PASS
// (both limits count as passing).
std::uint8_t Sort(Fixed value, Fixed lower, Fixed upper);

Bytes SettingReport(std::uint8_t code, std::string_view text, std::uint8_t unit);
Bytes PercentReport(std::uint8_t code, std::string_view text);
Bytes MeasurementReport(std::string_view text, std::uint8_t unit, std::uint8_t sort, std::uint8_t status);
Bytes IdentityAnswer(bool accepted);

// Cuts the byte stream from the host into frames. It takes exactly eleven bytes after
// a frame start (nine for an identity check) and never cuts at an early 0xAF: the
// host's command buffer is never cleared, so stale 0xAF bytes ride in data bytes.
class FrameAssembler {
public:
    enum class Kind { Frame, Junk };
    struct Piece {
        Kind kind;
        Bytes bytes;
        std::string why;  // for junk
    };

    void Feed(const std::uint8_t* data, std::size_t count);
    std::optional<Piece> Next();
    bool HasPartial() const { return !buffer_.empty(); }
    Bytes TakePartial();

private:
    Bytes buffer_;
};

}  // namespace meter
