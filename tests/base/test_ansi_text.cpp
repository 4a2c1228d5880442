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
