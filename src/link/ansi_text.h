#pragma once
// Text rules of the system's ANSI code page (936): trimming as the operator's entries
// are trimmed, and lengths counted in bytes.

#include <QString>

namespace wire {

// Removes leading and trailing blanks and control characters (everything up to U+0020).
QString TrimBlanksAndControls(const QString& text);
// The length of the text in bytes of code page 936 (a Chinese character counts two).
int AnsiByteLength(const QString& text);

}  // namespace wire
