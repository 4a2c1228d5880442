#pragma once
// The meter's wire format: frame layout, every code and byte value, and the pure
// decoding rules. Nothing here touches a port or a window.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace wire {

inline constexpr int kMainFrameLength = 11;
inline constexpr int kLoginFrameLength = 9;
inline constexpr int kIdentityAnswerLength = 4;
inline constexpr int kIdentityCodeLength = 6;  // digits in bytes 2-7 of the identity check frame
inline constexpr int kSwitchCommandByte = 2;   // where a switch command carries its switch byte

inline constexpr uint8_t kFrameStart = 0xAB;
inline constexpr uint8_t kFrameEnd = 0xAF;

// Command codes, host to meter.
inline constexpr uint8_t kRefreshRequest = 0xAD;
inline constexpr uint8_t kSingleMeasurementRequest = 0x9D;
inline constexpr uint8_t kIdentityCheck = 0xAE;
inline constexpr uint8_t kUpperDirectLimit = 0xEA;
inline constexpr uint8_t kLowerDirectLimit = 0xEB;
inline constexpr uint8_t kNominalValue = 0xEC;
inline constexpr uint8_t kUpperPercentLimit = 0xED;
inline constexpr uint8_t kLowerPercentLimit = 0xEF;

// Report codes, meter to host (byte 1). Setting reports reuse the setting command codes.
inline constexpr uint8_t kStatusReport = 0xAC;

inline constexpr uint8_t kSwitchOn = 0x55;  // meaning per switch: see kSwitchTable
inline constexpr uint8_t kSwitchOff = 0x5A;
inline constexpr uint8_t kIdentityAccepted = 0x55;
inline constexpr uint8_t kIdentityRejected = 0x5A;

inline constexpr uint8_t kUnitMilliohm = 0xA0;
inline constexpr uint8_t kUnitPercent = 0xA4;

inline constexpr uint8_t kSortHigh = 0xB0;
inline constexpr uint8_t kSortPass = 0xB1;
inline constexpr uint8_t kSortLow = 0xB2;
inline constexpr uint8_t kSortNull = 0xB4;

inline constexpr uint8_t kStatusError = 0xC1;
inline constexpr uint8_t kStatusUnder = 0xC2;
inline constexpr uint8_t kStatusOver = 0xC3;

using Frame = std::array<uint8_t, kMainFrameLength>;

// One switch of the meter: where its byte sits in a status report, the command that
// sets it, and which radio-group item each switch byte stands for.
struct SwitchInfo {
    int statusByte;
    uint8_t commandCode;
    int itemForOn;   // item selected by 0x55
    int itemForOff;  // item selected by 0x5A
};

// In switch-table order: zero, sorting, beeper, display, speed, mode, trigger.
// The display switch runs against the item order: 0x55 is "%" (item 1).
inline constexpr std::array<SwitchInfo, 7> kSwitchTable{{
    {2, 0xD9, 0, 1},
    {3, 0xDA, 0, 1},
    {4, 0xDB, 0, 1},
    {5, 0xDF, 1, 0},
    {6, 0xDE, 0, 1},
    {7, 0xDD, 0, 1},
    {8, 0xDC, 0, 1},
}};
inline constexpr int kDisplaySwitch = 3;  // index into kSwitchTable
inline constexpr int kTriggerSwitch = 6;

// The display switch's items: direct reading "R" (item 0) and percentage "%" (item 1).
inline constexpr int kDisplayItemR = 0;
inline constexpr int kDisplayItemPercent = 1;
// The mode symbol a display item stands for, or nothing for an index that is neither item.
std::optional<QString> DisplaySymbolOf(int displayItem);
// Whether the trigger switch's item is "外", the one readings are recorded on.
bool IsExternalTrigger(int triggerItem);

// The radio-group item a switch byte selects, or nothing for a byte that is neither 0x55 nor 0x5A.
std::optional<int> ItemForSwitchByte(const SwitchInfo& info, uint8_t switchByte);
// The switch byte a radio-group item sends, or nothing for an index that is neither item.
std::optional<uint8_t> SwitchByteForItem(const SwitchInfo& info, int itemIndex);

// Two upper-case hexadecimal digits, "AB".
QString ByteText(uint8_t byte);
// Every byte text followed by one space: 33 characters for an 11-byte frame.
QString FrameText(const Frame& frame);
// Frame start in byte 0, frame end in byte 10 and nowhere else in between.
bool IsValidFrame(const Frame& frame);

// Received value bytes to text: digits 0x00-0x09, ".", " ", "-"; any other byte is skipped.
QString DecodeValueCharacters(QByteArrayView bytes);
// The value of a hexadecimal digit character ('0'-'9', 'a'-'f', 'A'-'F'), as the
// meter's value fields and identity code carry it.
std::optional<uint8_t> HexDigitValue(QChar character);

// "mΩ", "Ω", "KΩ", "MΩ", "%" for 0xA0-0xA4, otherwise empty.
QString UnitText(uint8_t unitCode);
// "HIGH", "PASS", "LOW", "NULL" for the four sort codes, otherwise nothing.
std::optional<QString> SortText(uint8_t sortCode);
// The text that replaces the reading for a reading status code, otherwise nothing.
std::optional<QString> ReadingStatusText(uint8_t statusCode);

enum class IdentityVerdict { Accepted, Rejected };
// The verdict of an identity answer (byte 1 0xAE, byte 2 0x55 or 0x5A); nothing for any
// other answer.
std::optional<IdentityVerdict> IdentityVerdictOf(QByteArrayView answer);

enum class ReportKind { Status, Setting, Measurement };
ReportKind KindOfReport(uint8_t byte1);

// A valid received frame read once into what its kind of report carries. Fields a
// kind does not carry stay at their defaults.
struct Report {
    ReportKind kind = ReportKind::Measurement;
    uint8_t code = 0;        // byte 1: the report code of a status or setting report
    QString valueText;       // value characters: bytes 2-6 of a setting, 1-6 of a measurement
    uint8_t unitCode = 0;    // byte 8 of a setting, byte 7 of a measurement
    uint8_t sortCode = 0;    // byte 8 of a measurement
    uint8_t statusCode = 0;  // byte 9 of a measurement: the reading status
    std::array<uint8_t, kSwitchTable.size()> switchBytes{};  // a status report's, in switch-table order
};
Report DecodeReport(const Frame& frame);

// Reassembles frames from a byte stream that arrives in arbitrary chunks. Every valid
// frame is taken once, in order; bytes that cannot begin a valid frame are dropped, and
// after garbage the reader resynchronises on the next 0xAB that starts a valid frame.
class FrameStreamReader {
public:
    // Appends received bytes.
    void Append(QByteArrayView bytes);
    // The next complete valid frame, if the buffered bytes hold one.
    std::optional<Frame> Next();
    // Bytes kept as the possible beginning of a frame still to come.
    QByteArray Pending() const;
    // Takes the pending bytes out, leaving the reader empty.
    QByteArray TakePending();
    // Bytes dropped as garbage since construction.
    qint64 DroppedBytes() const { return dropped_; }

private:
    void DropFront(qsizetype count);
    void Compact();
    QByteArray pending_;
    qsizetype start_ = 0;  // bytes before this are consumed
    qint64 dropped_ = 0;
};

}  // namespace wire
