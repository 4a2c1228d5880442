#include "statistics_window.h"

#include "file_dialogs.h"
#include "message_boxes.h"
#include "platform_error.h"
#include "plot_widget.h"
#include "reading_value.h"
#include "record_filter.h"
#include "widget_factory.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QShortcut>
#include <QTimer>

namespace stats {

namespace {

// Below this many readings Cp and Cpk say little: they are greyed.
constexpr qint64 kCapabilityReadings = 30;
// A few times a second is live to the eye; each refresh redraws the labels and both plots.
constexpr int kRefreshMs = 300;

const QStringList kLabels{"记录数", "HIGH",   "PASS", "LOW", "其他", "合格率", "无数值", "最小值", "最大值",
                          "平均值", "标准差", "Cp",   "Cpk", "Pp",   "Ppk",    "控制限", "A²",     "受控"};

// A limit as typed: a number with a unit ("97mΩ", "2%") or a bare number (ohms or
// percent); empty is no limit. False for anything else.
bool ReadLimit(const QString& typed, std::optional<double>& limit)
{
    const QString text = typed.trimmed();
    limit.reset();
    if (text.isEmpty()) return true;
    if (const std::optional<double> value = records::ReadingValue(text)) {
        limit = value;
        return true;
    }
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (ok && std::isfinite(value)) limit = value;
    return limit.has_value();
}

QString CountWithShare(qint64 count, qint64 total)
{
    return total > 0 ? QStringLiteral("%1  (%2%)").arg(count).arg(Share(count, total)) : QString::number(count);
}

}  // namespace

StatisticsWindow::StatisticsWindow(records::RecordStore& store, ui::MessageBoxes& boxes, ui::FileDialogs& dialogs)
    : store_(store),
      boxes_(boxes),
      dialogs_(dialogs),
      ownControl_(std::make_unique<ControlSettings>()),
      control_(ownControl_.get())
{
    setWindowTitle(QStringLiteral("统计"));
    setWindowFlags(Qt::Window);
    refresh_ = new QTimer(this);
    refresh_->setSingleShot(true);
    refresh_->setInterval(kRefreshMs);
    connect(refresh_, &QTimer::timeout, this, &StatisticsWindow::Refresh);
    BuildControls();
}

StatisticsWindow::~StatisticsWindow() { ui::DisconnectControls(*this); }

void StatisticsWindow::BuildControls()
{
    auto* grid = new QGridLayout;
    ScopeBox = new QComboBox;
    ScopeBox->addItems({QStringLiteral("日期"), QStringLiteral("全部"), QStringLiteral("检索结果")});
    ModeBox = new QComboBox;
    ModeBox->addItems({QStringLiteral("R"), QStringLiteral("%")});
    scopeLabel_ = new QLabel;
    grid->addWidget(new QLabel(QStringLiteral("范围")), 0, 0);
    grid->addWidget(ScopeBox, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("显示")), 1, 0);
    grid->addWidget(ModeBox, 1, 1);
    grid->addWidget(scopeLabel_, 2, 0, 1, 2);
    int row = 3;
    for (const QString& label : kLabels) {
        if (label == u"Cp") {
            LowerEdit = new QLineEdit;
            UpperEdit = new QLineEdit;
            grid->addWidget(new QLabel(QStringLiteral("下限")), row, 0);
            grid->addWidget(LowerEdit, row++, 1);
            grid->addWidget(new QLabel(QStringLiteral("上限")), row, 0);
            grid->addWidget(UpperEdit, row++, 1);
            limitsNote_ = new QLabel;
            limitsNote_->setObjectName(QStringLiteral("limitsNote"));
            limitsNote_->setStyleSheet(QStringLiteral("color: #c00000"));
            grid->addWidget(limitsNote_, row++, 0, 1, 2);
        }
        auto* value = new QLabel;
        value->setTextInteractionFlags(Qt::TextSelectableByMouse);
        grid->addWidget(new QLabel(label), row, 0);
        grid->addWidget(value, row++, 1);
        values_.insert(label, value);
    }
    CopyButton = new QPushButton(QStringLiteral("复制"));
    SaveButton = new QPushButton(QStringLiteral("保存图片"));
    grid->addWidget(CopyButton, row, 0);
    grid->addWidget(SaveButton, row++, 1);
    BuildControlChart(grid, row);
    grid->setRowStretch(row, 1);
    Plot = new PlotWidget;
    auto* layout = new QHBoxLayout(this);
    layout->addLayout(grid);
    layout->addWidget(Plot, 1);
    resize(1000, 780);

    connect(ScopeBox, &QComboBox::currentIndexChanged, this, &StatisticsWindow::Follow);
    connect(ModeBox, &QComboBox::currentIndexChanged, this, [this] {
        ShowLimits();
        Follow();
    });
    for (QLineEdit* edit : {LowerEdit, UpperEdit}) {
        connect(edit, &QLineEdit::editingFinished, this, &StatisticsWindow::LimitsEdited);
        edit->installEventFilter(this);
    }
    connect(CopyButton, &QPushButton::clicked, this, &StatisticsWindow::CopyClick);
    connect(SaveButton, &QPushButton::clicked, this, &StatisticsWindow::SaveClick);
    connect(new QShortcut(QKeySequence::Copy, this), &QShortcut::activated, this, &StatisticsWindow::CopyClick);
    connect(new QShortcut(QKeySequence::Save, this), &QShortcut::activated, this, &StatisticsWindow::SaveClick);
    connect(new QShortcut(Qt::Key_Escape, this), &QShortcut::activated, this, &QWidget::close);
}

void StatisticsWindow::Open(const StatisticsChoices& choices, ScopeKind kind)
{
    choices_ = choices;
    opening_ = true;
    ScopeBox->setItemText(0, QStringLiteral("日期 ") + records::DateText(choices.date));
    OfferSearch(choices.searchOpen);
    ScopeBox->setCurrentIndex(kind == ScopeKind::Search && !choices.searchOpen ? 0 : int(kind));
    ModeBox->setCurrentIndex(choices.mode == Mode::Percent ? 1 : 0);
    opening_ = false;
    ShowLimits();
    show();
    raise();
    activateWindow();
    Follow();
}

void StatisticsWindow::SearchChanged(bool open, const std::optional<records::RecordFilter>& filter)
{
    choices_.searchOpen = open;
    choices_.searchFilter = filter;
    // A search runs as a close and an open in one step: act once, on where it ends.
    if (std::exchange(searchPending_, true)) return;
    QTimer::singleShot(0, this, [this] {
        searchPending_ = false;
        const bool onSearch = ScopeBox->currentIndex() == int(ScopeKind::Search);
        OfferSearch(choices_.searchOpen);  // leaving 检索结果 follows the date by itself
        if (onSearch && choices_.searchOpen) Follow();
    });
}

// The third scope is there only while a search result is open.
void StatisticsWindow::OfferSearch(bool open)
{
    const int search = int(ScopeKind::Search);
    if (open && ScopeBox->count() == search) ScopeBox->addItem(QStringLiteral("检索结果"));
    if (!open && ScopeBox->count() > search) {
        if (ScopeBox->currentIndex() == search) ScopeBox->setCurrentIndex(int(ScopeKind::Date));
        ScopeBox->removeItem(search);
    }
}

Scope StatisticsWindow::CurrentScope() const
{
    Scope scope{std::nullopt, ModeBox->currentIndex() == 1 ? Mode::Percent : Mode::Resistance};
    switch (ScopeKind(ScopeBox->currentIndex())) {
    case ScopeKind::Date: scope.filter = records::RecordFilter{records::DateText(choices_.date), {}, {}}; break;
    case ScopeKind::Whole: break;
    case ScopeKind::Search: scope.filter = choices_.searchFilter; break;
    }
    return scope;
}

Limits& StatisticsWindow::ModeLimits()
{
    return ModeBox->currentIndex() == 1 ? choices_.percentLimits : choices_.resistanceLimits;
}

// Counts the chosen scope afresh and follows it from now on.
void StatisticsWindow::Follow()
{
    if (opening_ || !isVisible()) return;
    ui::RunHandler(boxes_, this, [this] {
        live_.reset();
        const Scope scope = CurrentScope();
        setWindowTitle(QStringLiteral("统计 — ") + ScopeWords(scope));
        scopeLabel_->setText(ScopeWords(scope));
        live_ = std::make_unique<LiveFigures>(store_, scope, ModeLimits());
        connect(live_.get(), &LiveFigures::Changed, this, [this] {
            if (!refresh_->isActive()) refresh_->start();
        });
        Refresh();
    });
}

void StatisticsWindow::ShowLimits()
{
    const Mode mode = ModeBox->currentIndex() == 1 ? Mode::Percent : Mode::Resistance;
    const Limits& limits = ModeLimits();
    LowerEdit->setText(limits.lower ? ReadableValue(*limits.lower, mode) : QString());
    UpperEdit->setText(limits.upper ? ReadableValue(*limits.upper, mode) : QString());
    for (QLineEdit* edit : {LowerEdit, UpperEdit}) edit->setStyleSheet(QString());
    ShowLimitsNote();
}

// Limits out of order give no indices ("—"); the note beside them says why.
void StatisticsWindow::ShowLimitsNote()
{
    limitsNote_->setText(LimitsUsable(ModeLimits()) ? QString() : QStringLiteral("下限须小于上限，不计算能力指数"));
}

void StatisticsWindow::LimitsEdited()
{
    Limits limits;
    const bool lowerOk = ReadLimit(LowerEdit->text(), limits.lower);
    const bool upperOk = ReadLimit(UpperEdit->text(), limits.upper);
    LowerEdit->setStyleSheet(lowerOk ? QString() : QStringLiteral("background: #ffd0d0"));
    UpperEdit->setStyleSheet(upperOk ? QString() : QStringLiteral("background: #ffd0d0"));
    Limits& kept = ModeLimits();
    if (kept.lower == limits.lower && kept.upper == limits.upper) return;
    kept = limits;
    ShowLimitsNote();
    if (!live_) return;
    ui::RunHandler(boxes_, this, [&] { live_->SetLimits(limits); });
}

void StatisticsWindow::Refresh()
{
    if (!live_) return;
    const LotFigures& figures = live_->Figures();
    const Mode mode = live_->CurrentScope().mode;
    const qint64 total = figures.Records();
    auto set = [this](const char* label, const QString& text) { values_[QString::fromUtf8(label)]->setText(text); };
    set("记录数", QString::number(total));
    set("HIGH", CountWithShare(figures.Count(SortClass::High), total));
    set("PASS", CountWithShare(figures.Count(SortClass::Pass), total));
    set("LOW", CountWithShare(figures.Count(SortClass::Low), total));
    set("其他", CountWithShare(figures.Count(SortClass::Other), total));
    set("合格率", total > 0 ? Share(figures.Count(SortClass::Pass), total) + u'%' : kNone);
    set("无数值", QString::number(figures.WithoutValue()));
    const RunningMoments& moments = figures.Moments();
    auto readable = [&](const std::optional<double>& v) { return v ? ReadableValue(*v, mode) : kNone; };
    set("最小值", readable(figures.Min()));
    set("最大值", readable(figures.Max()));
    set("平均值", readable(moments.Count() > 0 ? std::optional(moments.Mean()) : std::nullopt));
    set("标准差", readable(moments.Count() > 1 ? std::optional(moments.SampleDeviation()) : std::nullopt));
    const Capability capability = figures.CapabilityAgainst(live_->CurrentLimits());
    set("Cp", Index(capability.cp));
    set("Cpk", Index(capability.cpk));
    set("Pp", Index(capability.pp));
    set("Ppk", Index(capability.ppk));
    const bool few = moments.Count() < kCapabilityReadings;
    for (const char* label : {"Cp", "Cpk"}) values_[QString::fromUtf8(label)]->setEnabled(!few);
    RefreshControl(figures, mode);
}

QString StatisticsWindow::Shown(const QString& label) const
{
    const QLabel* value = values_.value(label);
    return value ? value->text() : QString();
}

QStringList StatisticsWindow::Lines() const
{
    if (!live_) return {};
    return FigureLines(ScopeWords(live_->CurrentScope()), live_->Figures(), live_->CurrentLimits()) +
           ControlLines(CurrentControl());
}

void StatisticsWindow::CopyClick()
{
    if (!live_) return;
    QApplication::clipboard()->setText(Lines().join(u'\n') + u'\n');
}

void StatisticsWindow::SaveClick()
{
    ui::RunHandler(boxes_, this, [this] {
        const std::optional<QString> chosen =
            dialogs_.SaveFileName(this, QStringLiteral("保存图片"), QStringLiteral("*.png"),
                                  QStringLiteral("统计-") + QDate::currentDate().toString(QStringLiteral("yyyyMMdd")));
        if (!chosen || chosen->isEmpty()) return;
        const QString fileName = QFileInfo(*chosen).suffix().isEmpty() ? *chosen + QStringLiteral(".png") : *chosen;
        if (QFileInfo::exists(fileName) &&
            boxes_.AskYesNoCancel(this, QStringLiteral("文件名已存在,覆盖吗?")) != ui::Answer::Yes)
            return;
        // Written beside the target and put in its place only when whole.
        QSaveFile file(fileName);
        if (!file.open(QIODevice::WriteOnly) || !Plot->Picture(QSize(900, 760)).save(&file, "PNG") || !file.commit())
            throw PlatformError(QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(fileName), file.errorString()));
    });
}

void StatisticsWindow::closeEvent(QCloseEvent* event)
{
    // Closed, the window costs the table nothing.
    refresh_->stop();
    live_.reset();
    QWidget::closeEvent(event);
}

// Ctrl+C in a limit box copies the box's selection, and the figures when nothing is selected.
bool StatisticsWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::ShortcutOverride) {
        auto* edit = qobject_cast<QLineEdit*>(watched);
        if (edit && static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy) && !edit->hasSelectedText())
            return true;
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace stats
