#include "reading_value.h"

#include <array>
#include <cmath>
#include <utility>

namespace records {

std::optional<double> ReadingValue(const QString& reading)
{
    // Powers of ten, applied by dividing or multiplying by an exact power so 12.5mΩ is
    // the double nearest 0.0125. "Ω" last: it ends the other resistance units too.
    static const std::array<std::pair<QString, int>, 5> kUnits{{{QStringLiteral("mΩ"), -3},
                                                                {QStringLiteral("KΩ"), 3},
                                                                {QStringLiteral("MΩ"), 6},
                                                                {QStringLiteral("Ω"), 0},
                                                                {QStringLiteral("%"), 0}}};
    const QString text = reading.trimmed();
    for (const auto& [unit, exponent] : kUnits) {
        if (!text.endsWith(unit)) continue;
        bool ok = false;
        const double number = text.chopped(unit.size()).trimmed().toDouble(&ok);
        if (!ok) return std::nullopt;
        const double power = std::pow(10.0, std::abs(exponent));
        const double value = exponent < 0 ? number / power : number * power;
        // "nanΩ", "infΩ" and "1e308MΩ" parse, but no reading and no NOT NULL column holds them.
        if (!std::isfinite(value)) return std::nullopt;
        return value;
    }
    return std::nullopt;
}

}  // namespace records
