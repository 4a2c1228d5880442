#pragma once
// The steps every "设置完成" button runs: bring the entry to its normalised text,
// write it into the outgoing frame buffer and send the setting frame twice.

#include <cstdint>
#include <functional>

class QComboBox;
class QLineEdit;
class QWidget;

namespace wire {
class FrameBuffer;
class SerialControl;
}  // namespace wire
namespace ui {
class MessageBoxes;
}

namespace settings {

// What a setting window sends through and shows its messages with.
struct SettingContext {
    wire::SerialControl& com;
    wire::FrameBuffer& buffer;
    ui::MessageBoxes& boxes;
};

// Frame start, command code and frame end, sent in full; then once more, unchanged.
void SendSettingFrame(wire::SerialControl& com, wire::FrameBuffer& buffer, uint8_t commandCode);

// A window's own step of a resistance setting, run after the value field is written
// and before it is sent: the normalised value as a number, and the unit index (-1: none).
using ResistanceOwnStep = std::function<void(double value, int unitIndex)>;

// The resistance setting sequence on one entry row. A text whose normalised form the
// value field cannot carry is shown normalised, refused with a message and not sent;
// the window's own step is then skipped as well.
void RunResistanceSetting(QWidget* window, const SettingContext& context, QLineEdit* edit, QComboBox* unit,
                          uint8_t commandCode, const ResistanceOwnStep& ownStep = {});

// The percentage setting steps on one entry row (no unit, no 2 MΩ warning).
void RunPercentSetting(QWidget* window, const SettingContext& context, QLineEdit* edit, uint8_t commandCode);

}  // namespace settings
