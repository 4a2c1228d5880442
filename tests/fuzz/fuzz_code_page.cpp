// Code page 936 over any text, taken as UTF-16 code units so lone surrogates come too:
// every character gives at least one byte ('?' where the code page lacks it), and the
// bytes read back as as many characters. Any bytes read as text without harm.

#include "ansi_text.h"
#include "fuzz_check.h"

#include <QStringView>

namespace {
qsizetype CodePoints(const QString& text)
{
    qsizetype count = 0;
    for (qsizetype i = 0; i < text.size(); ++i, ++count)
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) ++i;
    return count;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size)
{
    QString text(qsizetype(size / 2), Qt::Uninitialized);
    for (size_t i = 0; i + 1 < size; i += 2) text[qsizetype(i / 2)] = QChar(char16_t(bytes[i] | bytes[i + 1] << 8));
    const QByteArray ansi = base::ToAnsi(text);
    FUZZ_CHECK(ansi.size() >= CodePoints(text));
    FUZZ_CHECK(base::AnsiByteLength(text) == ansi.size());
    FUZZ_CHECK(CodePoints(base::FromAnsi(ansi)) == CodePoints(text));

    const QByteArray raw(reinterpret_cast<const char*>(bytes), qsizetype(size));
    (void)base::ToAnsi(base::FromAnsi(raw));
    return 0;
}
