#pragma once
// The number a stored reading text stands for, as the archive keeps it.

#include <QString>
#include <optional>

namespace archive {

// The reading in ohms ("12.34mΩ" → 0.01234), or in percent for a "%" reading; none for
// "--ERROR--", the bar texts and anything else that carries no number and unit.
std::optional<double> ReadingValue(const QString& reading);

}  // namespace archive
