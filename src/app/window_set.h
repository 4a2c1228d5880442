#pragma once
// The six windows of a run, created once in their fixed order and owned here, with
// the state they share: the outgoing frame buffer, the message boxes and the recorder.
// Windows reach each other through this set.

#include "database_watch.h"
#include "frame_buffer.h"
#include "measurement_recorder.h"
#include "record_store.h"

#include <memory>

class TForm1;
class TForm2;
class TForm3;
class TForm4;
class TForm5;
class TForm6;
class QWidget;

namespace records {
class AlarmLog;
class RecordQuery;
}  // namespace records

namespace stats {
class AlarmWatch;
class ControlSettings;
class StatisticsWindow;
}  // namespace stats

namespace ui {
class FileDialogs;
class MessageBoxes;
}  // namespace ui

class WindowSet {
public:
    // Without file dialogs of the caller's, the set uses the platform's. Opens the record
    // database first: PlatformError naming the file when it cannot.
    explicit WindowSet(ui::MessageBoxes& boxes, ui::FileDialogs* dialogs = nullptr);
    ~WindowSet();
    WindowSet(const WindowSet&) = delete;
    WindowSet& operator=(const WindowSet&) = delete;

    TForm6& Login() { return *login_; }
    TForm1& Main() { return *main_; }
    TForm2& DirectLimits() { return *directLimits_; }
    TForm3& PercentLimits() { return *percentLimits_; }
    TForm4& SearchResults() { return *searchResults_; }
    TForm5& Nominal() { return *nominal_; }
    stats::StatisticsWindow& Statistics() { return *statistics_; }

    // Shows the chosen setting window and hides the other two.
    void ShowOnlySettingWindow(const QWidget& chosen);
    // Opens "统计" on the main window's date (or on the search result shown in the
    // results window), in the current display mode, with the limits in force.
    void OpenStatistics(bool onSearchResult);
    // After a setting report: the limits of both modes and the nominal value as the
    // setting windows now hold them go to the record file's log of limits, for the archive.
    void NoteReportedLimits();

    wire::FrameBuffer& Buffer() { return buffer_; }
    ui::MessageBoxes& Boxes() { return boxes_; }
    ui::FileDialogs& Dialogs() { return *dialogs_; }
    records::RecordStore& Store() { return *store_; }
    records::MeasurementRecorder& Recorder() { return recorder_; }
    DatabaseWatch& Watch() { return watch_; }
    // The control charts' choices, the alarms in the record file and the rules at the bench.
    stats::ControlSettings& Control() { return *control_; }
    records::AlarmLog& Alarms() { return *alarms_; }
    stats::AlarmWatch& AlarmWatcher() { return *alarmWatch_; }

private:
    struct SearchNow {
        bool open = false;
        std::optional<records::RecordFilter> filter;
    };
    static SearchNow OpenSearch(records::RecordQuery& query);

    ui::MessageBoxes& boxes_;
    std::unique_ptr<ui::FileDialogs> ownDialogs_;
    ui::FileDialogs* dialogs_;
    wire::FrameBuffer buffer_;
    std::unique_ptr<records::RecordStore> store_;
    records::MeasurementRecorder recorder_;
    DatabaseWatch watch_;
    std::unique_ptr<stats::ControlSettings> control_;
    std::unique_ptr<records::AlarmLog> alarms_;
    std::unique_ptr<stats::AlarmWatch> alarmWatch_;
    // Created in this order; destroyed in reverse, so the main window's port closes last.
    std::unique_ptr<TForm6> login_;
    std::unique_ptr<TForm1> main_;
    std::unique_ptr<TForm2> directLimits_;
    std::unique_ptr<TForm3> percentLimits_;
    std::unique_ptr<TForm4> searchResults_;
    std::unique_ptr<TForm5> nominal_;
    std::unique_ptr<stats::StatisticsWindow> statistics_;
};
