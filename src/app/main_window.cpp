#include "main_window.h"

#include "application_setup.h"
#include "direct_limits_window.h"
#include "frame_buffer.h"
#include "log_categories.h"
#include "login_window.h"
#include "look.h"
#include "message_boxes.h"
#include "nominal_value_window.h"
#include "percent_limits_window.h"
#include "platform_error.h"
#include "radio_group.h"
#include "serial_control.h"
#include "summary_lines.h"
#include "widget_factory.h"
#include "window_set.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QDate>
#include <QDateEdit>
#include <QDateTime>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenuBar>
#include <QPushButton>
#include <QTimer>

using namespace wire;
using ui::MakeButton;
using ui::MakeLabel;

namespace {

RadioGroup* MakeGroup(QWidget* parent, const QString& caption, const QStringList& items, int left, int top, int height)
{
    auto* group = new RadioGroup(caption, items, parent);
    group->setGeometry(left, top, 65, height);
    // The groups take the window's own colour, so they stand out from the grey band.
    ui::SetBackground(group, ui::kWindow);
    return group;
}

}  // namespace

TForm1::TForm1(WindowSet& windows) : windows_(windows)
{
    // No title-bar buttons: the way out is "退出".
    ui::SetUpForm(this, QStringLiteral("低电阻测量仪"), ui::kNoTitleButtons);
    Com = new SerialControl(this);
    connect(Com, &SerialControl::OnComm, this, &TForm1::ComComm);
    connect(Com, &SerialControl::PortLost, this, &TForm1::ComLost);
    retakeTimer_ = new QTimer(this);
    retakeTimer_->setInterval(1000);
    connect(retakeTimer_, &QTimer::timeout, this, &TForm1::RetakeCom);
    BuildControls();
    BuildMenu();
    Timer1 = new QTimer(this);
    Timer1->setInterval(1000);
    connect(Timer1, &QTimer::timeout, this, &TForm1::Timer1Timer);
    FormCreate();
}

TForm1::~TForm1() = default;

void TForm1::BuildControls()
{
    auto* client = new QWidget(this);
    client->setFixedSize(1004, 590);
    setCentralWidget(client);
    move(152, 115);

    ui::MakeBand(client, 0, 1, 1002, 40, ui::kTeal);
    ui::MakeBand(client, 0, 40, 1002, 65, ui::kBtnFace);
    ui::MakeBand(client, 0, 104, 1002, 97, ui::kScrollBar);
    ui::MakeBand(client, 0, 200, 177, 388, ui::kGrayText);
    ui::MakeBand(client, 176, 496, 826, 93, ui::kScrollBar);

    const QFont sans13 = ui::PixelFont(QStringLiteral("MS Sans Serif"), 13);
    const QFont song27 = ui::PixelFont(QStringLiteral("宋体"), 27);
    const QFont sans27 = ui::PixelFont(QStringLiteral("MS Sans Serif"), 27);

    Label12 =
        MakeLabel(client, QStringLiteral("工号"), 160, 8, 49, 25, ui::PixelFont(QStringLiteral("仿宋_GB2312"), 21));
    Edit3 = new QLineEdit(client);
    Edit3->setGeometry(256, 8, 121, 21);
    Button1 = MakeButton(client, QStringLiteral("刷新"), 600, 8, 75, 25, sans13);
    Button2 = MakeButton(client, QStringLiteral("退出"), 744, 8, 75, 25, sans13);

    Label2 = MakeLabel(client, QStringLiteral("R"), 72, 64, 41, 33, song27);
    Label5 = MakeLabel(client, QString(), 128, 64, 193, 27, song27);
    Label3 = MakeLabel(client, QStringLiteral("上下限值"), 352, 64, 289, 33, song27);
    Label4 = MakeLabel(client, QStringLiteral("分选"), 672, 64, 0, 33, song27);
    ui::SetBackground(Label4, ui::kBtnFace);
    Label4->adjustSize();
    Label1 = MakeLabel(client, QStringLiteral("标称值"), 768, 64, 129, 33, song27);

    Label6 = MakeLabel(client, QStringLiteral("HIGH"), 264, 128, 73, 33, sans27);
    Label7 = MakeLabel(client, QStringLiteral("PASS"), 448, 128, 81, 33, sans27);
    Label8 = MakeLabel(client, QStringLiteral("LOW"), 632, 128, 73, 33, sans27);
    for (QLabel* lamp : {Label6, Label7, Label8}) ui::SetBackground(lamp, ui::kWindow);

    const QStringList onOff{QStringLiteral("开"), QStringLiteral("关")};
    RadioGroup1 = MakeGroup(client, QStringLiteral("清零"), onOff, 16, 216, 65);
    RadioGroup2 = MakeGroup(client, QStringLiteral("分选"), onOff, 88, 216, 65);
    RadioGroup3 = MakeGroup(client, QStringLiteral("讯响"), onOff, 16, 304, 65);
    RadioGroup4 = MakeGroup(client, QStringLiteral("显示"),
                            {*DisplaySymbolOf(kDisplayItemR), *DisplaySymbolOf(kDisplayItemPercent)}, 88, 304, 65);
    RadioGroup5 = MakeGroup(client, QStringLiteral("速度"), {QStringLiteral("快"), QStringLiteral("慢")}, 16, 384, 65);
    RadioGroup6 =
        MakeGroup(client, QStringLiteral("方式"), {QStringLiteral("锁定"), QStringLiteral("自动")}, 88, 384, 65);
    RadioGroup7 = MakeGroup(client, QStringLiteral("触发"), {QStringLiteral("外"), QStringLiteral("内")}, 16, 464, 73);
    connect(RadioGroup1, &RadioGroup::Click, this, &TForm1::RadioGroup1Click);
    connect(RadioGroup2, &RadioGroup::Click, this, &TForm1::RadioGroup2Click);
    connect(RadioGroup3, &RadioGroup::Click, this, &TForm1::RadioGroup3Click);
    connect(RadioGroup4, &RadioGroup::Click, this, &TForm1::RadioGroup4Click);
    connect(RadioGroup5, &RadioGroup::Click, this, &TForm1::RadioGroup5Click);
    connect(RadioGroup6, &RadioGroup::Click, this, &TForm1::RadioGroup6Click);
    connect(RadioGroup7, &RadioGroup::Click, this, &TForm1::RadioGroup7Click);

    BuildRecords(client);
    FollowRecorder(client);
    FollowAlarms(client);

    Button4 = MakeButton(client, QStringLiteral("单次"), 256, 512, 97, 25);
    SaveButton = MakeButton(client, QStringLiteral("保存"), 408, 512, 75, 25);
    Button6 = MakeButton(client, QStringLiteral("打开"), 544, 512, 89, 25);
    Button3 = MakeButton(client, QStringLiteral("删除"), 680, 512, 75, 25);
    Button7 = MakeButton(client, QStringLiteral("清空"), 808, 512, 75, 25);
    connect(Button3, &QPushButton::clicked, this, &TForm1::Button3Click);
    connect(Button7, &QPushButton::clicked, this, &TForm1::Button7Click);
    connect(SaveButton, &QPushButton::clicked, this, &TForm1::SaveButtonClick);
    connect(Button6, &QPushButton::clicked, this, &TForm1::Button6Click);

    DateTimePicker1 = new QDateEdit(client);
    DateTimePicker1->setGeometry(208, 552, 97, 21);
    DateTimePicker1->setCalendarPopup(true);
    // Shown as the system shows short dates; searches still use yyyy-MM-dd, as stored.
    DateTimePicker1->setDisplayFormat(QLocale::system().dateFormat(QLocale::ShortFormat));
    ComboBox1 = new QComboBox(client);
    ComboBox1->setGeometry(328, 552, 73, 21);
    ComboBox1->setEditable(true);
    ComboBox1->addItems(
        {QStringLiteral("PASS"), QStringLiteral("HIGH"), QStringLiteral("LOW"), QStringLiteral("NULL")});
    ComboBox1->setCurrentIndex(-1);
    ComboBox1->setEditText(QStringLiteral("按分选"));
    Edit2 = new QLineEdit(QStringLiteral("工号"), client);
    Edit2->setGeometry(456, 552, 81, 21);
    Button8 = MakeButton(client, QStringLiteral("按日期检索"), 592, 552, 89, 25);
    Button9 = MakeButton(client, QStringLiteral("日期工号检索"), 702, 552, 105, 25);
    Button5 = MakeButton(client, QStringLiteral("日期分选检索"), 856, 552, 105, 25);
    connect(Button8, &QPushButton::clicked, this, &TForm1::Button8Click);
    connect(Button9, &QPushButton::clicked, this, &TForm1::Button9Click);
    connect(Button5, &QPushButton::clicked, this, &TForm1::Button5Click);

    connect(Button1, &QPushButton::clicked, this, &TForm1::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TForm1::Button2Click);
    connect(Button4, &QPushButton::clicked, this, &TForm1::Button4Click);
}

void TForm1::BuildMenu()
{
    N1 = menuBar()->addAction(QStringLiteral("直读档极值设置"));
    N2 = menuBar()->addAction(QStringLiteral("%档极值设置"));
    N3 = menuBar()->addAction(QStringLiteral("标称值设置"));
    connect(N1, &QAction::triggered, this, &TForm1::N1Click);
    connect(N2, &QAction::triggered, this, &TForm1::N2Click);
    connect(N3, &QAction::triggered, this, &TForm1::N3Click);
    PortItem = menuBar()->addAction(QStringLiteral("串口选择"));
    connect(PortItem, &QAction::triggered, this, &TForm1::PortItemClick);
    StatisticsItem = menuBar()->addAction(QStringLiteral("统计"));
    StatisticsItem->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));
    // A window-wide shortcut, so it works whichever control has the focus.
    StatisticsItem->setShortcutContext(Qt::WindowShortcut);
    addAction(StatisticsItem);
    connect(StatisticsItem, &QAction::triggered, this, &TForm1::StatisticsItemClick);
    AboutItem = menuBar()->addAction(QStringLiteral("关于"));
    connect(AboutItem, &QAction::triggered, this, &TForm1::AboutItemClick);
}

void TForm1::AboutItemClick() { windows_.Boxes().About(this, QStringLiteral("关于 QMR4070"), app::AboutText()); }

void TForm1::Guarded(const std::function<void()>& body) { ui::RunHandler(windows_.Boxes(), this, body); }

void TForm1::FormCreate()
{
    // The port steps run in their order. If opening fails the error is shown and the
    // remaining settings still apply, so the login's later open gets a working port.
    Guarded([this] {
        Com->setCommPort(1);
        Com->setSettings(QStringLiteral("9600,n,8,1"));
        Com->setPortOpen(true);
    });
    Com->setInBufferCount(0);
    Com->setOutBufferCount(0);
    Com->setInputMode(1);
    Com->setRThreshold(kMainFrameLength);
    Com->setSThreshold(0);
    Label5->setText(QStringLiteral(" "));
    ui::SetBackground(this, ui::kWindow);
    DateTimePicker1->setDate(QDate::currentDate());
    // After the error box: the ports that exist, to pick the meter's by name.
    if (!Com->PortOpen()) OfferPortAtStart();
}

void TForm1::Button2Click() { close(); }

void TForm1::closeEvent(QCloseEvent* event)
{
    // However this window goes (its exit button, or the window manager), the program
    // ends with it: closing the login window, the main form, ends the run.
    event->accept();
    windows_.Login().close();
}

void TForm1::N1Click() { windows_.ShowOnlySettingWindow(windows_.DirectLimits()); }

void TForm1::N2Click() { windows_.ShowOnlySettingWindow(windows_.PercentLimits()); }

void TForm1::N3Click() { windows_.ShowOnlySettingWindow(windows_.Nominal()); }

void TForm1::StatisticsItemClick()
{
    Guarded([this] { windows_.OpenStatistics(false); });
}

// ---- Report handling ----

void TForm1::ComComm()
{
    const int event = Com->CommEvent();
    if (event != SerialControl::kEventReceive) {
        if (event == SerialControl::kEventReceiveOverflow) Com->setInBufferCount(0);
        Label4->setText(QString());
        Label4->adjustSize();
        return;
    }
    // Bytes that do not yet make a whole frame go back to the control and are read
    // again with what arrives next, so no frame is lost however the line chunks it.
    FrameStreamReader reader;
    reader.Append(Com->Input());
    while (const auto frame = reader.Next()) {
        qCDebug(lcLink).noquote() << "received" << FrameText(*frame);
        Guarded([&] { HandleFrame(*frame); });
    }
    if (reader.DroppedBytes() > 0) qCDebug(lcLink) << "dropped" << reader.DroppedBytes() << "bytes of no frame";
    if (Com->PortOpen()) Com->ReturnUnused(reader.TakePending());
}

void TForm1::HandleFrame(const Frame& frame)
{
    // One moment per frame: the record's date text and its time are taken from it.
    const QDateTime moment = QDateTime::currentDateTime();
    const Report report = DecodeReport(frame);
    QString sortText;
    switch (report.kind) {
    case ReportKind::Status: ApplyStatusReport(report); break;
    case ReportKind::Setting: ApplySettingReport(report); break;
    case ReportKind::Measurement: sortText = ApplyMeasurementReport(report, moment); break;
    }
    Label4->setText(sortText);
    Label4->adjustSize();
}

void TForm1::ApplyStatusReport(const Report& report)
{
    // A group whose item changes runs its click handler here, which echoes the switch
    // to the meter (and, for the display switch, shows its symbol) before the next
    // group is looked at. An unchanged display item already shows its symbol.
    for (size_t i = 0; i < kSwitchTable.size(); ++i)
        if (const auto item = ItemForSwitchByte(kSwitchTable[i], report.switchBytes[i]))
            SwitchGroup(static_cast<int>(i))->SetItemIndex(*item);
}

void TForm1::ApplySettingReport(const Report& report)
{
    switch (report.code) {
    case kUpperDirectLimit: windows_.DirectLimits().ShowReportedUpper(report.valueText, report.unitCode); break;
    case kLowerDirectLimit: windows_.DirectLimits().ShowReportedLower(report.valueText, report.unitCode); break;
    case kNominalValue: windows_.Nominal().ShowReportedNominal(report.valueText, report.unitCode); break;
    case kUpperPercentLimit: windows_.PercentLimits().ShowReportedUpper(report.valueText); break;
    case kLowerPercentLimit: windows_.PercentLimits().ShowReportedLower(report.valueText); break;
    default: break;
    }
    windows_.NoteReportedLimits();
}

QString TForm1::ApplyMeasurementReport(const Report& report, const QDateTime& moment)
{
    Label5->setText(report.valueText + UnitText(report.unitCode));

    QString sortText;
    if (const auto sort = SortText(report.sortCode)) {
        sortText = *sort;
        ui::SetBackground(Label6, report.sortCode == kSortHigh ? ui::kRed : ui::kWindow);
        ui::SetBackground(Label7, report.sortCode == kSortPass ? ui::kLime : ui::kWindow);
        ui::SetBackground(Label8, report.sortCode == kSortLow ? ui::kRed : ui::kWindow);
    }
    if (const auto status = ReadingStatusText(report.statusCode)) Label5->setText(*status);

    const QString readingText = Label5->text();
    if (IsExternalTrigger(RadioGroup7->ItemIndex()))
        RecordReading({Edit3->text(), moment.date().toString(QStringLiteral("yyyy-MM-dd")), Label2->text(), readingText,
                       sortText, moment});
    return sortText;
}

// ---- Control panel ----

RadioGroup* TForm1::SwitchGroup(int switchIndex) const
{
    RadioGroup* const groups[] = {RadioGroup1, RadioGroup2, RadioGroup3, RadioGroup4,
                                  RadioGroup5, RadioGroup6, RadioGroup7};
    return groups[switchIndex];
}

void TForm1::SendSwitchCommand(int switchIndex)
{
    const SwitchInfo& info = kSwitchTable[switchIndex];
    FrameBuffer& buffer = windows_.Buffer();
    // An index that is neither item leaves byte 2 as the last sender left it.
    if (const auto switchByte = SwitchByteForItem(info, SwitchGroup(switchIndex)->ItemIndex()))
        buffer[kSwitchCommandByte] = *switchByte;
    SendCommand(*Com, buffer, info.commandCode);
}

void TForm1::PlainSwitchClick(int switchIndex)
{
    Guarded([this, switchIndex] { SendSwitchCommand(switchIndex); });
}

void TForm1::RadioGroup1Click() { PlainSwitchClick(0); }
void TForm1::RadioGroup2Click() { PlainSwitchClick(1); }
void TForm1::RadioGroup3Click() { PlainSwitchClick(2); }
void TForm1::RadioGroup5Click() { PlainSwitchClick(4); }
void TForm1::RadioGroup6Click() { PlainSwitchClick(5); }
void TForm1::RadioGroup7Click() { PlainSwitchClick(6); }

void TForm1::RadioGroup4Click()
{
    Guarded([this] {
        const int item = RadioGroup4->ItemIndex();
        if (const auto symbol = DisplaySymbolOf(item)) {
            Label2->setText(*symbol);
            settings::RebuildSummaryLines(item, windows_.DirectLimits(), windows_.PercentLimits(), windows_.Nominal(),
                                          Label1, Label3);
        }
        SendSwitchCommand(kDisplaySwitch);
    });
}

void TForm1::Button1Click()
{
    Guarded([this] { SendCommand(*Com, windows_.Buffer(), kRefreshRequest); });
}

void TForm1::Button4Click()
{
    Guarded([this] { SendCommand(*Com, windows_.Buffer(), kSingleMeasurementRequest); });
}

// ---- Lost meter ----

void TForm1::ComLost(const QString& errorText)
{
    // The last result belongs to a part no longer measured: show none, as before the
    // first report. The switch panel keeps the meter's last positions.
    for (QLabel* lamp : {Label6, Label7, Label8}) ui::SetBackground(lamp, ui::kWindow);
    Label5->setText(QStringLiteral(" "));
    Label4->setText(QString());
    Label4->adjustSize();
    // Started before the box, which is modal: the meter may come back while it stands.
    retakeTimer_->start();
    windows_.Boxes().ShowError(this, errorText);
}

void TForm1::RetakeCom()
{
    // Opened on purpose meanwhile (the login's hand-over): nothing left to take back.
    if (Com->PortOpen()) {
        retakeTimer_->stop();
        return;
    }
    // The login's identity check holds the port; it hands it back itself.
    if (windows_.Login().Com1->PortOpen()) return;
    try {
        Com->setPortOpen(true);
    } catch (const PlatformError&) {
        return;  // quietly: the next try comes in a second
    }
    retakeTimer_->stop();
    qCDebug(lcLink) << "port taken back";
    // As at start-up, so the switch panel and the setting windows catch up with the meter.
    Button1Click();
}

void TForm1::Timer1Timer()
{
    Button1Click();
    Timer1->stop();
}
