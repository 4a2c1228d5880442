// The reading parser over any text: a number only when finite; a finite number written
// with a unit reads back as itself.

#include "fuzz_check.h"
#include "reading_value.h"

#include <cmath>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(bytes), qsizetype(size));
    if (const std::optional<double> value = records::ReadingValue(text)) FUZZ_CHECK(std::isfinite(*value));

    if (size >= sizeof(double)) {
        double number = 0;
        std::memcpy(&number, bytes, sizeof number);
        if (std::isfinite(number)) {
            const std::optional<double> back =
                records::ReadingValue(QString::number(number, 'g', 17) + QStringLiteral("Ω"));
            FUZZ_CHECK(back && *back == number);
        }
    }
    return 0;
}
