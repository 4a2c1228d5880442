#include "window_set.h"

#include "direct_limits_window.h"
#include "file_dialogs.h"
#include "limit_log.h"
#include "login_window.h"
#include "main_window.h"
#include "nominal_value_window.h"
#include "percent_limits_window.h"
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
    login_ = std::make_unique<TForm6>(*this);
    main_ = std::make_unique<TForm1>(*this);
    directLimits_ = std::make_unique<TForm2>(*main_->Com, buffer_, boxes_);
    percentLimits_ = std::make_unique<TForm3>(*main_->Com, buffer_, boxes_);
    searchResults_ = std::make_unique<TForm4>(*this);
    nominal_ = std::make_unique<TForm5>(*main_->Com, buffer_, boxes_);
    statistics_ = std::make_unique<stats::StatisticsWindow>(*store_, boxes_, *dialogs_);
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
}

namespace {
stats::Limits LimitsOf(const settings::LimitValues& values) { return {values.lower, values.upper}; }
}  // namespace

void WindowSet::OpenStatistics(bool onSearchResult)
{
    stats::StatisticsChoices choices;
    choices.date = main_->DateTimePicker1->date();
    choices.mode = stats::ModeOf(main_->Label2->text()).value_or(stats::Mode::Resistance);
    choices.resistanceLimits = LimitsOf(settings::DirectLimitValues(*directLimits_));
    choices.percentLimits = LimitsOf(settings::PercentLimitValues(*percentLimits_));
    records::RecordQuery& query = *searchResults_->Query1;
    if (query.Active()) {
        choices.searchOpen = true;
        choices.searchFilter = records::StatementFilter(query.SQL().join(u'\n'), query.Params());
    }
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
    records::NoteLimits(store_->Path(),
                        {{QStringLiteral("R"), direct.lower, direct.upper, nominal},
                         {QStringLiteral("%"), percent.lower, percent.upper, nominal}},
                        QDateTime::currentDateTime());
}

void WindowSet::ShowOnlySettingWindow(const QWidget& chosen)
{
    for (QWidget* window : std::initializer_list<QWidget*>{directLimits_.get(), percentLimits_.get(), nominal_.get()})
        window->setVisible(window == &chosen);
}
