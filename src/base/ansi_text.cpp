#include "ansi_text.h"

#include <QStringDecoder>
#include <QStringEncoder>

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

QByteArray ToAnsi(const QString& text)
{
    // Opening a converter costs many times more than converting a short text, and an
    // export converts every text cell: one converter per thread, without state between calls.
    thread_local QStringEncoder encoder("GBK", QStringConverter::Flag::Stateless);
    if (!encoder.isValid()) return text.toLocal8Bit();
    return encoder.encode(text);
}

QString FromAnsi(const QByteArray& bytes)
{
    QStringDecoder decoder("GBK");
    if (!decoder.isValid()) return QString::fromLocal8Bit(bytes);
    return decoder.decode(bytes);
}

}  // namespace base
