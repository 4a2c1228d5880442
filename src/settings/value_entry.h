#pragma once
// The rules of numeric setting entry, apart from any window: which typed characters
// an entry box takes, how an entry is brought to the fixed text the meter takes, how
// that text becomes the value field of a setting frame, and what the unit selector
// stands for.

#include <QChar>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>

namespace wire {
class FrameBuffer;
}

namespace settings {

inline constexpr int kResistanceFieldWidth = 6;  // bytes 2-7
inline constexpr int kPercentFieldWidth = 5;     // bytes 2-6
inline constexpr int kValueFieldFirstByte = 2;
inline constexpr int kUnitCodeByte = 8;

inline constexpr char16_t kBackspace = 8;

// What an empty entry becomes.
inline const QString kEmptyResistanceText = QStringLiteral("0.0000");
inline const QString kEmptyPercentText = QStringLiteral("00.00");

// Operator messages of the setting windows.
inline const QString kTwoMegohmWarning = QStringLiteral("电阻上限输入值大于2MΩ");
inline const QString kLimitOrderWarning = QStringLiteral("输入上限小于下限");
inline const QString kOutOfRangeMessage = QStringLiteral("输入超出范围");
inline const QString kInvalidEntryMessage = QStringLiteral("输入值无效");

// True when some character of the text is "."; the empty text has none.
bool HasDecimalPoint(const QString& text);

// The key filter: whether a typed character goes into an entry box whose text is
// `current`. Backspace and digits pass; "." only while the whole text holds no point
// (even a selected point counts); everything else is swallowed.
bool KeyPasses(QChar typed, const QString& current);

// A trimmed, non-empty resistance entry brought to its text of at most six characters.
QString NormalizeValueText(const QString& trimmed);

struct PercentText {
    QString text;
    bool rangeWarning = false;  // the entry was out of range: warn before showing text
};
// A trimmed, non-empty percentage entry brought to its five-character text.
PercentText NormalizePercentText(const QString& trimmed);

// Writes the value field (width 6 or 5) from byte 2 on, but only when the text's
// first point stands where the field can carry it and every other character of the
// field is a hexadecimal digit; otherwise writes nothing. Returns whether it wrote.
bool EncodeValueField(const QString& text, int width, wire::FrameBuffer& buffer);

// Only digits and at most one point, and not empty: the texts the key filter lets a
// box hold, and the only ones a setting sends.
bool IsWellFormedValueText(const QString& text);

// Why a normalised text cannot be sent (the message the operator sees), or nothing
// when it can: a text that is not well formed would go out half written, and one
// with no encodable point would leave the previous value field in the frame.
std::optional<QString> RefusalOf(const QString& normalised, int width);

// A well-formed text read as a decimal number ("." reads as 0); any other text has
// no number. Never throws.
std::optional<double> ReadNumber(const QString& text);

// Unit selector: item index 0-3 stands for "mΩ" "Ω" "KΩ" "MΩ"; -1 is none chosen.
inline constexpr int kUnitCount = 4;
inline constexpr int kMegohmIndex = 3;
QStringList UnitSelectorItems();
std::optional<uint8_t> UnitCodeOf(int unitIndex);
// The selector item a unit code 0xA0-0xA3 stands for; no item for any other code.
std::optional<int> UnitIndexOf(uint8_t unitCode);
std::optional<double> OhmsPerUnit(int unitIndex);
// The unit's text, empty when none is chosen.
QString UnitTextOf(int unitIndex);

// The 2 MΩ warning is due for a trimmed resistance entry with "MΩ" chosen whose number
// exceeds 2. An entry that cannot be read as a number draws none; what normalisation
// makes of it is judged by RefusalOf before anything is sent.
bool DrawsTwoMegohmWarning(const QString& trimmed, int unitIndex);

}  // namespace settings
