#include "value_entry.h"

#include "frame_buffer.h"
#include "frame_codec.h"

#include <QByteArray>
#include <array>
#include <charconv>
#include <limits>

namespace settings {

namespace {

bool IsDigit(QChar c) { return c >= u'0' && c <= u'9'; }

// Character position (from 1) of the first point, 0 when there is none.
qsizetype PointPosition(const QString& text) { return text.indexOf(u'.') + 1; }

bool IsEncodablePoint(qsizetype position, int width)
{
    if (width == kResistanceFieldWidth) return position >= 2 && position <= 5;
    if (width == kPercentFieldWidth) return position >= 2 && position <= 3;
    return false;
}

// A digit string too long for a double is either huge or vanishingly small.
double OutOfRangeValue(const QString& text)
{
    const QString integerPart = text.left(text.indexOf(u'.'));
    for (QChar c : integerPart)
        if (c != u'0') return std::numeric_limits<double>::infinity();
    return 0.0;
}

}  // namespace

bool HasDecimalPoint(const QString& text) { return text.contains(u'.'); }

bool KeyPasses(QChar typed, const QString& current)
{
    if (typed == kBackspace || IsDigit(typed)) return true;
    if (typed == u'.') return !HasDecimalPoint(current);
    return false;
}

QString NormalizeValueText(const QString& trimmed)
{
    const qsizetype point = PointPosition(trimmed);
    if (point == 0) {
        if (trimmed.size() <= 5) return (trimmed + QStringLiteral(".00000")).left(6);
        return QStringLiteral("99999");
    }
    if (point == 1) return (u'0' + trimmed + QStringLiteral("000000")).left(6);
    if (point <= 5) return (trimmed + QStringLiteral("000000")).left(6);
    if (point == 6) return trimmed.left(5);
    return trimmed.left(6);
}

PercentText NormalizePercentText(const QString& trimmed)
{
    const qsizetype point = PointPosition(trimmed);
    if (point == 0) {
        if (trimmed.size() == 1) return {trimmed + QStringLiteral(".000")};
        if (trimmed.size() == 2) return {trimmed + QStringLiteral(".00")};
        return {QStringLiteral("99.00"), true};
    }
    if (point == 1) return {(u'0' + trimmed + QStringLiteral("0000")).left(5)};
    if (point == 2) return {(trimmed + QStringLiteral("000")).left(5)};
    if (point == 3) return {(trimmed + QStringLiteral("0000")).left(5)};
    return {QStringLiteral("99.00")};
}

bool EncodeValueField(const QString& text, int width, wire::FrameBuffer& buffer)
{
    const qsizetype point = PointPosition(text);
    if (!IsEncodablePoint(point, width) || text.size() < width) return false;
    // Converted in full before any byte is written, so a bad character leaves the
    // buffer as it was rather than half overwritten.
    std::array<uint8_t, kResistanceFieldWidth> field{};
    for (int i = 0; i < width; ++i) {
        if (i + 1 == point) {
            field[i] = '.';
            continue;
        }
        const std::optional<uint8_t> digit = wire::HexDigitValue(text[i]);
        if (!digit) return false;
        field[i] = *digit;
    }
    for (int i = 0; i < width; ++i) buffer[kValueFieldFirstByte + i] = field[i];
    return true;
}

bool IsWellFormedValueText(const QString& text)
{
    if (text.isEmpty() || text.count(u'.') > 1) return false;
    for (QChar c : text)
        if (!IsDigit(c) && c != u'.') return false;
    return true;
}

std::optional<QString> RefusalOf(const QString& normalised, int width)
{
    if (!IsWellFormedValueText(normalised)) return kInvalidEntryMessage;
    if (!IsEncodablePoint(PointPosition(normalised), width)) return kOutOfRangeMessage;
    return std::nullopt;
}

std::optional<double> ReadNumber(const QString& text)
{
    if (!IsWellFormedValueText(text)) return std::nullopt;
    if (text == u".") return 0.0;
    const QByteArray latin = text.toLatin1();
    double value = 0.0;
    const auto result = std::from_chars(latin.constData(), latin.constData() + latin.size(), value);
    if (result.ec == std::errc::result_out_of_range) return OutOfRangeValue(text);
    return value;
}

QStringList UnitSelectorItems()
{
    QStringList items;
    for (int i = 0; i < kUnitCount; ++i) items << UnitTextOf(i);
    return items;
}

std::optional<uint8_t> UnitCodeOf(int unitIndex)
{
    if (unitIndex < 0 || unitIndex >= kUnitCount) return std::nullopt;
    return static_cast<uint8_t>(wire::kUnitMilliohm + unitIndex);
}

std::optional<int> UnitIndexOf(uint8_t unitCode)
{
    const int index = unitCode - wire::kUnitMilliohm;
    if (index < 0 || index >= kUnitCount) return std::nullopt;
    return index;
}

std::optional<double> OhmsPerUnit(int unitIndex)
{
    static constexpr std::array<double, kUnitCount> kOhms{0.001, 1.0, 1000.0, 1000000.0};
    if (unitIndex < 0 || unitIndex >= kUnitCount) return std::nullopt;
    return kOhms[unitIndex];
}

QString UnitTextOf(int unitIndex)
{
    const std::optional<uint8_t> code = UnitCodeOf(unitIndex);
    return code ? wire::UnitText(*code) : QString();
}

bool DrawsTwoMegohmWarning(const QString& trimmed, int unitIndex)
{
    return unitIndex == kMegohmIndex && ReadNumber(trimmed).value_or(0.0) > 2.0;
}

}  // namespace settings
