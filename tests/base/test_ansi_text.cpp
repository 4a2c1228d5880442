// Code page 936 both ways, as the .xls files and the meter's texts need it on every platform.

#include "ansi_text.h"

#include <QTest>

class TestAnsiText : public QObject {
    Q_OBJECT
private slots:
    void ConvertsCodePage936_data();
    void ConvertsCodePage936();
};

void TestAnsiText::ConvertsCodePage936_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("roundTrips");
    QTest::newRow("field name") << QStringLiteral("编号") << QByteArray::fromHex("B1E0BAC5") << true;
    QTest::newRow("mixed") << QStringLiteral("A0017 分选结果") << QByteArray::fromHex("413030313720B7D6D1A1BDE1B9FB")
                           << true;
    QTest::newRow("empty") << QString() << QByteArray() << true;
    // Hangul is not in the code page: it becomes '?', as the header promises.
    QTest::newRow("missing") << QStringLiteral("한") << QByteArray("?") << false;
    // Characters the encoder would silently drop: each is a '?' between its neighbours.
    const std::pair<const char*, char16_t> dropped[] = {
        {"soft hyphen", 0x00AD},        {"zero-width space", 0x200B},   {"zero-width joiner", 0x200D},
        {"right-to-left mark", 0x200F}, {"bidi isolate", 0x2066},       {"BOM", 0xFEFF},
        {"variation selector", 0xFE0F}, {"Hangul filler", 0x3164},      {"Mongolian selector", 0x180B},
        {"lone low surrogate", 0xDC00}, {"lone high surrogate", 0xD800}};
    for (const auto& [name, c] : dropped)
        QTest::newRow(name) << QStringLiteral("a") + QChar(c) + QStringLiteral("b") << QByteArray("a?b") << false;
    QTest::newRow("high surrogate at the end") << QStringLiteral("a") + QChar(0xD800) << QByteArray("a?") << false;
    QTest::newRow("emoji") << QString::fromUcs4(U"\U0001F600") << QByteArray("?") << false;
    // Plane 14 is default-ignorable: Qt's GBK encoder writes nothing for it (found by fuzzing).
    QTest::newRow("tag character") << QString::fromUcs4(U"a\U000E07DBb") << QByteArray("a?b") << false;
}

void TestAnsiText::ConvertsCodePage936()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QFETCH(bool, roundTrips);
    QCOMPARE(base::ToAnsi(text).toHex(' '), bytes.toHex(' '));
    QCOMPARE(base::AnsiByteLength(text), bytes.size());
    if (roundTrips) QCOMPARE(base::FromAnsi(bytes), text);
}

QTEST_GUILESS_MAIN(TestAnsiText)
#include "test_ansi_text.moc"
