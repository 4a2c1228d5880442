#include "setting_steps.h"

#include "ansi_text.h"
#include "frame_buffer.h"
#include "message_boxes.h"
#include "value_entry.h"

#include <QComboBox>
#include <QLineEdit>

namespace settings {

namespace {

// Value field and, when a unit is chosen, its code; with no unit byte 8 keeps what
// the last frame that wrote it left there.
void WriteResistanceField(wire::FrameBuffer& buffer, const QString& text, int unitIndex)
{
    EncodeValueField(text, kResistanceFieldWidth, buffer);
    if (const std::optional<uint8_t> code = UnitCodeOf(unitIndex)) buffer[kUnitCodeByte] = *code;
}

// Text that reached the box around the key filter (pasted, or a value the meter
// reported with blanks or a sign) must pass the filter's rules at the click: refused
// as it stands, before any warning, normalisation or byte.
bool RefusedAsTyped(QWidget* window, ui::MessageBoxes& boxes, const QString& trimmed)
{
    if (IsWellFormedValueText(trimmed)) return false;
    boxes.Inform(window, kInvalidEntryMessage);
    return true;
}

bool Refused(QWidget* window, ui::MessageBoxes& boxes, const QString& text, int width)
{
    const std::optional<QString> refusal = RefusalOf(text, width);
    if (refusal) boxes.Inform(window, *refusal);
    return refusal.has_value();
}

}  // namespace

void SendSettingFrame(wire::SerialControl& com, wire::FrameBuffer& buffer, uint8_t commandCode)
{
    for (int i = 0; i < 2; ++i) wire::SendCommand(com, buffer, commandCode);
}

void RunResistanceSetting(QWidget* window, const SettingContext& context, QLineEdit* edit, QComboBox* unit,
                          uint8_t commandCode, const ResistanceOwnStep& ownStep)
{
    const QString trimmed = base::TrimBlanksAndControls(edit->text());
    if (trimmed.isEmpty()) {
        edit->setText(kEmptyResistanceText);
    } else {
        if (RefusedAsTyped(window, context.boxes, trimmed)) return;
        if (DrawsTwoMegohmWarning(trimmed, unit->currentIndex())) context.boxes.Inform(window, kTwoMegohmWarning);
        edit->setText(NormalizeValueText(trimmed));
    }
    const QString text = edit->text();
    if (Refused(window, context.boxes, text, kResistanceFieldWidth)) return;
    const int unitIndex = unit->currentIndex();
    WriteResistanceField(context.buffer, text, unitIndex);
    if (ownStep) {
        ownStep(*ReadNumber(text), unitIndex);
        // A box the window's step opened let other senders use the shared buffer
        // meanwhile; the frame must still carry this value as encoded.
        WriteResistanceField(context.buffer, text, unitIndex);
    }
    SendSettingFrame(context.com, context.buffer, commandCode);
}

void RunPercentSetting(QWidget* window, const SettingContext& context, QLineEdit* edit, uint8_t commandCode)
{
    const QString trimmed = base::TrimBlanksAndControls(edit->text());
    if (trimmed.isEmpty()) {
        edit->setText(kEmptyPercentText);
    } else {
        if (RefusedAsTyped(window, context.boxes, trimmed)) return;
        const PercentText normalised = NormalizePercentText(trimmed);
        if (normalised.rangeWarning) context.boxes.Inform(window, kOutOfRangeMessage);
        edit->setText(normalised.text);
    }
    const QString text = edit->text();
    if (Refused(window, context.boxes, text, kPercentFieldWidth)) return;
    EncodeValueField(text, kPercentFieldWidth, context.buffer);
    SendSettingFrame(context.com, context.buffer, commandCode);
}

}  // namespace settings
