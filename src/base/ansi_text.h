#pragma once
// Text rules of the system's ANSI code page (936): trimming as the operator's entries
// are trimmed, lengths counted in bytes, and conversion both ways. The conversion is the
// Windows API's code page 936 on Windows and Qt's GBK converter elsewhere; where neither
// is at hand it throws PlatformError rather than write the text in another code page.

#include <QByteArray>
#include <QString>

namespace base {

// Removes leading and trailing blanks and control characters (everything up to U+0020).
QString TrimBlanksAndControls(const QString& text);
// The length of the text in bytes of code page 936 (a Chinese character counts two).
int AnsiByteLength(const QString& text);
// The text in bytes of code page 936. A character the code page lacks becomes '?'.
// Throws PlatformError when no code page 936 converter exists here.
QByteArray ToAnsi(const QString& text);
// Bytes of code page 936 as text. Throws PlatformError as ToAnsi does.
QString FromAnsi(const QByteArray& bytes);

}  // namespace base
