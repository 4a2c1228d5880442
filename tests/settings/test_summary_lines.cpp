// The nominal and limits lines as the display switch writes them from the setting
// windows' fields.

#include "direct_limits_window.h"
#include "frame_buffer.h"
#include "nominal_value_window.h"
#include "percent_limits_window.h"
#include "recording_boxes.h"
#include "serial_control.h"
#include "summary_lines.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

class SummaryLinesTest : public QObject {
    Q_OBJECT
private slots:
    void buildsLines_data();
    void buildsLines();
};

void SummaryLinesTest::buildsLines_data()
{
    QTest::addColumn<int>("item");
    QTest::addColumn<QStringList>("texts");  // nominal, direct upper, direct lower, percent upper, percent lower
    QTest::addColumn<QList<int>>("units");   // nominal, direct upper, direct lower
    QTest::addColumn<QString>("label1");
    QTest::addColumn<QString>("label3");
    const QStringList typical{"100.00", "20.000", "10.000", "5.000", "3.000"};
    const QList<int> units{1, 0, 0};
    QTest::newRow("R") << 0 << typical << units << "100.00Ω"
                       << "10.000mΩ-20.000mΩ";
    QTest::newRow("%") << 1 << typical << units << "100.00Ω"
                       << "3.000%-5.000%";
    QTest::newRow("R, mixed units, untrimmed")
        << 0 << QStringList{"1", " 4.5 ", "999", "", ""} << QList<int>{-1, 2, 1} << "1"
        << "999Ω- 4.5 KΩ";
    QTest::newRow("R, all empty") << 0 << QStringList{"", "", "", "", ""} << QList<int>{-1, -1, -1} << ""
                                  << "-";
    QTest::newRow("%, all empty") << 1 << QStringList{"", "", "", "", ""} << QList<int>{-1, -1, -1} << ""
                                  << "%-%";
    QTest::newRow("no item") << -1 << typical << units << "old 1"
                             << "old 3";
    QTest::newRow("unknown item") << 2 << typical << units << "old 1"
                                  << "old 3";
}

void SummaryLinesTest::buildsLines()
{
    QFETCH(int, item);
    QFETCH(QStringList, texts);
    QFETCH(QList<int>, units);
    QFETCH(QString, label1);
    QFETCH(QString, label3);
    wire::SerialControl com;
    wire::FrameBuffer buffer;
    testing_support::RecordingMessageBoxes boxes;
    TForm2 direct(com, buffer, boxes);
    TForm3 percent(com, buffer, boxes);
    TForm5 nominal(com, buffer, boxes);
    nominal.Edit1->setText(texts[0]);
    direct.Edit1->setText(texts[1]);
    direct.Edit2->setText(texts[2]);
    percent.Edit1->setText(texts[3]);
    percent.Edit2->setText(texts[4]);
    nominal.ComboBox1->setCurrentIndex(units[0]);
    direct.ComboBox1->setCurrentIndex(units[1]);
    direct.ComboBox2->setCurrentIndex(units[2]);
    QLabel nominalLine(QStringLiteral("old 1"));
    QLabel limitsLine(QStringLiteral("old 3"));
    settings::RebuildSummaryLines(item, direct, percent, nominal, &nominalLine, &limitsLine);
    QCOMPARE(nominalLine.text(), label1);
    QCOMPARE(limitsLine.text(), label3);
}

QTEST_MAIN(SummaryLinesTest)
#include "test_summary_lines.moc"
