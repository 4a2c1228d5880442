#pragma once
// The number a stored reading text stands for: what the record table keeps beside the
// text, and what the archive sends.

#include <QString>
#include <optional>

namespace records {

// The reading in ohms ("12.34mΩ" → 0.01234), or in percent for a "%" reading; none for
// "--ERROR--", the bar texts and anything else that carries no number and unit, and none
// where the number, scaled, is not finite ("nanΩ", "1e308MΩ").
std::optional<double> ReadingValue(const QString& reading);

}  // namespace records
