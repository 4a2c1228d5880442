#include "window_set.h"

#include "alarm_log.h"
#include "alarm_watch.h"
#include "control_settings.h"
#include "day_sums.h"
#include "direct_limits_window.h"
#include "file_dialogs.h"
#include "limit_log.h"
#include "log_categories.h"
#include "login_window.h"
#include "main_window.h"
#include "nominal_value_window.h"
#include "percent_limits_window.h"
#include "platform_error.h"
#include "record_filter.h"
#include "record_query.h"
#include "search_results_window.h"
#include "statistics_window.h"
#include "summary_lines.h"
#include "value_entry.h"

#include <QDateEdit>
#include <QLabel>

WindowSet::WindowSet(ui::MessageBoxes& boxes, ui::FileDialogs* dialogs)
    : boxes_(boxes),
      ownDialogs_(dialogs ? nullptr : std::make_unique<ui::QtFileDialogs>()),
      dialogs_(dialogs ? dialogs : ownDialogs_.get()),
      store_(std::make_unique<records::RecordStore>(records::DatabasePath())),
      recorder_(*store_),
      watch_(*store_, recorder_)
{
    // Only speed depends on the sums: a file that cannot take them now is counted the long way.
    try {
        records::EnsureDaySums(*store_);
    } catch (const PlatformError& error) {
        qCWarning(lcRecords).noquote() << "per-day sums not made:" << error.Text();
    }
    control_ = std::make_unique<stats::ControlSettings>();
    alarms_ = std::make_unique<records::AlarmLog>(*store_);
    alarmWatch_ = std::make_unique<stats::AlarmWatch>(*store_, *alarms_, *control_);
    login_ = std::make_unique<TForm6>(*this);
    main_ = std::make_unique<TForm1>(*this);
    directLimits_ = std::make_unique<TForm2>(*main_->Com, buffer_, boxes_);
    percentLimits_ = std::make_unique<TForm3>(*main_->Com, buffer_, boxes_);
    searchResults_ = std::make_unique<TForm4>(*this);
    nominal_ = std::make_unique<TForm5>(*main_->Com, buffer_, boxes_);
    statistics_ = std::make_unique<stats::StatisticsWindow>(*store_, boxes_, *dialogs_);
    // A new search (or none) changes what 检索结果 counts, also while 统计 is open.
    QObject::connect(searchResults_->Query1, &records::Dataset::DatasetReset, statistics_.get(), [this] {
        const SearchNow search = OpenSearch(*searchResults_->Query1);
        statistics_->SearchChanged(search.open, search.filter);
    });
    statistics_->UseControl(*control_, alarms_.get());
}

WindowSet::~WindowSet()
{
    statistics_.reset();
    nominal_.reset();
    searchResults_.reset();
    percentLimits_.reset();
    directLimits_.reset();
    main_.reset();
    login_.reset();
    alarmWatch_.reset();
}

namespace {
stats::Limits LimitsOf(const settings::LimitValues& values) { return {values.lower, values.upper}; }
}  // namespace

// The results window's query is open from the start on every record; a search result is
// there once the operator has run one of the searches, each of which has a condition.
WindowSet::SearchNow WindowSet::OpenSearch(records::RecordQuery& query)
{
    if (!query.Active()) return {};
    std::optional<records::RecordFilter> filter = records::StatementFilter(query.SQL().join(u'\n'), query.Params());
    return {filter.has_value(), filter};
}

void WindowSet::OpenStatistics(bool onSearchResult)
{
    stats::StatisticsChoices choices;
    choices.date = main_->DateTimePicker1->date();
    choices.mode = stats::ModeOf(main_->Label2->text()).value_or(stats::Mode::Resistance);
    choices.resistanceLimits = LimitsOf(settings::DirectLimitValues(*directLimits_));
    choices.percentLimits = LimitsOf(settings::PercentLimitValues(*percentLimits_));
    const SearchNow search = OpenSearch(*searchResults_->Query1);
    choices.searchOpen = search.open;
    choices.searchFilter = search.filter;
    statistics_->Open(choices, onSearchResult ? stats::ScopeKind::Search : stats::ScopeKind::Date);
}

void WindowSet::NoteReportedLimits()
{
    const settings::ResistanceEntry entry = nominal_->Nominal();
    const std::optional<double> number = settings::ReadNumber(entry.text.trimmed());
    const std::optional<double> perUnit = settings::OhmsPerUnit(entry.unitIndex);
    const std::optional<double> nominal = number && perUnit ? std::optional(*number * *perUnit) : std::nullopt;
    const settings::LimitValues direct = settings::DirectLimitValues(*directLimits_);
    const settings::LimitValues percent = settings::PercentLimitValues(*percentLimits_);
    records::NoteLimits(*store_,
                        {{QStringLiteral("R"), direct.lower, direct.upper, nominal},
                         {QStringLiteral("%"), percent.lower, percent.upper, nominal}},
                        QDateTime::currentDateTime());
}

void WindowSet::ShowOnlySettingWindow(const QWidget& chosen)
{
    for (QWidget* window : std::initializer_list<QWidget*>{directLimits_.get(), percentLimits_.get(), nominal_.get()})
        window->setVisible(window == &chosen);
}
