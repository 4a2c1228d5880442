#include "ansi_text.h"

#include <QStringEncoder>

namespace wire {

QString TrimBlanksAndControls(const QString& text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text[first].unicode() <= 0x20) ++first;
    while (last > first && text[last - 1].unicode() <= 0x20) --last;
    return text.mid(first, last - first);
}

int AnsiByteLength(const QString& text)
{
    QStringEncoder encoder("GBK");
    if (!encoder.isValid()) return static_cast<int>(text.toLocal8Bit().size());
    const QByteArray bytes = encoder.encode(text);
    return static_cast<int>(bytes.size());
}

}  // namespace wire
