// The entry rules apart from any window: normalisation, the value field, the key
// filter, reading numbers and the 2 MΩ test.

#include "frame_buffer.h"
#include "pty_pair.h"
#include "value_entry.h"

#include <QTest>

using namespace settings;
using testing_support::Bytes;

class ValueEntryTest : public QObject {
    Q_OBJECT
private slots:
    void normalizesResistance_data();
    void normalizesResistance();
    void normalizesPercent_data();
    void normalizesPercent();
    void encodesValueField_data();
    void encodesValueField();
    void filtersKeys_data();
    void filtersKeys();
    void readsNumbers_data();
    void readsNumbers();
    void decidesTwoMegohmWarning();
};

void ValueEntryTest::normalizesResistance_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("normalised");
    // In the order of the cases: no point up to 5 characters, 6 or more, leading point,
    // point at 2 to 5, at 6, later; then texts only the first point of counts.
    const char* rows[][2] = {
        {"5", "5.0000"},     {"47", "47.000"},      {"470", "470.00"},        {"4700", "4700.0"},
        {"20000", "20000."}, {"200000", "99999"},   {"2000000", "99999"},     {".", "0.0000"},
        {".5", "0.5000"},    {".456789", "0.4567"}, {"4.", "4.0000"},         {"4.7", "4.7000"},
        {"47.5", "47.500"},  {"470.25", "470.25"},  {"4.56789012", "4.5678"}, {"4567.89", "4567.8"},
        {"1234.", "1234.0"}, {"20000.", "20000"},   {"20000.5", "20000"},     {"2000000.5", "200000"},
        {"1.2.3", "1.2.30"}, {"1-2", "1-2.00"}};
    for (const auto& row : rows) QTest::newRow(row[0]) << QString(row[0]) << QString(row[1]);
}

void ValueEntryTest::normalizesResistance()
{
    QFETCH(QString, entry);
    QFETCH(QString, normalised);
    QCOMPARE(NormalizeValueText(entry), normalised);
}

void ValueEntryTest::normalizesPercent_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("normalised");
    QTest::addColumn<bool>("warns");
    const char* rows[][2] = {{"4", "4.000"},      {"47", "47.00"},     {".", "0.000"},     {".5", "0.500"},
                             {".45678", "0.456"}, {"4.", "4.000"},     {"4.5", "4.500"},   {"4.56789", "4.567"},
                             {"47.", "47.00"},    {"47.568", "47.56"}, {"99.99", "99.99"}, {"470.5", "99.00"},
                             {"4700.5", "99.00"}};
    for (const auto& row : rows) QTest::newRow(row[0]) << QString(row[0]) << QString(row[1]) << false;
    QTest::newRow("470") << "470"
                         << "99.00" << true;
    QTest::newRow("4700") << "4700"
                          << "99.00" << true;
}

void ValueEntryTest::normalizesPercent()
{
    QFETCH(QString, entry);
    QFETCH(QString, normalised);
    QFETCH(bool, warns);
    const PercentText result = NormalizePercentText(entry);
    QCOMPARE(result.text, normalised);
    QCOMPARE(result.rangeWarning, warns);
}

void ValueEntryTest::encodesValueField_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("width");
    QTest::addColumn<QByteArray>("field");  // bytes from byte 2 on; empty when nothing is written
    QTest::newRow("6, point at 2") << "1.2345" << 6 << Bytes({1, 0x2E, 2, 3, 4, 5});
    QTest::newRow("6, point at 3") << "12.345" << 6 << Bytes({1, 2, 0x2E, 3, 4, 5});
    QTest::newRow("6, point at 4") << "123.45" << 6 << Bytes({1, 2, 3, 0x2E, 4, 5});
    QTest::newRow("6, point at 5") << "1234.5" << 6 << Bytes({1, 2, 3, 4, 0x2E, 5});
    QTest::newRow("47.500") << "47.500" << 6 << Bytes({4, 7, 0x2E, 5, 0, 0});
    QTest::newRow("5, point at 2") << "1.234" << 5 << Bytes({1, 0x2E, 2, 3, 4});
    QTest::newRow("5, point at 3") << "12.34" << 5 << Bytes({1, 2, 0x2E, 3, 4});
    const std::pair<const char*, int> unwritten[] = {{"123456", 6}, {"99999", 6},  {".12345", 6},
                                                     {"12345.", 6}, {"123.4", 5},  {".1234", 5},
                                                     {"1.23-5", 6}, {"1.2 45", 6}, {"1.2", 6}};
    for (auto [text, width] : unwritten) QTest::newRow(text) << QString(text) << width << QByteArray();
}

void ValueEntryTest::encodesValueField()
{
    QFETCH(QString, text);
    QFETCH(int, width);
    QFETCH(QByteArray, field);
    wire::FrameBuffer buffer;
    for (int i = 0; i < wire::kMainFrameLength; ++i) buffer[i] = 0x77;
    QCOMPARE(EncodeValueField(text, width, buffer), !field.isEmpty());
    QByteArray expected(wire::kMainFrameLength, 0x77);
    expected.replace(2, field.size(), field);
    const QByteArray got(reinterpret_cast<const char*>(buffer.Bytes().data()), wire::kMainFrameLength);
    QCOMPARE(got.toHex(' '), expected.toHex(' '));
}

void ValueEntryTest::filtersKeys_data()
{
    QTest::addColumn<QChar>("typed");
    QTest::addColumn<QString>("current");
    QTest::addColumn<bool>("passes");
    QTest::newRow("digit") << QChar(u'7') << "" << true;
    QTest::newRow("digit beside a point") << QChar(u'0') << "4.5" << true;
    QTest::newRow("backspace") << QChar(8) << "4.5" << true;
    QTest::newRow("first point") << QChar(u'.') << "47" << true;
    QTest::newRow("point into empty") << QChar(u'.') << "" << true;
    QTest::newRow("second point") << QChar(u'.') << "4.5" << false;
    QTest::newRow("point after lone point") << QChar(u'.') << "." << false;
    // letter, blank, minus, comma, Enter, Escape, Ctrl+V, full-width and Arabic-Indic digits
    for (char16_t c :
         {u'a', u' ', u'-', u',', u'\r', char16_t(0x1B), char16_t(0x16), char16_t(0xFF15), char16_t(0x0663)})
        QTest::addRow("U+%04X", unsigned(c)) << QChar(c) << "4" << false;
}

void ValueEntryTest::filtersKeys()
{
    QFETCH(QChar, typed);
    QFETCH(QString, current);
    QFETCH(bool, passes);
    QCOMPARE(KeyPasses(typed, current), passes);
}

void ValueEntryTest::readsNumbers_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("hasNumber");
    QTest::addColumn<double>("value");
    const std::pair<const char*, double> numbers[] = {{"5.0000", 5}, {"47.500", 47.5}, {".", 0},
                                                      {".5", 0.5},   {"5.", 5},        {"99999", 99999}};
    for (auto [text, value] : numbers) QTest::newRow(text) << QString(text) << true << value;
    QTest::newRow("huge") << QString(400, u'9') << true << std::numeric_limits<double>::infinity();
    QTest::newRow("tiny") << "0." + QString(400, u'0') + "1" << true << 0.0;
    for (const char* text : {"", "abc", "1.2.3", "-1.23", " 12", "1e5", "１２"})
        QTest::newRow(text) << QString::fromUtf8(text) << false << 0.0;
}

void ValueEntryTest::readsNumbers()
{
    QFETCH(QString, text);
    QFETCH(bool, hasNumber);
    QFETCH(double, value);
    const std::optional<double> number = ReadNumber(text);
    QCOMPARE(number.has_value(), hasNumber);
    QCOMPARE(IsWellFormedValueText(text), hasNumber);
    if (hasNumber) QCOMPARE(*number, value);
}

void ValueEntryTest::decidesTwoMegohmWarning()
{
    for (const char* text : {"2.0001", "2.5", "10", "200000"}) QVERIFY(DrawsTwoMegohmWarning(text, kMegohmIndex));
    for (const char* text : {"2", "2.", ".5", "3-"}) QVERIFY(!DrawsTwoMegohmWarning(text, kMegohmIndex));
    for (int unit : {-1, 0, 1, 2}) QVERIFY(!DrawsTwoMegohmWarning(QStringLiteral("2.5"), unit));
}

QTEST_GUILESS_MAIN(ValueEntryTest)
#include "test_value_entry.moc"
