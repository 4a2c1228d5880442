#pragma once
// The two plots of the statistics window, drawn with QPainter from aggregates only: a
// histogram with the limits and the mean, and an individuals chart of the last readings
// with its centre line and control limits x̄ ± 3σ̂.

#include "figure_lines.h"

#include <QWidget>

namespace stats {

class PlotWidget : public QWidget {
    Q_OBJECT
public:
    explicit PlotWidget(QWidget* parent = nullptr);

    // Takes what the plots show (bins, the trend, mean and σ̂); the figures may change after.
    void Show(const LotFigures& figures, const Limits& limits, Mode mode);
    // Both plots in one picture of this size.
    QImage Picture(const QSize& size) const;

    // What the trend marks: points beyond the control limits.
    int PointsOutsideControl() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void Draw(QPainter& painter, const QRect& area) const;
    void DrawHistogram(QPainter& painter, const QRect& area) const;
    void DrawTrend(QPainter& painter, const QRect& area) const;

    Mode mode_ = Mode::Resistance;
    Limits limits_;
    BinLayout layout_;
    std::vector<qint64> counts_;
    qint64 under_ = 0, over_ = 0;
    std::optional<double> mean_;
    double sigma_ = 0;
    std::vector<Reading> trend_;
};

}  // namespace stats
