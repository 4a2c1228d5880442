#include "protocol.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace meter {

std::string Hex(const std::uint8_t* data, std::size_t count)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(count * 3);
    for (std::size_t i = 0; i < count; ++i) {
        if (i) text += ' ';
        text += digits[data[i] >> 4];
        text += digits[data[i] & 0x0F];
    }
    return text;
}

static int HexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::optional<Bytes> ParseHex(std::string_view text)
{
    Bytes bytes;
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == ' ' || c == ',' || c == '\t') {
            ++i;
            continue;
        }
        if (c == '0' && i + 1 < text.size() && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
            i += 2;
            continue;
        }
        if (i + 1 >= text.size()) return std::nullopt;
        const int high = HexDigit(text[i]);
        const int low = HexDigit(text[i + 1]);
        if (high < 0 || low < 0) return std::nullopt;
        bytes.push_back(static_cast<std::uint8_t>(high * 16 + low));
        i += 2;
    }
    return bytes;
}

std::uint8_t ValueByte(char c)
{
    if (c >= '0' && c <= '9') return static_cast<std::uint8_t>(c - '0');
    return static_cast<std::uint8_t>(c);  // '.', ' ' and '-' travel as themselves
}

bool IsSettingText(std::string_view text, std::size_t maxLength)
{
    if (text.empty() || text.size() > maxLength) return false;
    if (std::count(text.begin(), text.end(), '.') != 1) return false;
    if (text.size() == 1) return false;  // a lone point
    return std::all_of(text.begin(), text.end(), [](char c) { return c == '.' || (c >= '0' && c <= '9'); });
}

std::optional<std::string> DecodeSettingField(const std::uint8_t* data, std::size_t count)
{
    std::string text;
    for (std::size_t i = 0; i < count; ++i) {
        if (data[i] <= 9)
            text += static_cast<char>('0' + data[i]);
        else if (data[i] == '.')
            text += '.';
        else
            return std::nullopt;
    }
    if (!IsSettingText(text, count)) return std::nullopt;
    return text;
}

std::optional<Fixed> ParseDecimal(std::string_view text, int fractionDigits)
{
    bool negative = false;
    if (!text.empty() && (text[0] == ' ' || text[0] == '-')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    Fixed value = 0;
    int fraction = -1;  // digits seen after the point, -1 before it
    bool anyDigit = false;
    for (char c : text) {
        if (c == '.') {
            if (fraction >= 0) return std::nullopt;
            fraction = 0;
            continue;
        }
        if (c < '0' || c > '9') return std::nullopt;
        anyDigit = true;
        if (fraction >= fractionDigits) continue;  // finer than we keep: truncated
        value = value * 10 + (c - '0');
        if (fraction >= 0) ++fraction;
    }
    if (!anyDigit) return std::nullopt;
    for (int i = std::max(fraction, 0); i < fractionDigits; ++i) value *= 10;
    return negative ? -value : value;
}

static int UnitIndex(std::uint8_t unit) { return unit - kUnitMilliOhm; }

std::optional<Fixed> PicoOhms(std::string_view text, std::uint8_t unit)
{
    // Picoohms per 0.00001 of each unit.
    static const long long kScale[] = {10'000LL, 10'000'000LL, 10'000'000'000LL, 10'000'000'000'000LL};
    if (unit < kUnitMilliOhm || unit > kUnitMegaOhm) return std::nullopt;
    const auto value = ParseDecimal(text, 5);
    if (!value) return std::nullopt;
    return *value * kScale[UnitIndex(unit)];
}

std::optional<Fixed> PercentUnits(std::string_view text) { return ParseDecimal(text, 5); }

double OhmsPerUnit(std::uint8_t unit)
{
    static const double kOhms[] = {1e-3, 1.0, 1e3, 1e6};
    if (unit < kUnitMilliOhm || unit > kUnitMegaOhm) return 0.0;
    return kOhms[UnitIndex(unit)];
}

// The most decimals that still give exactly `width` characters; empty when even one
// decimal is too wide.
static std::string FitDecimal(double value, int width)
{
    for (int decimals = width - 2; decimals >= 1; --decimals) {
        char text[64];
        std::snprintf(text, sizeof text, "%.*f", decimals, value);
        if (static_cast<int>(std::strlen(text)) <= width) return text;
    }
    return {};
}

Reading FormatResistance(double ohms)
{
    if (!(ohms >= 0.0)) ohms = 0.0;
    std::uint8_t unit = kUnitMilliOhm;
    while (unit < kUnitMegaOhm && ohms / OhmsPerUnit(unit) >= 1000.0) ++unit;
    std::string text = FitDecimal(ohms / OhmsPerUnit(unit), 6);
    if (text.empty()) text = "9999.9";  // the meter's ceiling
    return {text, unit};
}

std::string FormatDeviation(double percent)
{
    std::string body = FitDecimal(std::fabs(percent), 5);
    if (body.empty()) body = "999.9";
    const bool zero = body.find_first_not_of("0.") == std::string::npos;
    return (percent < 0 && !zero ? "-" : " ") + body;
}

std::uint8_t Sort(Fixed value, Fixed lower, Fixed upper)
{
    if (value > upper) return kSortHigh;
    if (value < lower) return kSortLow;
    return kSortPass;
}

static void PutValue(Bytes& frame, std::size_t at, std::string_view text, std::size_t width)
{
    for (std::size_t i = 0; i < width; ++i) {
        // Every setting text has a point, so padding with zero digits keeps its value.
        frame[at + i] = i < text.size() ? ValueByte(text[i]) : 0x00;
    }
}

static Bytes EmptyFrame()
{
    Bytes frame(kFrameLength, 0x00);
    frame.front() = kFrameStart;
    frame.back() = kFrameEnd;
    return frame;
}

Bytes SettingReport(std::uint8_t code, std::string_view text, std::uint8_t unit)
{
    Bytes frame = EmptyFrame();
    frame[1] = code;
    PutValue(frame, 2, text, 5);  // reports carry one character fewer than commands
    frame[8] = unit;
    return frame;
}

Bytes PercentReport(std::uint8_t code, std::string_view text)
{
    Bytes frame = EmptyFrame();
    frame[1] = code;
    PutValue(frame, 2, text, 5);
    return frame;
}

Bytes MeasurementReport(std::string_view text, std::uint8_t unit, std::uint8_t sort, std::uint8_t status)
{
    Bytes frame = EmptyFrame();
    PutValue(frame, 1, text, 6);
    frame[7] = unit;
    frame[8] = sort;
    frame[9] = status;
    return frame;
}

Bytes IdentityAnswer(bool accepted)
{
    return {kFrameStart, kIdentity, accepted ? kSwitchFirst : kSwitchSecond, kFrameEnd};
}

void FrameAssembler::Feed(const std::uint8_t* data, std::size_t count)
{
    buffer_.insert(buffer_.end(), data, data + count);
}

std::optional<FrameAssembler::Piece> FrameAssembler::Next()
{
    if (buffer_.empty()) return std::nullopt;
    if (buffer_[0] != kFrameStart) {
        const auto start = std::find(buffer_.begin(), buffer_.end(), kFrameStart);
        Piece junk{Kind::Junk, Bytes(buffer_.begin(), start), "no frame start"};
        buffer_.erase(buffer_.begin(), start);
        return junk;
    }
    if (buffer_.size() < 2) return std::nullopt;
    const std::size_t length = buffer_[1] == kIdentity ? kIdentityLength : kFrameLength;
    if (buffer_.size() < length) return std::nullopt;
    if (buffer_[length - 1] != kFrameEnd) {
        // A frame start that begins no frame: drop it and look for the next one.
        buffer_.erase(buffer_.begin());
        return Piece{Kind::Junk, Bytes{kFrameStart}, "no frame end where expected"};
    }
    Piece frame{Kind::Frame, Bytes(buffer_.begin(), buffer_.begin() + length), {}};
    buffer_.erase(buffer_.begin(), buffer_.begin() + length);
    return frame;
}

Bytes FrameAssembler::TakePartial()
{
    Bytes partial;
    partial.swap(buffer_);
    return partial;
}

}  // namespace meter
