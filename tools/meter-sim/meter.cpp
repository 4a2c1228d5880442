#include "meter.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <sstream>

namespace meter {

const SwitchInfo kSwitches[7] = {
    {"zero", 0xD9, &MeterState::zero, "on", "off"},
    {"sorting", 0xDA, &MeterState::sorting, "on", "off"},
    {"beeper", 0xDB, &MeterState::beeper, "on", "off"},
    // The display switch runs against the panel's item order: 0x55 is "%".
    {"display", 0xDF, &MeterState::percent, "%", "R"},
    {"speed", 0xDE, &MeterState::fast, "fast", "slow"},
    {"mode", 0xDD, &MeterState::lock, "lock", "auto"},
    {"trigger", 0xDC, &MeterState::external, "ext", "int"},
};

static std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

static const SwitchInfo* FindSwitch(const std::string& key)
{
    for (const auto& info : kSwitches)
        if (key == info.key) return &info;
    return nullptr;
}

bool IsSwitchKey(const std::string& key) { return FindSwitch(key) != nullptr; }

static std::string UnitHex(std::uint8_t unit) { return Hex(&unit, 1); }

static std::string ParseSetting(Setting& setting, const std::string& value)
{
    const auto colon = value.find(':');
    const std::string text = value.substr(0, colon);
    if (!IsSettingText(text, 6)) return "value must be up to six digits with one point: " + text;
    std::uint8_t unit = setting.unit;
    if (colon != std::string::npos) {
        const auto code = ParseHex(value.substr(colon + 1));
        if (!code || code->size() != 1 || (*code)[0] < kUnitMilliOhm || (*code)[0] > kUnitMegaOhm)
            return "unit must be A0, A1, A2 or A3";
        unit = (*code)[0];
    }
    setting = {text, unit};
    return {};
}

std::string ApplyStateItem(MeterState& state, const std::string& key, const std::string& value)
{
    if (const SwitchInfo* info = FindSwitch(key)) {
        const std::string v = Lower(value);
        if (v == Lower(info->first))
            state.*(info->flag) = true;
        else if (v == Lower(info->second))
            state.*(info->flag) = false;
        else
            return key + " takes " + info->first + " or " + info->second;
        return {};
    }
    if (key == "upper") return ParseSetting(state.upper, value);
    if (key == "lower") return ParseSetting(state.lower, value);
    if (key == "nominal") return ParseSetting(state.nominal, value);
    if (key == "pupper" || key == "plower") {
        if (!IsSettingText(value, 5)) return "percentage must be up to five digits with one point";
        (key == "pupper" ? state.percentUpper : state.percentLower) = value;
        return {};
    }
    if (key == "code") {
        const bool hex = value.size() == 6 &&
                         std::all_of(value.begin(), value.end(), [](unsigned char c) { return std::isxdigit(c); });
        if (!hex) return "code must be six hexadecimal digits";
        state.code = value;
        return {};
    }
    return "unknown key " + key;
}

std::string ApplyStateList(MeterState& state, const std::string& list)
{
    std::stringstream items(list);
    std::string item;
    while (std::getline(items, item, ',')) {
        if (item.empty()) continue;
        const auto equals = item.find('=');
        if (equals == std::string::npos) return "expected KEY=VALUE, got " + item;
        const std::string error = ApplyStateItem(state, item.substr(0, equals), item.substr(equals + 1));
        if (!error.empty()) return error;
    }
    return {};
}

std::string StateLine(const MeterState& state)
{
    std::string line = "STATE";
    for (const auto& info : kSwitches)
        line += std::string(" ") + info.key + "=" + (state.*(info.flag) ? info.first : info.second);
    line += " upper=" + state.upper.text + ":" + UnitHex(state.upper.unit);
    line += " lower=" + state.lower.text + ":" + UnitHex(state.lower.unit);
    line += " nominal=" + state.nominal.text + ":" + UnitHex(state.nominal.unit);
    line += " pupper=" + state.percentUpper + " plower=" + state.percentLower;
    line += " code=" + state.code;
    return line;
}

Meter::Meter(MeterState state, std::mt19937_64& random, double statusCodeChance)
    : state_(std::move(state)), random_(random), statusCodeChance_(statusCodeChance)
{
}

Bytes Meter::StatusReport() const
{
    Bytes frame(kFrameLength, 0x00);
    frame[0] = kFrameStart;
    frame[1] = kStatusReport;
    for (std::size_t i = 0; i < 7; ++i) frame[2 + i] = state_.*(kSwitches[i].flag) ? kSwitchFirst : kSwitchSecond;
    frame[10] = kFrameEnd;
    return frame;
}

std::optional<Bytes> Meter::SettingReportFor(const std::string& key) const
{
    if (key == "upper") return SettingReport(kUpperLimit, state_.upper.text, state_.upper.unit);
    if (key == "lower") return SettingReport(kLowerLimit, state_.lower.text, state_.lower.unit);
    if (key == "nominal") return SettingReport(kNominal, state_.nominal.text, state_.nominal.unit);
    if (key == "pupper") return PercentReport(kPercentUpper, state_.percentUpper);
    if (key == "plower") return PercentReport(kPercentLower, state_.percentLower);
    return std::nullopt;
}

std::vector<Bytes> Meter::RefreshAnswer() const
{
    std::vector<Bytes> frames{StatusReport()};
    for (const char* key : {"upper", "lower", "pupper", "plower", "nominal"}) frames.push_back(*SettingReportFor(key));
    return frames;
}

Bytes Meter::TakeMeasurement()
{
    const double nominal = std::strtod(state_.nominal.text.c_str(), nullptr) * OhmsPerUnit(state_.nominal.unit);
    // A 2 % scatter against the default ±3 % limits gives mostly PASS with some HIGH and LOW.
    constexpr double kScatter = 0.02;
    static constexpr double kCycle[] = {1, -0.5, 0.5, -1};
    std::normal_distribution<double> scatter(1.0, kScatter);
    const double factor = shape_.cycle ? 1 + kScatter * kCycle[taken_ % 4] : scatter(random_);
    const double ohms = std::max(0.0, nominal * (factor + kScatter * shape_.shift));
    ++taken_;
    shape_.shift += shape_.drift;

    std::uint8_t status = kReadingOk;
    if (statusCodeChance_ > 0 && std::bernoulli_distribution(statusCodeChance_)(random_))
        status = static_cast<std::uint8_t>(0xC1 + std::uniform_int_distribution<int>(0, 2)(random_));

    std::string text;
    std::uint8_t unit;
    Fixed value, lower, upper;
    if (state_.percent) {
        // A zero nominal gives zero readings; call their deviation zero rather than divide by it.
        const double deviation = nominal > 0 ? (ohms - nominal) / nominal * 100.0 : 0.0;
        text = FormatDeviation(deviation);
        unit = kUnitPercent;
        value = PercentUnits(text).value_or(0);
        upper = PercentUnits(state_.percentUpper).value_or(0);
        lower = -PercentUnits(state_.percentLower).value_or(0);
    } else {
        const Reading reading = FormatResistance(ohms);
        text = reading.text;
        unit = reading.unit;
        value = PicoOhms(text, unit).value_or(0);
        upper = PicoOhms(state_.upper.text, state_.upper.unit).value_or(0);
        lower = PicoOhms(state_.lower.text, state_.lower.unit).value_or(0);
    }
    const std::uint8_t sort = state_.sorting ? Sort(value, lower, upper) : kSortNull;
    return MeasurementReport(text, unit, sort, status);
}

Answer Meter::Handle(const Bytes& frame)
{
    if (frame.size() == kIdentityLength && frame[1] == kIdentity) return HandleIdentity(frame);
    Answer answer;
    if (frame.size() != kFrameLength) {
        answer.notes.push_back("# frame of unexpected length ignored");
        return answer;
    }
    const std::uint8_t code = frame[1];
    if (code == kRefresh) {
        answer.frames = RefreshAnswer();
        return answer;
    }
    if (code == kSingleMeasurement) {
        answer.frames.push_back(TakeMeasurement());
        return answer;
    }
    for (const auto& info : kSwitches)
        if (code == info.command) return HandleSwitch(info, frame[2]);
    if (code == kUpperLimit || code == kLowerLimit || code == kNominal || code == kPercentUpper ||
        code == kPercentLower)
        return HandleSetting(frame);
    answer.notes.push_back("# unknown command " + Hex(&code, 1) + " ignored");
    return answer;
}

Answer Meter::HandleSwitch(const SwitchInfo& info, std::uint8_t value)
{
    Answer answer;
    if (value != kSwitchFirst && value != kSwitchSecond) {
        answer.notes.push_back(std::string("# ") + info.key + ": switch byte " + Hex(&value, 1) + " ignored");
        return answer;
    }
    state_.*(info.flag) = value == kSwitchFirst;
    answer.notes.push_back(std::string("# ") + info.key + " " + (value == kSwitchFirst ? info.first : info.second));
    return answer;
}

Answer Meter::HandleSetting(const Bytes& frame)
{
    Answer answer;
    const std::uint8_t code = frame[1];
    const bool percentage = code == kPercentUpper || code == kPercentLower;
    const auto text = DecodeSettingField(&frame[2], percentage ? 5 : 6);
    if (!text) {
        answer.notes.push_back("# bad setting value " + Hex(&frame[2], percentage ? 5 : 6) + " ignored");
        return answer;
    }
    if (percentage) {
        (code == kPercentUpper ? state_.percentUpper : state_.percentLower) = *text;
        answer.notes.push_back(std::string("# ") + (code == kPercentUpper ? "pupper " : "plower ") + *text);
        return answer;
    }
    const std::uint8_t unit = frame[8];
    if (unit < kUnitMilliOhm || unit > kUnitMegaOhm) {
        answer.notes.push_back("# bad unit code " + Hex(&unit, 1) + " ignored");
        return answer;
    }
    Setting& target = code == kUpperLimit ? state_.upper : code == kLowerLimit ? state_.lower : state_.nominal;
    target = {*text, unit};
    const char* name = code == kUpperLimit ? "upper " : code == kLowerLimit ? "lower " : "nominal ";
    answer.notes.push_back(std::string("# ") + name + *text + ":" + UnitHex(unit));
    return answer;
}

Answer Meter::HandleIdentity(const Bytes& frame) const
{
    bool match = true;
    for (std::size_t i = 0; i < 6; ++i) {
        const char c = state_.code[i];
        const int digit = std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : std::tolower(c) - 'a' + 10;
        match = match && frame[2 + i] == digit;
    }
    Answer answer;
    answer.identity = true;
    answer.frames.push_back(IdentityAnswer(match));
    answer.notes.push_back(match ? "# identity code accepted" : "# identity code rejected");
    return answer;
}

}  // namespace meter
