// Value entry over any typed text: the key filter lets only digits and one point into a
// box; normalising gives the widths it promises; a normalised text RefusalOf lets pass
// always encodes, into a field of digits and one point; a refused encoding leaves every
// byte of the frame buffer as it was.

#include "ansi_text.h"
#include "frame_buffer.h"
#include "fuzz_check.h"
#include "value_entry.h"

#include <cmath>

namespace {

// A normalised text (of the field's width) that RefusalOf lets pass must be written.
void CheckEncoding(const QString& text, int width, bool normalised)
{
    wire::FrameBuffer buffer;
    for (int i = 0; i < wire::kMainFrameLength; ++i) buffer[i] = uint8_t(0xF0 + i);
    const wire::Frame before = buffer.Bytes();
    const bool wrote = settings::EncodeValueField(text, width, buffer);
    if (normalised && !settings::RefusalOf(text, width)) FUZZ_CHECK(wrote);
    for (int i = 0; i < wire::kMainFrameLength; ++i) {
        const bool inField = i >= settings::kValueFieldFirstByte && i < settings::kValueFieldFirstByte + width;
        if (!wrote || !inField) {
            FUZZ_CHECK(buffer[i] == before[i]);
            continue;
        }
        // A hexadecimal letter goes out as its value, as the field's rule has it; a text
        // the key filter lets through has digits only.
        FUZZ_CHECK(buffer[i] <= (settings::IsWellFormedValueText(text) ? 9 : 15) || buffer[i] == '.');
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size)
{
    const QString typed = QString::fromUtf8(reinterpret_cast<const char*>(bytes), qsizetype(size));

    // Every character typed into an empty box, as the key filter lets it in.
    QString box;
    for (QChar c : typed) {
        if (!settings::KeyPasses(c, box)) continue;
        if (c == settings::kBackspace)
            box.chop(1);
        else
            box += c;
    }
    FUZZ_CHECK(box.isEmpty() || settings::IsWellFormedValueText(box));

    for (const QString& entry : {typed, box}) {
        const QString trimmed = base::TrimBlanksAndControls(entry);
        if (trimmed.isEmpty()) continue;
        const QString resistance = settings::NormalizeValueText(trimmed);
        FUZZ_CHECK(resistance.size() <= 6);
        if (settings::IsWellFormedValueText(trimmed)) FUZZ_CHECK(settings::IsWellFormedValueText(resistance));
        CheckEncoding(resistance, settings::kResistanceFieldWidth, resistance.size() == 6);
        const settings::PercentText percent = settings::NormalizePercentText(trimmed);
        FUZZ_CHECK(percent.text.size() == 5);
        CheckEncoding(percent.text, settings::kPercentFieldWidth, true);
        if (settings::IsWellFormedValueText(resistance)) {
            const std::optional<double> number = settings::ReadNumber(resistance);
            FUZZ_CHECK(number && *number >= 0);
        }
        (void)settings::DrawsTwoMegohmWarning(trimmed, settings::kMegohmIndex);
    }
    CheckEncoding(typed, settings::kResistanceFieldWidth, false);
    CheckEncoding(typed, settings::kPercentFieldWidth, false);
    return 0;
}
