#include "ansi_text.h"

#include "platform_error.h"

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <QStringDecoder>
#include <QStringEncoder>
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

QByteArray ToAnsi(const QString& text)
{
    if (text.isEmpty()) return {};
    const auto* wide = reinterpret_cast<const wchar_t*>(text.utf16());
    const int length = static_cast<int>(text.size());
    const int size = WideCharToMultiByte(kCodePage, 0, wide, length, nullptr, 0, nullptr, nullptr);
    if (size <= 0) throw ConversionError("WideCharToMultiByte");
    QByteArray bytes(size, Qt::Uninitialized);
    if (WideCharToMultiByte(kCodePage, 0, wide, length, bytes.data(), size, nullptr, nullptr) != size)
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
}  // namespace

QByteArray ToAnsi(const QString& text)
{
    // Opening a converter costs many times more than converting a short text, and an
    // export converts every text cell: one converter per thread, without state between calls.
    thread_local QStringEncoder encoder("GBK", QStringConverter::Flag::Stateless);
    if (!encoder.isValid()) throw MissingConverter();
    return encoder.encode(text);
}

QString FromAnsi(const QByteArray& bytes)
{
    QStringDecoder decoder("GBK");
    if (!decoder.isValid()) throw MissingConverter();
    return decoder.decode(bytes);
}

#endif

}  // namespace base
