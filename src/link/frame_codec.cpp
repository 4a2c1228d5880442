#include "frame_codec.h"

namespace wire {

std::optional<int> ItemForSwitchByte(const SwitchInfo& info, uint8_t switchByte)
{
    if (switchByte == kSwitchOn) return info.itemForOn;
    if (switchByte == kSwitchOff) return info.itemForOff;
    return std::nullopt;
}

std::optional<uint8_t> SwitchByteForItem(const SwitchInfo& info, int itemIndex)
{
    if (itemIndex == info.itemForOn) return kSwitchOn;
    if (itemIndex == info.itemForOff) return kSwitchOff;
    return std::nullopt;
}

std::optional<QString> DisplaySymbolOf(int displayItem)
{
    if (displayItem == kDisplayItemR) return QStringLiteral("R");
    if (displayItem == kDisplayItemPercent) return QStringLiteral("%");
    return std::nullopt;
}

bool IsExternalTrigger(int triggerItem) { return triggerItem == kSwitchTable[kTriggerSwitch].itemForOn; }

QString ByteText(uint8_t byte) { return QStringLiteral("%1").arg(byte, 2, 16, QLatin1Char('0')).toUpper(); }

QString FrameText(const Frame& frame)
{
    QString text;
    text.reserve(kMainFrameLength * 3);
    for (uint8_t byte : frame) {
        text += ByteText(byte);
        text += QLatin1Char(' ');
    }
    return text;
}

bool IsValidFrame(const Frame& frame)
{
    if (frame[0] != kFrameStart || frame[kMainFrameLength - 1] != kFrameEnd) return false;
    for (int i = 1; i < kMainFrameLength - 1; ++i)
        if (frame[i] == kFrameEnd) return false;
    return true;
}

QString DecodeValueCharacters(QByteArrayView bytes)
{
    QString text;
    for (char c : bytes) {
        const auto byte = static_cast<uint8_t>(c);
        if (byte <= 0x09)
            text += QChar(u'0' + byte);
        else if (byte == 0x2E || byte == 0x20 || byte == 0x2D)
            text += QChar(byte);
    }
    return text;
}

std::optional<uint8_t> HexDigitValue(QChar character)
{
    const char16_t c = character.unicode();
    if (c >= u'0' && c <= u'9') return static_cast<uint8_t>(c - u'0');
    if (c >= u'a' && c <= u'f') return static_cast<uint8_t>(c - u'a' + 10);
    if (c >= u'A' && c <= u'F') return static_cast<uint8_t>(c - u'A' + 10);
    return std::nullopt;
}

QString UnitText(uint8_t unitCode)
{
    switch (unitCode) {
    case 0xA0: return QStringLiteral("mΩ");
    case 0xA1: return QStringLiteral("Ω");
    case 0xA2: return QStringLiteral("KΩ");
    case 0xA3: return QStringLiteral("MΩ");
    case 0xA4: return QStringLiteral("%");
    default: return {};
    }
}

std::optional<QString> SortText(uint8_t sortCode)
{
    switch (sortCode) {
    case kSortHigh: return QStringLiteral("HIGH");
    case kSortPass: return QStringLiteral("PASS");
    case kSortLow: return QStringLiteral("LOW");
    case kSortNull: return QStringLiteral("NULL");
    default: return std::nullopt;
    }
}

std::optional<QString> ReadingStatusText(uint8_t statusCode)
{
    switch (statusCode) {
    case kStatusError: return QStringLiteral("--ERROR--");
    case kStatusUnder: return QStringLiteral("︺︺︺︺︺");
    case kStatusOver: return QStringLiteral("︹︹︹︹︹");
    default: return std::nullopt;
    }
}

std::optional<IdentityVerdict> IdentityVerdictOf(QByteArrayView answer)
{
    if (answer.size() < kIdentityAnswerLength || static_cast<uint8_t>(answer[1]) != kIdentityCheck) return std::nullopt;
    switch (static_cast<uint8_t>(answer[2])) {
    case kIdentityAccepted: return IdentityVerdict::Accepted;
    case kIdentityRejected: return IdentityVerdict::Rejected;
    default: return std::nullopt;
    }
}

ReportKind KindOfReport(uint8_t byte1)
{
    switch (byte1) {
    case kStatusReport: return ReportKind::Status;
    case kUpperDirectLimit:
    case kLowerDirectLimit:
    case kUpperPercentLimit:
    case kLowerPercentLimit:
    case kNominalValue: return ReportKind::Setting;
    default: return ReportKind::Measurement;
    }
}

namespace {
QString ValueTextOf(const Frame& frame, int first, int count)
{
    return DecodeValueCharacters(QByteArrayView(reinterpret_cast<const char*>(frame.data()) + first, count));
}
}  // namespace

Report DecodeReport(const Frame& frame)
{
    Report report;
    report.kind = KindOfReport(frame[1]);
    switch (report.kind) {
    case ReportKind::Status:
        report.code = frame[1];
        for (size_t i = 0; i < kSwitchTable.size(); ++i) report.switchBytes[i] = frame[kSwitchTable[i].statusByte];
        break;
    case ReportKind::Setting:
        report.code = frame[1];
        report.valueText = ValueTextOf(frame, 2, 5);
        report.unitCode = frame[8];
        break;
    case ReportKind::Measurement:
        report.valueText = ValueTextOf(frame, 1, 6);
        report.unitCode = frame[7];
        report.sortCode = frame[8];
        report.statusCode = frame[9];
        break;
    }
    return report;
}

void FrameStreamReader::Append(QByteArrayView bytes)
{
    Compact();
    pending_.append(bytes.data(), bytes.size());
}

void FrameStreamReader::Compact()
{
    if (start_ == 0) return;
    pending_.remove(0, start_);
    start_ = 0;
}

void FrameStreamReader::DropFront(qsizetype count)
{
    start_ += count;
    dropped_ += count;
}

std::optional<Frame> FrameStreamReader::Next()
{
    // Consumed bytes are only counted off here and removed in one go later, so a
    // long backlog read in one piece costs no more per frame than a short one.
    for (;;) {
        const qsizetype available = pending_.size() - start_;
        const char* data = pending_.constData() + start_;
        const qsizetype first = QByteArrayView(data, available).indexOf(char(kFrameStart));
        if (first < 0) {
            DropFront(available);
            Compact();
            return std::nullopt;
        }
        if (first > 0) {
            DropFront(first);
            continue;
        }
        // A frame end inside the first ten bytes rules this start out before the
        // whole frame is here, so one broken frame never holds up the next.
        const qsizetype inner = std::min<qsizetype>(available, kMainFrameLength - 1);
        if (QByteArrayView(data + 1, inner - 1).indexOf(char(kFrameEnd)) >= 0) {
            DropFront(1);
            continue;
        }
        if (available < kMainFrameLength) {
            Compact();
            return std::nullopt;
        }
        Frame frame;
        for (int i = 0; i < kMainFrameLength; ++i) frame[i] = static_cast<uint8_t>(data[i]);
        if (IsValidFrame(frame)) {
            start_ += kMainFrameLength;
            return frame;
        }
        DropFront(1);
    }
}

QByteArray FrameStreamReader::Pending() const { return pending_.mid(start_); }

QByteArray FrameStreamReader::TakePending()
{
    Compact();
    QByteArray taken;
    taken.swap(pending_);
    return taken;
}

}  // namespace wire
