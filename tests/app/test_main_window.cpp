// The main window against a real pseudo-terminal: its look at creation, report
// handling (measurements, statuses, settings, broken streams, overflow), the switch
// panel's commands and the menu.

#include "app_fixture.h"
#include "direct_limits_window.h"
#include "frame_codec.h"
#include "look.h"
#include "nominal_value_window.h"
#include "percent_limits_window.h"
#include "radio_group.h"
#include "record_grid.h"

#include <QComboBox>
#include <QDate>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <QTimer>

using testing_support::Bytes;
using testing_support::Hex;

namespace {
QByteArray Measurement(std::initializer_list<int> value, int unit, int sort, int status = 0x00)
{
    QByteArray frame = Bytes({0xAB});
    frame += Bytes(value);
    frame += Bytes({unit, sort, status, 0xAF});
    return frame;
}

QByteArray Status(std::initializer_list<int> switches)
{
    return Bytes({0xAB, 0xAC}) + Bytes(switches) + Bytes({0x00, 0xAF});
}

QByteArray Command(int code, int byte2, const QByteArray& rest = QByteArray(7, '\0'))
{
    return Bytes({0xAB, code, byte2}) + rest + Bytes({0xAF});
}

const QByteArray k12345 = Measurement({0x01, 0x02, 0x2E, 0x03, 0x04, 0x05}, 0xA0, 0xB1);

// Records the category of every message while it lives, with all of the program's
// own lines turned on; puts the previous handler and rules back.
class MessageCapture {
public:
    MessageCapture()
    {
        categories().clear();
        QLoggingCategory::setFilterRules(QStringLiteral("qmr4070.*=true"));
        previous_ = qInstallMessageHandler(
            [](QtMsgType, const QMessageLogContext& context, const QString&) { categories() << context.category; });
    }
    ~MessageCapture()
    {
        qInstallMessageHandler(previous_);
        QLoggingCategory::setFilterRules(QString());
    }
    static QStringList& categories()
    {
        static QStringList seen;
        return seen;
    }

private:
    QtMessageHandler previous_;
};
}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT
private slots:
    void lookAtCreation()
    {
        AppFixture app;
        TForm1& w = app.main();
        QCOMPARE(w.windowTitle(), QStringLiteral("低电阻测量仪"));
        QVERIFY(!w.isVisible());
        QVERIFY(!(w.windowFlags() & Qt::WindowCloseButtonHint));
        QVERIFY(!(w.windowFlags() & Qt::WindowMinimizeButtonHint));
        QCOMPARE(w.centralWidget()->size(), QSize(1004, 590));
        QCOMPARE(w.Label5->text(), QStringLiteral(" "));
        QCOMPARE(ui::BackgroundOf(&w), ui::kWindow);
        for (QLabel* lamp : {w.Label6, w.Label7, w.Label8}) QCOMPARE(ui::BackgroundOf(lamp), ui::kWindow);
        for (int i = 0; i < 7; ++i) QCOMPARE(w.SwitchGroup(i)->ItemIndex(), -1);
        QCOMPARE(w.DateTimePicker1->date(), QDate::currentDate());
        QCOMPARE(w.DateTimePicker1->text(), QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat));
        QCOMPARE(w.RecordGrid1->focusPolicy(), Qt::ClickFocus);
        QVERIFY(w.Edit3->text().isEmpty());
        QCOMPARE(w.Edit2->text(), QStringLiteral("工号"));
        QCOMPARE(w.ComboBox1->currentText(), QStringLiteral("按分选"));
        QCOMPARE(w.ComboBox1->count(), 4);
        QCOMPARE(w.ComboBox1->itemText(3), QStringLiteral("NULL"));
        QVERIFY(!w.Timer1->isActive());
        QCOMPARE(w.Timer1->interval(), 1000);
        QVERIFY(w.Com->PortOpen());
        QCOMPARE(w.Com->RThreshold(), 11);
        QCOMPARE(w.Com->InputMode(), 1);

        const QList<QAction*> menu = w.menuBar()->actions();
        QCOMPARE(menu.size(), 6);
        QCOMPARE(menu[0]->text(), QStringLiteral("直读档极值设置"));
        QCOMPARE(menu[1]->text(), QStringLiteral("%档极值设置"));
        QCOMPARE(menu[2]->text(), QStringLiteral("标称值设置"));
        QCOMPARE(menu[3]->text(), QStringLiteral("串口选择"));
        QCOMPARE(menu[4]->text(), QStringLiteral("统计"));
        QCOMPARE(menu[5]->text(), QStringLiteral("关于"));
    }

    void controlPlaces()
    {
        AppFixture app;
        TForm1& w = app.main();
        const QList<std::pair<QWidget*, QRect>> places{
            {w.Edit3, {256, 8, 121, 21}},       {w.Button1, {600, 8, 75, 25}},
            {w.Button2, {744, 8, 75, 25}},      {w.Label2, {72, 64, 41, 33}},
            {w.Label5, {128, 64, 193, 27}},     {w.Label3, {352, 64, 289, 33}},
            {w.Label1, {768, 64, 129, 33}},     {w.Label6, {264, 128, 73, 33}},
            {w.Label7, {448, 128, 81, 33}},     {w.Label8, {632, 128, 73, 33}},
            {w.RadioGroup1, {16, 216, 65, 65}}, {w.RadioGroup4, {88, 304, 65, 65}},
            {w.RadioGroup7, {16, 464, 65, 73}}, {w.RecordGrid1, {176, 200, 825, 297}},
            {w.Button4, {256, 512, 97, 25}},    {w.SaveButton, {408, 512, 75, 25}},
            {w.Button7, {808, 512, 75, 25}},    {w.DateTimePicker1, {208, 552, 97, 21}},
            {w.Button9, {702, 552, 105, 25}},   {w.Button5, {856, 552, 105, 25}},
        };
        for (const auto& [widget, rect] : places) QCOMPARE(widget->geometry(), rect);
        QCOMPARE(w.Label4->pos(), QPoint(672, 64));
        QCOMPARE(w.Label5->font().pixelSize(), 27);
        QCOMPARE(w.Button1->font().pixelSize(), 13);
        QCOMPARE(w.RadioGroup5->Item(0)->text(), QStringLiteral("快"));
        QCOMPARE(w.RadioGroup6->Item(1)->text(), QStringLiteral("自动"));
        QCOMPARE(w.RadioGroup7->title(), QStringLiteral("触发"));
    }

    void measurementReportsLightTheLamps_data()
    {
        QTest::addColumn<int>("sort");
        QTest::addColumn<QString>("sortText");
        QTest::addColumn<QColor>("high");
        QTest::addColumn<QColor>("pass");
        QTest::addColumn<QColor>("low");
        QTest::newRow("HIGH") << 0xB0 << "HIGH" << ui::kRed << ui::kWindow << ui::kWindow;
        QTest::newRow("PASS") << 0xB1 << "PASS" << ui::kWindow << ui::kLime << ui::kWindow;
        QTest::newRow("LOW") << 0xB2 << "LOW" << ui::kWindow << ui::kWindow << ui::kRed;
        QTest::newRow("NULL") << 0xB4 << "NULL" << ui::kWindow << ui::kWindow << ui::kWindow;
    }
    void measurementReportsLightTheLamps()
    {
        QFETCH(int, sort);
        QFETCH(QString, sortText);
        QFETCH(QColor, high);
        QFETCH(QColor, pass);
        QFETCH(QColor, low);
        AppFixture app;
        TForm1& w = app.main();
        // Light the opposite lamp first, so that every lamp has to change.
        app.Receive(Measurement({0x01, 0x2E, 0x00, 0x00, 0x00, 0x00}, 0xA1, sort == 0xB0 ? 0xB2 : 0xB0));
        app.Receive(Measurement({0x01, 0x02, 0x2E, 0x03, 0x04, 0x05}, 0xA0, sort));
        QCOMPARE(w.Label5->text(), QStringLiteral("12.345mΩ"));
        QCOMPARE(w.Label4->text(), sortText);
        QCOMPARE(ui::BackgroundOf(w.Label6), high);
        QCOMPARE(ui::BackgroundOf(w.Label7), pass);
        QCOMPARE(ui::BackgroundOf(w.Label8), low);
        QVERIFY(app.Sent().isEmpty());
    }

    void measurementReadingTexts()
    {
        AppFixture app;
        TForm1& w = app.main();
        app.Receive(Measurement({0x01, 0x02, 0x2E, 0x03, 0x04, 0x05}, 0xA4, 0xB1));
        QCOMPARE(w.Label5->text(), QStringLiteral("12.345%"));
        app.Receive(Measurement({0x01, 0x02, 0x2E, 0x03, 0x04, 0x05}, 0xA0, 0xB1, 0xC1));
        QCOMPARE(w.Label5->text(), QStringLiteral("--ERROR--"));
        app.Receive(Measurement({0x01, 0x02, 0x2E, 0x03, 0x04, 0x05}, 0xA0, 0xB1, 0xC2));
        QCOMPARE(w.Label5->text(), QString(5, QChar(0xFE3A)));
        app.Receive(Measurement({0x01, 0x02, 0x2E, 0x03, 0x04, 0x05}, 0xA0, 0xB1, 0xC3));
        QCOMPARE(w.Label5->text(), QString(5, QChar(0xFE39)));
        // Byte 1 0x2E is a reading that starts with a point, not an unknown code.
        app.Receive(Measurement({0x2E, 0x05, 0x00, 0x00, 0x00, 0x00}, 0xA2, 0xB1));
        QCOMPARE(w.Label5->text(), QStringLiteral(".50000KΩ"));
        // Unknown unit adds nothing; value bytes outside the set are skipped.
        app.Receive(Measurement({0x01, 0x34, 0x2E, 0x02, 0x20, 0x2D}, 0xA7, 0xB1));
        QCOMPARE(w.Label5->text(), QStringLiteral("1.2 -"));
    }

    void unknownSortCodeLeavesLampsAndEmptiesSortText()
    {
        AppFixture app;
        TForm1& w = app.main();
        app.Receive(Measurement({0x01, 0x2E, 0x00, 0x00, 0x00, 0x00}, 0xA1, 0xB0));
        QCOMPARE(w.Label4->text(), QStringLiteral("HIGH"));
        app.Receive(Measurement({0x02, 0x2E, 0x00, 0x00, 0x00, 0x00}, 0xA1, 0xB3));
        QCOMPARE(w.Label5->text(), QStringLiteral("2.0000Ω"));
        QVERIFY(w.Label4->text().isEmpty());
        QCOMPARE(ui::BackgroundOf(w.Label6), ui::kRed);
    }

    void statusReportMirrorsAndEchoesInTableOrder()
    {
        AppFixture app;
        TForm1& w = app.main();
        app.Receive(k12345);
        QCOMPARE(w.Label4->text(), QStringLiteral("PASS"));
        // zero on, sorting off, beeper on, display %, speed slow, mode lock, trigger external
        app.Receive(Status({0x55, 0x5A, 0x55, 0x55, 0x5A, 0x55, 0x55}));
        const int expected[] = {0, 1, 0, 1, 1, 0, 0};
        for (int i = 0; i < 7; ++i) QCOMPARE(w.SwitchGroup(i)->ItemIndex(), expected[i]);
        QCOMPARE(w.Label2->text(), QStringLiteral("%"));
        QVERIFY(w.Label4->text().isEmpty());

        const QByteArray sent = app.Sent();
        QCOMPARE(sent.size(), 7 * 11);
        const int codes[] = {0xD9, 0xDA, 0xDB, 0xDF, 0xDE, 0xDD, 0xDC};
        const int bytes2[] = {0x55, 0x5A, 0x55, 0x55, 0x5A, 0x55, 0x55};
        for (int i = 0; i < 7; ++i) {
            const QByteArray frame = sent.mid(i * 11, 11);
            QCOMPARE(uint8_t(frame[0]), uint8_t(0xAB));
            QCOMPARE(uint8_t(frame[1]), uint8_t(codes[i]));
            QCOMPARE(uint8_t(frame[2]), uint8_t(bytes2[i]));
            QCOMPARE(frame.mid(3, 7), QByteArray(7, '\0'));
            QCOMPARE(uint8_t(frame[10]), uint8_t(0xAF));
        }

        // The same report again changes nothing and sends nothing.
        app.Receive(Status({0x55, 0x5A, 0x55, 0x55, 0x5A, 0x55, 0x55}));
        QVERIFY(app.Sent().isEmpty());
        QCOMPARE(w.Label2->text(), QStringLiteral("%"));

        // An unknown switch byte leaves its group; the others still apply.
        app.Receive(Status({0x55, 0x00, 0x55, 0x5A, 0x5A, 0x55, 0x55}));
        QCOMPARE(w.RadioGroup2->ItemIndex(), 1);
        QCOMPARE(w.RadioGroup4->ItemIndex(), 0);
        QCOMPARE(w.Label2->text(), QStringLiteral("R"));
        QCOMPARE(app.Sent(), Command(0xDF, 0x5A));
    }

    void settingReportsFillTheSettingWindows()
    {
        AppFixture app;
        TForm2& direct = app.windows->DirectLimits();
        TForm3& percent = app.windows->PercentLimits();
        TForm5& nominal = app.windows->Nominal();
        app.Receive(Bytes({0xAB, 0xEB, 0x00, 0x2E, 0x05, 0x00, 0x00, 0x09, 0xA2, 0x00, 0xAF}));
        QCOMPARE(direct.ComboBox2->currentText(), QStringLiteral("KΩ"));
        QCOMPARE(direct.Edit2->text(), QStringLiteral("0.500"));
        // A unit code the selector does not list leaves the selector as it was.
        direct.ComboBox1->setCurrentIndex(0);
        app.Receive(Bytes({0xAB, 0xEA, 0x02, 0x00, 0x2E, 0x00, 0x00, 0x00, 0xA4, 0x00, 0xAF}));
        QCOMPARE(direct.Edit1->text(), QStringLiteral("20.00"));
        QCOMPARE(direct.ComboBox1->currentIndex(), 0);
        app.Receive(Bytes({0xAB, 0xEC, 0x01, 0x00, 0x00, 0x2E, 0x00, 0x00, 0xA1, 0x00, 0xAF}));
        QCOMPARE(nominal.Edit1->text(), QStringLiteral("100.0"));
        QCOMPARE(nominal.ComboBox1->currentText(), QStringLiteral("Ω"));
        app.Receive(Bytes({0xAB, 0xED, 0x05, 0x2E, 0x00, 0x00, 0x00, 0x00, 0xA1, 0x00, 0xAF}));
        app.Receive(Bytes({0xAB, 0xEF, 0x2D, 0x03, 0x2E, 0x00, 0x00, 0x00, 0x00, 0x00, 0xAF}));
        QCOMPARE(percent.Edit1->text(), QStringLiteral("5.000"));
        QCOMPARE(percent.Edit2->text(), QStringLiteral("-3.00"));
        QCOMPARE(app.main().Label3->text(), QStringLiteral("上下限值"));
        QVERIFY(app.Sent().isEmpty());
    }

    void framesSurviveAnyChunking()
    {
        AppFixture app;
        TForm1& w = app.main();
        QByteArray bad = k12345;
        bad[4] = char(0xAF);
        const QByteArray low = Measurement({0x09, 0x2E, 0x00, 0x00, 0x00, 0x00}, 0xA1, 0xB2);
        const QByteArray high = Measurement({0x07, 0x2E, 0x00, 0x00, 0x00, 0x00}, 0xA1, 0xB0);
        const QByteArray nominalReport = Bytes({0xAB, 0xEC, 0x04, 0x07, 0x2E, 0x05, 0x00, 0x00, 0xA1, 0x00, 0xAF});

        // Split across three writes.
        app.Receive(low.left(3));
        app.Receive(low.mid(3, 5));
        QCOMPARE(w.Label5->text(), QStringLiteral(" "));
        app.Receive(low.mid(8));
        QCOMPARE(w.Label5->text(), QStringLiteral("9.0000Ω"));

        // Three frames in one write, the last one completed by the next write.
        app.Receive(high + nominalReport + k12345.left(6));
        QCOMPARE(app.windows->Nominal().Edit1->text(), QStringLiteral("47.50"));
        QCOMPARE(w.Label5->text(), QStringLiteral("7.0000Ω"));
        app.Receive(k12345.mid(6));
        QCOMPARE(w.Label5->text(), QStringLiteral("12.345mΩ"));

        // Garbage between frames, and a frame with its end byte inside followed by a good one.
        app.Receive(Bytes({0x13, 0xAB, 0x77}) + high + Bytes({0x01, 0x02}) + bad + low);
        QCOMPARE(w.Label5->text(), QStringLiteral("9.0000Ω"));
        QCOMPARE(w.Label4->text(), QStringLiteral("LOW"));

        // Two frames back to back: both handled, the second one last.
        app.Receive(high + k12345);
        QCOMPARE(w.Label5->text(), QStringLiteral("12.345mΩ"));
        QCOMPARE(ui::BackgroundOf(w.Label6), ui::kWindow);
        QCOMPARE(ui::BackgroundOf(w.Label7), ui::kLime);
    }

    void everyFrameOfABurstIsHandledAsItsOwnEvent()
    {
        AppFixture app;
        TForm1& w = app.main();
        // A status report and a measurement in one write: the status echo goes out,
        // and the sort text is the measurement's, set at the end of its own event.
        app.Receive(Status({0x5A, 0x55, 0x5A, 0x5A, 0x55, 0x5A, 0x5A}) + k12345);
        QCOMPARE(w.RadioGroup7->ItemIndex(), 1);
        QCOMPARE(w.Label4->text(), QStringLiteral("PASS"));
        QCOMPARE(app.Sent().size(), 7 * 11);
        // And the other way round: the status report empties the sort text.
        app.Receive(k12345 + Status({0x5A, 0x55, 0x5A, 0x5A, 0x55, 0x5A, 0x5A}));
        QVERIFY(w.Label4->text().isEmpty());
    }

    void overflowEmptiesEverything()
    {
        AppFixture app;
        TForm1& w = app.main();
        app.Receive(k12345);
        QCOMPARE(w.Label4->text(), QStringLiteral("PASS"));
        w.Com->setInBufferSize(20);
        app.Receive(Measurement({0x03, 0x2E, 0x00, 0x00, 0x00, 0x00}, 0xA1, 0xB0).repeated(3));
        QVERIFY(w.Label4->text().isEmpty());
        QCOMPARE(w.Label5->text(), QStringLiteral("12.345mΩ"));
        QCOMPARE(w.Com->InBufferCount(), 0);
    }

    void switchClicksSendTheirCommands()
    {
        AppFixture app;
        TForm1& w = app.main();
        w.RadioGroup1->Item(1)->click();  // 清零 关
        QCOMPARE(app.Sent(), Command(0xD9, 0x5A));
        w.RadioGroup1->Item(1)->click();  // already chosen: nothing
        QVERIFY(app.Sent().isEmpty());
        w.RadioGroup4->Item(1)->click();  // 显示 %
        QCOMPARE(app.Sent(), Command(0xDF, 0x55));
        QCOMPARE(w.Label2->text(), QStringLiteral("%"));
        w.RadioGroup4->Item(0)->click();  // 显示 R
        QCOMPARE(app.Sent(), Command(0xDF, 0x5A));
        QCOMPARE(w.Label2->text(), QStringLiteral("R"));
        w.RadioGroup5->Item(0)->click();
        w.RadioGroup6->Item(1)->click();
        w.RadioGroup7->Item(0)->click();
        w.RadioGroup2->Item(0)->click();
        w.RadioGroup3->Item(1)->click();
        QCOMPARE(app.Sent(), Command(0xDE, 0x55) + Command(0xDD, 0x5A) + Command(0xDC, 0x55) + Command(0xDA, 0x55) +
                                 Command(0xDB, 0x5A));
    }

    void refreshAndSingleCarryStaleBytes()
    {
        AppFixture app;
        TForm1& w = app.main();
        w.Button1->click();
        QCOMPARE(app.Sent(), Bytes({0xAB, 0xAD, 0, 0, 0, 0, 0, 0, 0, 0, 0xAF}));
        w.RadioGroup3->Item(0)->click();
        app.Sent();
        w.Button4->click();
        QCOMPARE(app.Sent(), Bytes({0xAB, 0x9D, 0x55, 0, 0, 0, 0, 0, 0, 0, 0xAF}));
        // With no item chosen the display command still goes out, byte 2 untouched.
        w.RadioGroup4->SetItemIndex(1);
        app.Sent();
        w.RadioGroup4->SetItemIndex(-1);
        QCOMPARE(app.Sent(), Command(0xDF, 0x55));
        QCOMPARE(w.Label2->text(), QStringLiteral("%"));
    }

    void commandsCarryWhatASettingLeft_data()
    {
        QTest::addColumn<QByteArray>("report");  // what the meter sends next; empty: the operator acts
        QTest::addColumn<QByteArray>("sent");
        // Nominal 4567.8 Ω left bytes 2-8 at 04 05 06 07 2E 08 A1, and the percentage
        // limit after it rewrote bytes 2-6 only; bytes 7 and 8 are still the nominal's.
        const QByteArray left = Bytes({0x2E, 0, 0, 0, 0x08, 0xA1, 0x00});  // bytes 3-9
        QTest::newRow("a status report echoes three switches in table order")
            << Status({0x5A, 0x00, 0x00, 0x00, 0x55, 0x00, 0x5A})
            << Command(0xD9, 0x5A, left) + Command(0xDE, 0x55, left) + Command(0xDC, 0x5A, left);
        QTest::newRow("the display echo")
            << Status({0x00, 0x00, 0x00, 0x55, 0x00, 0x00, 0x00}) << Command(0xDF, 0x55, left);
        QTest::newRow("refresh") << QByteArray() << Command(0xAD, 0x04, left);
    }
    void commandsCarryWhatASettingLeft()
    {
        QFETCH(QByteArray, report);
        QFETCH(QByteArray, sent);
        AppFixture app;
        TForm5& nominal = app.windows->Nominal();
        nominal.Edit1->setText(QStringLiteral("4567.8"));
        nominal.ComboBox1->setCurrentIndex(1);
        nominal.Button1->click();
        app.windows->PercentLimits().Edit2->setText(QStringLiteral("4"));
        app.windows->PercentLimits().Button2->click();
        QCOMPARE(app.Sent().size(), 4 * 11);
        if (report.isEmpty())
            app.main().Button1->click();
        else
            app.Receive(report);
        QCOMPARE(Hex(app.Sent()), Hex(sent));
    }

    void summaryLinesFollowTheDisplaySwitch()
    {
        AppFixture app;
        TForm1& w = app.main();
        // The meter reports its limits; the summary lines wait for the display switch.
        app.Receive(Bytes({0xAB, 0xEA, 0x02, 0x00, 0x2E, 0x00, 0x00, 0x00, 0xA0, 0x00, 0xAF}) +
                    Bytes({0xAB, 0xEB, 0x01, 0x00, 0x2E, 0x00, 0x00, 0x00, 0xA0, 0x00, 0xAF}) +
                    Bytes({0xAB, 0xEC, 0x01, 0x05, 0x2E, 0x00, 0x00, 0x00, 0xA0, 0x00, 0xAF}) +
                    Bytes({0xAB, 0xED, 0x05, 0x2E, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xAF}) +
                    Bytes({0xAB, 0xEF, 0x03, 0x2E, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xAF}));
        QCOMPARE(w.Label3->text(), QStringLiteral("上下限值"));
        app.Receive(Status({0x5A, 0x55, 0x5A, 0x5A, 0x5A, 0x5A, 0x5A}));
        QCOMPARE(w.Label3->text(), QStringLiteral("10.00mΩ-20.00mΩ"));
        QCOMPARE(w.Label1->text(), QStringLiteral("15.00mΩ"));
        app.Receive(Status({0x5A, 0x55, 0x5A, 0x55, 0x5A, 0x5A, 0x5A}));
        QCOMPARE(w.Label3->text(), QStringLiteral("3.000%-5.000%"));
        QCOMPARE(w.Label1->text(), QStringLiteral("15.00mΩ"));
        QCOMPARE(w.Label2->text(), QStringLiteral("%"));
        // A new setting report leaves the lines as they are.
        app.Receive(Bytes({0xAB, 0xED, 0x09, 0x2E, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xAF}));
        QCOMPARE(w.Label3->text(), QStringLiteral("3.000%-5.000%"));
    }

    void menuShowsOneSettingWindow()
    {
        AppFixture app;
        TForm1& w = app.main();
        w.N1->trigger();
        QVERIFY(app.windows->DirectLimits().isVisible());
        w.N2->trigger();
        QVERIFY(!app.windows->DirectLimits().isVisible());
        QVERIFY(app.windows->PercentLimits().isVisible());
        w.N3->trigger();
        QVERIFY(!app.windows->PercentLimits().isVisible());
        QVERIFY(app.windows->Nominal().isVisible());
        QVERIFY(!w.isVisible());
    }

    // "关于" ends the menu bar and names the program, its version, licence and Qt.
    void aboutBox()
    {
        AppFixture app;
        QCOMPARE(app.main().menuBar()->actions().last()->text(), QStringLiteral("关于"));
        app.main().AboutItem->trigger();
        QCOMPARE(app.boxes.captions, QStringList{QStringLiteral("关于 QMR4070")});
        for (const QString& part : {QStringLiteral(QMR4070_VERSION), QStringLiteral("MIT"), QString(qVersion())})
            QVERIFY2(app.boxes.informed.value(0).contains(part), qPrintable(part));
    }

    void exitEndsTheProgramThroughTheLoginWindow()
    {
        AppFixture app;
        QSignalSpy closed(&app.login(), &TForm6::Closed);
        app.login().Edit1->setText(QStringLiteral("582"));
        app.login().Button4->click();
        QVERIFY(app.main().isVisible());
        QVERIFY(!app.login().isVisible());
        app.main().Button2->click();
        QCOMPARE(closed.count(), 1);
        QVERIFY(!app.main().isVisible());
    }

    void diagnosticLinesGoThroughTheProgramsCategories()
    {
        AppFixture app;
        MessageCapture capture;
        app.Receive(Bytes({0x01, 0xAB}) + k12345 + Status({0x55, 0x5A, 0x55, 0x55, 0x5A, 0x55, 0x55}));
        app.Sent();
        app.main().Com->setPortOpen(false);
        app.main().Button1->click();
        const QStringList seen = MessageCapture::categories();
        QVERIFY(seen.contains(QStringLiteral("qmr4070.link")));
        QVERIFY(seen.contains(QStringLiteral("qmr4070.app")));
        for (const QString& category : seen) QVERIFY2(category.startsWith(u"qmr4070."), qPrintable(category));
    }

    void portMissingAtStartIsReported()
    {
        testing_support::EnvironmentGuard port("QMR4070_PORT", "/dev/qmr4070-missing");
        testing_support::RecordingMessageBoxes boxes;
        WindowSet windows(boxes);
        QCOMPARE(boxes.errors.size(), 1);
        QVERIFY(boxes.errors[0].contains(QStringLiteral("/dev/qmr4070-missing")));
        QVERIFY(!windows.Main().Com->PortOpen());
        // The rest of the set-up still applies, so a later open receives frames.
        QCOMPARE(windows.Main().Com->RThreshold(), 11);
        QCOMPARE(windows.Main().Label5->text(), QStringLiteral(" "));
        // A send with the port closed shows the error and goes on.
        windows.Main().Button1->click();
        QCOMPARE(boxes.errors.size(), 2);
    }
};

QTEST_MAIN(MainWindowTest)
#include "test_main_window.moc"
