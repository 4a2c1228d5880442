#include "ansi_text.h"

#include "platform_error.h"

#include <algorithm>

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <QStringDecoder>
#include <QStringEncoder>
#include <bitset>
#endif

namespace base {

QString TrimBlanksAndControls(const QString& text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text[first].unicode() <= 0x20) ++first;
    while (last > first && text[last - 1].unicode() <= 0x20) --last;
    return text.mid(first, last - first);
}

namespace {
// Code page 936 holds no character outside the BMP: one '?' for each, and for a surrogate
// without its partner. Left to themselves, Windows writes one for each half and Qt's GBK
// encoder nothing at all for some (the tag characters, plane 14). Copied only when needed.
QString OneMarkPerSurrogatePair(const QString& text)
{
    if (std::none_of(text.begin(), text.end(), [](QChar c) { return c.isSurrogate(); })) return text;
    QString marked;
    marked.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (!c.isSurrogate()) {
            marked += c;
            continue;
        }
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) ++i;
        marked += u'?';
    }
    return marked;
}
}  // namespace

int AnsiByteLength(const QString& text) { return static_cast<int>(ToAnsi(text).size()); }

#ifdef Q_OS_WIN

// Windows has code page 936 itself, whatever the PC's own ANSI code page is; a Qt built
// without ICU (as ours for Windows) has no GBK converter.
namespace {
constexpr UINT kCodePage = 936;

PlatformError ConversionError(const char* what)
{
    return PlatformError(QStringLiteral("%1 (code page 936) failed: Windows error %2")
                             .arg(QLatin1String(what))
                             .arg(static_cast<qulonglong>(GetLastError())));
}

}  // namespace

// Without best fit: a character the code page lacks is written as '?', never as a look-alike
// ('-' for a soft hyphen), so the bytes are the same on every platform.
QByteArray ToAnsi(const QString& text)
{
    if (text.isEmpty()) return {};
    const QString bmp = OneMarkPerSurrogatePair(text);
    const auto* wide = reinterpret_cast<const wchar_t*>(bmp.utf16());
    const int length = static_cast<int>(bmp.size());
    constexpr DWORD kFlags = WC_NO_BEST_FIT_CHARS;
    const int size = WideCharToMultiByte(kCodePage, kFlags, wide, length, nullptr, 0, nullptr, nullptr);
    if (size <= 0) throw ConversionError("WideCharToMultiByte");
    QByteArray bytes(size, Qt::Uninitialized);
    if (WideCharToMultiByte(kCodePage, kFlags, wide, length, bytes.data(), size, nullptr, nullptr) != size)
        throw ConversionError("WideCharToMultiByte");
    return bytes;
}

QString FromAnsi(const QByteArray& bytes)
{
    if (bytes.isEmpty()) return {};
    const int length = static_cast<int>(bytes.size());
    const int size = MultiByteToWideChar(kCodePage, 0, bytes.constData(), length, nullptr, 0);
    if (size <= 0) throw ConversionError("MultiByteToWideChar");
    QString text(size, Qt::Uninitialized);
    auto* wide = reinterpret_cast<wchar_t*>(text.data());
    if (MultiByteToWideChar(kCodePage, 0, bytes.constData(), length, wide, size) != size)
        throw ConversionError("MultiByteToWideChar");
    return text;
}

#else

namespace {
PlatformError MissingConverter()
{
    return PlatformError(QStringLiteral("No converter for code page 936 (GBK): Qt was built without it"));
}

// The GBK encoder writes nothing at all for a few characters it lacks (soft hyphen,
// zero-width and bidi marks, the BOM, variation selectors, fillers): which ones is
// learnt from the encoder itself, once per character and thread.
bool SkippedByEncoder(QStringEncoder& encoder, char16_t c)
{
    thread_local std::bitset<0x10000> known, skipped;
    if (!known[c]) {
        skipped[c] = QByteArray(encoder.encode(QStringView(&c, 1))).isEmpty();
        known[c] = true;
    }
    return skipped[c];
}

// The text (with no surrogates left) with '?' for every character the encoder would drop.
// Copied only when needed.
QString MarkedUnencodable(QStringEncoder& encoder, const QString& text)
{
    QString marked;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.unicode() < 0x80 || !SkippedByEncoder(encoder, c.unicode())) continue;
        if (marked.isNull()) marked = text;
        marked[i] = u'?';
    }
    return marked.isNull() ? text : marked;
}
}  // namespace

QByteArray ToAnsi(const QString& text)
{
    // Opening a converter costs many times more than converting a short text, and an
    // export converts every text cell: one converter per thread, without state between calls.
    thread_local QStringEncoder encoder("GBK", QStringConverter::Flag::Stateless);
    if (!encoder.isValid()) throw MissingConverter();
    return encoder.encode(MarkedUnencodable(encoder, OneMarkPerSurrogatePair(text)));
}

QString FromAnsi(const QByteArray& bytes)
{
    QStringDecoder decoder("GBK");
    if (!decoder.isValid()) throw MissingConverter();
    return decoder.decode(bytes);
}

#endif

}  // namespace base
