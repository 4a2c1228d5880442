#pragma once
// TForm1, "低电阻测量仪": the measuring window. It owns the main serial control Com,
// shows the live reading, the sort lamps and the switch panel, and sends the switch,
// refresh and single-measurement commands.

#include "frame_codec.h"
#include "measurement_recorder.h"

#include <QMainWindow>
#include <functional>
#include <optional>

class QAction;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QDateTime;
class QTimer;
class RadioGroup;
class WindowSet;

namespace grid {
class TRecordGrid;
}
namespace records {
class Dataset;
class RecordTable;
struct RecordFilter;
}  // namespace records

namespace wire {
class SerialControl;
}

class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    explicit TForm1(WindowSet& windows);
    ~TForm1() override;

    wire::SerialControl* Com;

    // Top band.
    QLabel* Label12;
    QLineEdit* Edit3;
    QPushButton* Button1;
    QPushButton* Button2;
    // Reading band.
    QLabel* Label2;
    QLabel* Label5;
    QLabel* Label3;
    QLabel* Label4;
    QLabel* Label1;
    // Lamps.
    QLabel* Label6;
    QLabel* Label7;
    QLabel* Label8;
    // Switch panel, in switch-table order.
    RadioGroup* RadioGroup1;
    RadioGroup* RadioGroup2;
    RadioGroup* RadioGroup3;
    RadioGroup* RadioGroup4;
    RadioGroup* RadioGroup5;
    RadioGroup* RadioGroup6;
    RadioGroup* RadioGroup7;
    // Records: the table, its source (the searches' master) and the grid.
    records::RecordTable* Table1;
    records::Dataset* DataSource1;
    grid::TRecordGrid* RecordGrid1;
    // Bottom band.
    QPushButton* Button4;
    QPushButton* SaveButton;
    QPushButton* Button6;
    QPushButton* Button3;
    QPushButton* Button7;
    QDateEdit* DateTimePicker1;
    QComboBox* ComboBox1;
    QLineEdit* Edit2;
    QPushButton* Button8;
    QPushButton* Button9;
    QPushButton* Button5;
    QTimer* Timer1;
    QAction* N1;
    QAction* N2;
    QAction* N3;
    QAction* StatisticsItem;
    QAction* AboutItem;  // "关于", last in the menu bar
    QAction* PortItem;   // "串口选择" (main_window_port.cpp)
    // The process alarm band, shown while an alarm stands unacknowledged.
    QLabel* AlarmBand;
    QPushButton* AlarmButton;  // "确认"

    void FormCreate();
    void ComComm();
    void Button1Click();
    void Button2Click();
    void Button4Click();
    void Timer1Timer();
    void N1Click();
    void N2Click();
    void N3Click();
    void StatisticsItemClick();
    void AboutItemClick();
    void PortItemClick();
    void RadioGroup1Click();
    void RadioGroup2Click();
    void RadioGroup3Click();
    void RadioGroup4Click();
    void RadioGroup5Click();
    void RadioGroup6Click();
    void RadioGroup7Click();
    void Button3Click();
    void Button7Click();
    void SaveButtonClick();
    void Button6Click();
    // The searches (main_window_searches.cpp).
    void Button8Click();
    void Button5Click();
    void Button9Click();
    // Acknowledges every alarm on the band (main_window_alarms.cpp).
    void AlarmButtonClick();

    // The seven groups in switch-table order.
    RadioGroup* SwitchGroup(int switchIndex) const;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildControls();
    void BuildMenu();
    // The port by name (main_window_port.cpp).
    void OfferPortAtStart();
    std::optional<QString> AskForPort(const QString& label);
    void Guarded(const std::function<void()>& body);
    void HandleFrame(const wire::Frame& frame);
    void ApplyStatusReport(const wire::Report& report);
    void ApplySettingReport(const wire::Report& report);
    QString ApplyMeasurementReport(const wire::Report& report, const QDateTime& moment);
    // Records (main_window_records.cpp).
    void BuildRecords(QWidget* client);
    void RecordReading(const records::MeasurementValues& values);
    void FollowRecorder(QWidget* client);
    void FollowAlarms(QWidget* client);
    void ShowAlarm(const QString& text);
    void ShowRecordsBox(const QString& text, bool asError);
    void ShowNextRecordsBox();
    // Shows the results and runs a search for the picked date; `condition` reads the
    // search's own input at its step and completes the filter.
    void Search(const std::function<void(records::RecordFilter&)>& condition);
    void SendSwitchCommand(int switchIndex);
    void ComLost(const QString& errorText);
    void RetakeCom();
    // The click of a switch group that only sends its command (all but the display).
    void PlainSwitchClick(int switchIndex);

    WindowSet& windows_;
    // Readings waiting to be saved, shown only while some wait; one records box at a time.
    QLabel* waitingLabel_ = nullptr;
    QList<std::pair<QString, bool>> recordsBoxes_;  // text, shown as an error
    QString alarmText_;                             // the first alarm on the band, and how many stand with it
    int alarms_ = 0;
    // Runs while Com is lost: tries to open the port again about once a second.
    QTimer* retakeTimer_;
};
