#pragma once
// The plots of the statistics window, drawn with QPainter from aggregates only: a
// histogram with the limits and the mean, an individuals chart of the last readings and
// under it their moving-range chart, both with the centre and control lines and the
// points of each fired rule marked.

#include "control_chart.h"
#include "figure_lines.h"

#include <QWidget>

namespace stats {

class PlotWidget : public QWidget {
    Q_OBJECT
public:
    explicit PlotWidget(QWidget* parent = nullptr);

    // The control limits (none: not yet decided) and rules for the next Show.
    void UseControl(const std::optional<ControlLimits>& control, RuleChoice rules);
    // Takes what the plots show (bins, the trend, mean and σ̂); the figures may change after.
    void Show(const LotFigures& figures, const Limits& limits, Mode mode);
    // Both plots in one picture of this size.
    QImage Picture(const QSize& size) const;

    // What the trend marks: points beyond the control limits, and the rules' firings.
    int PointsOutsideControl() const;
    const std::vector<Firing>& Firings() const { return firings_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void Draw(QPainter& painter, const QRect& area) const;
    void DrawHistogram(QPainter& painter, const QRect& area) const;
    void DrawTrend(QPainter& painter, const QRect& area) const;
    void DrawRanges(QPainter& painter, const QRect& area) const;
    bool Marked(size_t index) const;

    Mode mode_ = Mode::Resistance;
    Limits limits_;
    BinLayout layout_;
    std::vector<qint64> counts_;
    qint64 under_ = 0, over_ = 0;
    std::optional<double> mean_;
    double sigma_ = 0;
    std::vector<Reading> trend_;
    std::optional<ControlLimits> control_;
    RuleChoice rules_ = RuleChoice::Default();
    std::vector<Firing> firings_;  // numbered by the trend's index
};

}  // namespace stats
