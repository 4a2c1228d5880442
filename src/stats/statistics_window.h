#pragma once
// "统计": the figures and plots of a scope, following the table while open. The scope is
// the date picked on the main window, the whole table, or the open search result, in
// one display mode; the limits come prefilled and can be edited here.

#include "control_lines.h"
#include "control_settings.h"
#include "live_figures.h"

#include <QDate>
#include <QMap>
#include <QWidget>
#include <memory>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QGridLayout;
class QTimer;

namespace ui {
class FileDialogs;
class MessageBoxes;
}  // namespace ui

namespace stats {

class PlotWidget;

enum class ScopeKind { Date, Whole, Search };

// What the opener knows when the window opens.
struct StatisticsChoices {
    QDate date;
    bool searchOpen = false;
    std::optional<records::RecordFilter> searchFilter;  // none: the search lists every record
    Mode mode = Mode::Resistance;
    Limits resistanceLimits;  // ohms
    Limits percentLimits;     // percent
};

class StatisticsWindow : public QWidget {
    Q_OBJECT
public:
    StatisticsWindow(records::RecordStore& store, ui::MessageBoxes& boxes, ui::FileDialogs& dialogs);
    ~StatisticsWindow() override;
    // The program's control-chart choices and its alarm log, instead of the window's own
    // choices and no alarms.
    void UseControl(ControlSettings& control, records::AlarmLog* alarms);

    // Shows the window on this scope, counted afresh.
    void Open(const StatisticsChoices& choices, ScopeKind kind);
    // A search was run or closed: 检索结果 is offered only while one is open, and a window
    // on it counts the new result.
    void SearchChanged(bool open, const std::optional<records::RecordFilter>& filter);
    // The lines of "复制"; empty while closed.
    QStringList Lines() const;
    const LiveFigures* Live() const { return live_.get(); }

    QComboBox* ScopeBox;
    QComboBox* ModeBox;
    QLineEdit* LowerEdit;
    QLineEdit* UpperEdit;
    QPushButton* CopyButton;
    QPushButton* SaveButton;
    PlotWidget* Plot;
    // "固定控制限" freezes the scope's centre line and σ̂ for its display mode; "解除"
    // returns to the scope's own.
    QPushButton* FreezeButton;
    QPushButton* ReleaseButton;
    std::array<QCheckBox*, kRuleCount> RuleBoxes;
    QListWidget* AlarmList;  // "报警": the scope's alarms

    void CopyClick();
    void SaveClick();
    void FreezeClick();
    void ReleaseClick();
    // The shown text of a figure by its label ("记录数", "Cpk", …).
    QString Shown(const QString& label) const;

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildControls();
    Scope CurrentScope() const;
    Limits& ModeLimits();
    void Follow();
    void LimitsEdited();
    void ShowLimits();
    void ShowLimitsNote();
    void OfferSearch(bool open);
    void Refresh();
    void BuildControlChart(QGridLayout* grid, int& row);
    void RefreshControl(const LotFigures& figures, Mode mode);
    ControlFigures CurrentControl() const;
    QList<records::Alarm> ScopeAlarms() const;
    void ShowAlarms(const QList<records::Alarm>& alarms);

    records::RecordStore& store_;
    ui::MessageBoxes& boxes_;
    ui::FileDialogs& dialogs_;
    StatisticsChoices choices_;
    std::unique_ptr<LiveFigures> live_;
    QMap<QString, QLabel*> values_;
    QLabel* scopeLabel_;
    QLabel* limitsNote_;
    QTimer* refresh_;
    std::unique_ptr<ControlSettings> ownControl_;
    ControlSettings* control_;
    records::AlarmLog* alarms_ = nullptr;
    struct AlarmsRead {
        std::optional<QString> date;
        QString symbol;
        QList<records::Alarm> alarms;
    };
    mutable quint64 alarmsGeneration_ = 0;  // counts the reads into alarmsRead_
    struct AlarmsShown {                    // what AlarmList shows
        quint64 generation = ~quint64(0);
        unsigned rules = 0;
        qsizetype count = 0;
    } alarmsShown_;
    mutable std::optional<AlarmsRead> alarmsRead_;
    bool opening_ = false;
    bool searchPending_ = false;
};

}  // namespace stats
