// The process alarm at the bench: a band across the lamps' strip, below the lamps and
// above the grid, so it moves no control. No box: readings keep coming while it shows.

#include "alarm_log.h"
#include "alarm_watch.h"
#include "look.h"
#include "main_window.h"
#include "widget_factory.h"
#include "window_set.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {
const QColor kAmber{0xFF, 0xBF, 0x00};
}  // namespace

void TForm1::FollowAlarms(QWidget* client)
{
    AlarmBand = ui::MakeLabel(client, QString(), 8, 166, 888, 28, ui::PixelFont(QStringLiteral("宋体"), 16));
    AlarmBand->setObjectName(QStringLiteral("alarmBand"));
    AlarmBand->setStyleSheet(QStringLiteral("background: #ffbf00; color: black; font-weight: bold; padding-left: 6px"));
    ui::SetBackground(AlarmBand, kAmber);
    AlarmButton = ui::MakeButton(client, QStringLiteral("确认"), 904, 167, 90, 26);
    AlarmButton->setToolTip(QStringLiteral("确认报警 (F8)"));
    AlarmBand->hide();
    AlarmButton->hide();
    auto* acknowledge = new QAction(this);
    acknowledge->setShortcut(Qt::Key_F8);
    acknowledge->setShortcutContext(Qt::WindowShortcut);
    addAction(acknowledge);
    connect(acknowledge, &QAction::triggered, this, &TForm1::AlarmButtonClick);
    connect(AlarmButton, &QPushButton::clicked, this, &TForm1::AlarmButtonClick);
    connect(&windows_.AlarmWatcher(), &stats::AlarmWatch::Raised, this,
            [this](const records::Alarm&, const QString& text) { ShowAlarm(text); });
}

void TForm1::ShowAlarm(const QString& text)
{
    if (alarms_++ == 0) alarmText_ = text;
    AlarmBand->setText(alarms_ > 1 ? alarmText_ + QStringLiteral("　（另有 %1 条报警）").arg(alarms_ - 1) : alarmText_);
    AlarmBand->show();
    AlarmButton->show();
    AlarmBand->raise();
    AlarmButton->raise();
}

void TForm1::AlarmButtonClick()
{
    if (alarms_ == 0) return;
    windows_.Alarms().AcknowledgeAll(Edit3->text(), QDateTime::currentDateTime());
    alarms_ = 0;
    alarmText_.clear();
    AlarmBand->hide();
    AlarmButton->hide();
}
