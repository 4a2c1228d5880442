// The wire format's pure rules: byte and frame texts, validity, value characters,
// code tables, and the stream reader that keeps frames whole across chunking.

#include "frame_codec.h"

#include <QTest>

using namespace wire;

namespace {
Frame MakeFrame(std::initializer_list<int> bytes)
{
    Frame frame{};
    int i = 0;
    for (int b : bytes) frame[i++] = static_cast<uint8_t>(b);
    return frame;
}

QByteArray Raw(const Frame& frame) { return QByteArray(reinterpret_cast<const char*>(frame.data()), frame.size()); }

const Frame kMeasurement = MakeFrame({0xAB, 0x01, 0x02, 0x2E, 0x03, 0x04, 0x05, 0xA0, 0xB1, 0x00, 0xAF});
const Frame kStatus = MakeFrame({0xAB, 0xAC, 0x55, 0x5A, 0x55, 0x5A, 0x55, 0x5A, 0x55, 0x00, 0xAF});
const Frame kSetting = MakeFrame({0xAB, 0xEB, 0x00, 0x2E, 0x05, 0x00, 0x00, 0x00, 0xA2, 0x00, 0xAF});

std::vector<Frame> Drain(FrameStreamReader& reader)
{
    std::vector<Frame> frames;
    while (auto frame = reader.Next()) frames.push_back(*frame);
    return frames;
}
}  // namespace

class FrameCodecTest : public QObject {
    Q_OBJECT
private slots:
    void byteAndFrameTexts()
    {
        QCOMPARE(ByteText(0x0A), QStringLiteral("0A"));
        QCOMPARE(ByteText(0xAB), QStringLiteral("AB"));
        QCOMPARE(FrameText(kMeasurement), QStringLiteral("AB 01 02 2E 03 04 05 A0 B1 00 AF "));
    }

    void validity_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("valid");
        QTest::newRow("measurement") << Raw(kMeasurement) << true;
        QTest::newRow("status") << Raw(kStatus) << true;
        Frame endInside = kMeasurement;
        endInside[4] = 0xAF;
        QTest::newRow("frame end in byte 4") << Raw(endInside) << false;
        Frame endInByte9 = kMeasurement;
        endInByte9[9] = 0xAF;
        QTest::newRow("frame end in byte 9") << Raw(endInByte9) << false;
        Frame badStart = kMeasurement;
        badStart[0] = 0xAA;
        QTest::newRow("bad start") << Raw(badStart) << false;
        Frame badEnd = kMeasurement;
        badEnd[10] = 0xAE;
        QTest::newRow("bad end") << Raw(badEnd) << false;
        Frame startInside = kMeasurement;
        startInside[5] = 0xAB;
        QTest::newRow("a second frame start inside is allowed") << Raw(startInside) << true;
    }
    void validity()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, valid);
        Frame frame{};
        for (int i = 0; i < kMainFrameLength; ++i) frame[i] = static_cast<uint8_t>(bytes[i]);
        QCOMPARE(IsValidFrame(frame), valid);
    }

    void valueCharacters_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("digits and point") << QByteArray("\x01\x02\x2E\x03\x04\x05", 6) << "12.345";
        QTest::newRow("character codes are not digits") << QByteArray("\x01\x02\x2E\x03\x34\x35", 6) << "12.3";
        QTest::newRow("blank and minus") << QByteArray("\x2D\x20\x01\x2E\x05\x00", 6) << "- 1.50";
        QTest::newRow("nothing usable") << QByteArray("\xA0\xB1\xFF\x30", 4) << "";
        QTest::newRow("skipped byte shortens") << QByteArray("\x09\x0A\x09", 3) << "99";
    }
    void valueCharacters()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QCOMPARE(DecodeValueCharacters(bytes), text);
    }

    void codeTables()
    {
        QCOMPARE(UnitText(0xA0), QStringLiteral("mΩ"));
        QCOMPARE(UnitText(0xA1), QString(QChar(0x03A9)));
        QCOMPARE(UnitText(0xA2), QStringLiteral("KΩ"));
        QCOMPARE(UnitText(0xA3), QStringLiteral("MΩ"));
        QCOMPARE(UnitText(0xA4), QStringLiteral("%"));
        QVERIFY(UnitText(0xA5).isEmpty());
        QCOMPARE(SortText(0xB0).value(), QStringLiteral("HIGH"));
        QCOMPARE(SortText(0xB1).value(), QStringLiteral("PASS"));
        QCOMPARE(SortText(0xB2).value(), QStringLiteral("LOW"));
        QCOMPARE(SortText(0xB4).value(), QStringLiteral("NULL"));
        QVERIFY(!SortText(0xB3));
        QCOMPARE(ReadingStatusText(0xC1).value(), QStringLiteral("--ERROR--"));
        QCOMPARE(ReadingStatusText(0xC2).value(), QString(5, QChar(0xFE3A)));
        QCOMPARE(ReadingStatusText(0xC3).value(), QString(5, QChar(0xFE39)));
        QVERIFY(!ReadingStatusText(0x00));
        QVERIFY(KindOfReport(0xAC) == ReportKind::Status);
        for (uint8_t code : {0xEA, 0xEB, 0xED, 0xEF, 0xEC}) QVERIFY(KindOfReport(code) == ReportKind::Setting);
        QVERIFY(KindOfReport(0x2E) == ReportKind::Measurement);
        QVERIFY(KindOfReport(0xEE) == ReportKind::Measurement);
    }

    void reportsDecodedOnce_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("value");
        QTest::addColumn<int>("unit");
        QTest::addColumn<int>("sort");
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("switches");
        const QByteArray noSwitches(7, '\0');
        QTest::newRow("status") << Raw(kStatus) << int(ReportKind::Status) << 0xAC << "" << 0 << 0 << 0
                                << Raw(kStatus).mid(2, 7);
        QTest::newRow("setting") << Raw(kSetting) << int(ReportKind::Setting) << 0xEB << "0.500" << 0xA2 << 0 << 0
                                 << noSwitches;
        QTest::newRow("percentage setting, byte 7 not read")
            << Raw(MakeFrame({0xAB, 0xED, 0x05, 0x2E, 0x00, 0x00, 0x00, 0x09, 0x00, 0x00, 0xAF}))
            << int(ReportKind::Setting) << 0xED << "5.000" << 0 << 0 << 0 << noSwitches;
        QTest::newRow("measurement") << Raw(kMeasurement) << int(ReportKind::Measurement) << 0 << "12.345" << 0xA0
                                     << 0xB1 << 0 << noSwitches;
        QTest::newRow("measurement starting with a point")
            << Raw(MakeFrame({0xAB, 0x2E, 0x05, 0x00, 0x00, 0x00, 0x00, 0xA2, 0xB3, 0xC1, 0xAF}))
            << int(ReportKind::Measurement) << 0 << ".50000" << 0xA2 << 0xB3 << 0xC1 << noSwitches;
    }
    void reportsDecodedOnce()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(int, kind);
        QFETCH(int, code);
        QFETCH(QString, value);
        QFETCH(int, unit);
        QFETCH(int, sort);
        QFETCH(int, status);
        QFETCH(QByteArray, switches);
        Frame frame{};
        for (int i = 0; i < kMainFrameLength; ++i) frame[i] = static_cast<uint8_t>(bytes[i]);
        const Report report = DecodeReport(frame);
        QCOMPARE(int(report.kind), kind);
        QCOMPARE(int(report.code), code);
        QCOMPARE(report.valueText, value);
        QCOMPARE(int(report.unitCode), unit);
        QCOMPARE(int(report.sortCode), sort);
        QCOMPARE(int(report.statusCode), status);
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(report.switchBytes.data()), 7), switches);
    }

    void switchTable()
    {
        // Status byte positions 2..8 and command codes, in panel order.
        const uint8_t commands[] = {0xD9, 0xDA, 0xDB, 0xDF, 0xDE, 0xDD, 0xDC};
        for (int i = 0; i < 7; ++i) {
            QCOMPARE(kSwitchTable[i].statusByte, i + 2);
            QCOMPARE(kSwitchTable[i].commandCode, commands[i]);
        }
        const SwitchInfo& display = kSwitchTable[kDisplaySwitch];
        QCOMPARE(ItemForSwitchByte(display, 0x55).value(), 1);
        QCOMPARE(ItemForSwitchByte(display, 0x5A).value(), 0);
        QCOMPARE(SwitchByteForItem(display, 0).value(), uint8_t(0x5A));
        QCOMPARE(SwitchByteForItem(display, 1).value(), uint8_t(0x55));
        const SwitchInfo& zero = kSwitchTable[0];
        QCOMPARE(ItemForSwitchByte(zero, 0x55).value(), 0);
        QCOMPARE(SwitchByteForItem(zero, 1).value(), uint8_t(0x5A));
        QVERIFY(!ItemForSwitchByte(zero, 0x00));
        QVERIFY(!SwitchByteForItem(zero, -1));
        // Readings are recorded on "外" only, and not with no item chosen.
        QVERIFY(IsExternalTrigger(0));
        QVERIFY(!IsExternalTrigger(1));
        QVERIFY(!IsExternalTrigger(-1));
    }

    void hexDigits()
    {
        QCOMPARE(HexDigitValue(u'1').value(), uint8_t(1));
        QCOMPARE(HexDigitValue(u'a').value(), uint8_t(10));
        QCOMPARE(HexDigitValue(u'A').value(), uint8_t(10));
        QCOMPARE(HexDigitValue(u'F').value(), uint8_t(15));
        QVERIFY(!HexDigitValue(u'g'));
        QVERIFY(!HexDigitValue(u'.'));
        QVERIFY(!HexDigitValue(QChar(0xFF11)));  // full-width digit one
    }

    void readerReassemblesSplitFrames()
    {
        FrameStreamReader reader;
        const QByteArray raw = Raw(kMeasurement);
        reader.Append(raw.left(4));
        QVERIFY(!reader.Next());
        QCOMPARE(reader.Pending().size(), 4);
        reader.Append(raw.mid(4, 6));
        QVERIFY(!reader.Next());
        reader.Append(raw.mid(10));
        const auto frame = reader.Next();
        QVERIFY(frame);
        QVERIFY(*frame == kMeasurement);
        QVERIFY(reader.Pending().isEmpty());
    }

    void readerTakesSeveralFramesInOrder()
    {
        FrameStreamReader reader;
        reader.Append(Raw(kStatus) + Raw(kSetting) + Raw(kMeasurement).left(7));
        auto frames = Drain(reader);
        QCOMPARE(frames.size(), size_t(2));
        QVERIFY(frames[0] == kStatus);
        QVERIFY(frames[1] == kSetting);
        reader.Append(Raw(kMeasurement).mid(7));
        frames = Drain(reader);
        QCOMPARE(frames.size(), size_t(1));
        QVERIFY(frames[0] == kMeasurement);
    }

    void readerResynchronisesAfterGarbage()
    {
        FrameStreamReader reader;
        // Garbage before, between (with a stray frame start) and after two frames.
        reader.Append(QByteArray("\x01\x02\x55", 3) + Raw(kStatus) + QByteArray("\xAB\x07", 2) + Raw(kMeasurement) +
                      QByteArray("\x33", 1));
        const auto frames = Drain(reader);
        QCOMPARE(frames.size(), size_t(2));
        QVERIFY(frames[0] == kStatus);
        QVERIFY(frames[1] == kMeasurement);
        QVERIFY(reader.Pending().isEmpty());
        QCOMPARE(reader.DroppedBytes(), qint64(6));
    }

    void readerDropsFrameWithEndInsideAndKeepsNext()
    {
        Frame broken = kMeasurement;
        broken[4] = 0xAF;
        FrameStreamReader reader;
        reader.Append(Raw(broken));
        reader.Append(Raw(kSetting));
        const auto frames = Drain(reader);
        QCOMPARE(frames.size(), size_t(1));
        QVERIFY(frames[0] == kSetting);
    }

    void readerRejectsEarlyEndWithoutWaiting()
    {
        // A short broken frame followed by the start of a good one: the broken start
        // is given up as soon as its frame end shows up too early.
        FrameStreamReader reader;
        reader.Append(QByteArray("\xAB\x01\xAF", 3) + Raw(kMeasurement).left(3));
        QVERIFY(!reader.Next());
        QCOMPARE(reader.Pending(), Raw(kMeasurement).left(3));
    }

    void readerByteByByte()
    {
        FrameStreamReader reader;
        const QByteArray stream = Raw(kMeasurement) + QByteArray("\x00\xAB", 2) + Raw(kStatus) + Raw(kSetting);
        std::vector<Frame> frames;
        for (char c : stream) {
            reader.Append(QByteArrayView(&c, 1));
            while (auto f = reader.Next()) frames.push_back(*f);
        }
        QCOMPARE(frames.size(), size_t(3));
        QVERIFY(frames[2] == kSetting);
    }
};

QTEST_APPLESS_MAIN(FrameCodecTest)
#include "test_frame_codec.moc"
