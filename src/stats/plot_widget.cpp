#include "plot_widget.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>
#include <functional>

namespace stats {

namespace {

const QColor kBar{0x4A, 0x7E, 0xBB};
const QColor kLimit{0xD0, 0x20, 0x20};
const QColor kMean{0x20, 0x90, 0x30};
const QColor kPoint{0x20, 0x40, 0x90};
const QColor kMarked{0xE0, 0x80, 0x00};
constexpr int kLeft = 84, kRight = 16, kTop = 24, kBottom = 40;

// Maps values onto pixels along one axis.
struct Axis {
    double from, to;
    int start, end;
    double Pixel(double v) const { return to > from ? start + (v - from) / (to - from) * (end - start) : start; }
};

QString Tick(double value, const UnitScale& scale) { return QString::number(value / scale.factor, 'g', 6); }

void DrawFrame(QPainter& painter, const QRect& plot, const QString& title, const QString& xLabel, const QString& yLabel)
{
    painter.setPen(Qt::black);
    painter.drawRect(plot);
    painter.drawText(QRect(plot.left(), plot.top() - kTop, plot.width(), kTop), Qt::AlignCenter, title);
    painter.drawText(QRect(plot.left(), plot.bottom() + 20, plot.width(), 20), Qt::AlignCenter, xLabel);
    painter.save();
    painter.translate(plot.left() - 74, plot.center().y());
    painter.rotate(-90);
    painter.drawText(QRect(-plot.height() / 2, -10, plot.height(), 20), Qt::AlignCenter, yLabel);
    painter.restore();
}

void DrawXTicks(QPainter& painter, const QRect& plot, const Axis& x, const UnitScale& scale)
{
    for (int i = 0; i <= 4; ++i) {
        const double v = x.from + (x.to - x.from) * i / 4;
        const int px = int(x.Pixel(v));
        painter.drawLine(px, plot.bottom(), px, plot.bottom() + 4);
        painter.drawText(QRect(px - 50, plot.bottom() + 4, 100, 16), Qt::AlignCenter, Tick(v, scale));
    }
}

// Ticks at `step` apart from the axis' start (a quarter of the axis by default).
void DrawYTicks(QPainter& painter, const QRect& plot, const Axis& y, const std::function<QString(double)>& text,
                double step = 0)
{
    if (!(step > 0)) step = (y.to - y.from) / 4;
    for (double v = y.from; v <= y.to + step * 1e-6; v += step) {
        const int py = int(y.Pixel(v));
        painter.drawLine(plot.left() - 4, py, plot.left(), py);
        painter.drawText(QRect(plot.left() - 66, py - 8, 60, 16), Qt::AlignRight | Qt::AlignVCenter, text(v));
    }
}

void VerticalLine(QPainter& painter, const QRect& plot, double px, const QColor& colour, const QString& label)
{
    if (px < plot.left() || px > plot.right()) return;
    painter.setPen(QPen(colour, 1.5, Qt::DashLine));
    painter.drawLine(QPointF(px, plot.top()), QPointF(px, plot.bottom()));
    painter.drawText(QPointF(px + 3, plot.top() + 12), label);
}

void HorizontalLine(QPainter& painter, const QRect& plot, double py, const QColor& colour, Qt::PenStyle style,
                    const QString& label)
{
    if (py < plot.top() || py > plot.bottom()) return;
    painter.setPen(QPen(colour, 1.5, style));
    painter.drawLine(QPointF(plot.left(), py), QPointF(plot.right(), py));
    painter.drawText(QPointF(plot.right() - 40, py - 3), label);
}

}  // namespace

PlotWidget::PlotWidget(QWidget* parent) : QWidget(parent)
{
    setMinimumSize(480, 440);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PlotWidget::Show(const LotFigures& figures, const Limits& limits, Mode mode)
{
    mode_ = mode;
    limits_ = limits;
    layout_ = figures.Bins().Layout();
    counts_ = figures.Bins().Counts();
    under_ = figures.Bins().Under();
    over_ = figures.Bins().Over();
    mean_ = figures.Moments().Count() > 0 ? std::optional(figures.Moments().Mean()) : std::nullopt;
    sigma_ = figures.Ranges().WithinSigma();
    trend_.assign(figures.Trend().begin(), figures.Trend().end());
    update();
}

int PlotWidget::PointsOutsideControl() const
{
    if (!mean_ || !(sigma_ > 0)) return 0;
    return int(std::count_if(trend_.begin(), trend_.end(),
                             [&](const Reading& r) { return std::abs(*r.value - *mean_) > 3 * sigma_; }));
}

QImage PlotWidget::Picture(const QSize& size) const
{
    QImage image(size, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.setFont(font());
    Draw(painter, image.rect());
    return image;
}

void PlotWidget::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    Draw(painter, rect());
}

void PlotWidget::Draw(QPainter& painter, const QRect& area) const
{
    painter.fillRect(area, Qt::white);
    painter.setRenderHint(QPainter::Antialiasing);
    const int half = area.height() / 2;
    DrawHistogram(painter, QRect(area.left(), area.top(), area.width(), half));
    DrawTrend(painter, QRect(area.left(), area.top() + half, area.width(), area.height() - half));
}

void PlotWidget::DrawHistogram(QPainter& painter, const QRect& area) const
{
    const QRect plot = area.adjusted(kLeft, kTop, -kRight, -kBottom);
    const UnitScale scale =
        ScaleFor(layout_.Valid() ? std::max(std::abs(layout_.low), std::abs(layout_.High())) : 0, mode_);
    DrawFrame(painter, plot, QStringLiteral("直方图  (低于 %1, 高于 %2)").arg(under_).arg(over_),
              QStringLiteral("测试数据 (%1)").arg(scale.unit), QStringLiteral("记录数"));
    if (!layout_.Valid()) return;
    // Whole counts on the axis, at most about five ticks.
    const qint64 step = std::max<qint64>(1, (*std::max_element(counts_.begin(), counts_.end()) + 3) / 4);
    const qint64 most = step * 4;
    const Axis x{layout_.low, layout_.High(), plot.left(), plot.right()};
    const Axis y{0, double(most), plot.bottom(), plot.top()};
    painter.setPen(QPen(Qt::white, 1));
    painter.setBrush(kBar);
    for (int i = 0; i < layout_.bins; ++i) {
        const double left = x.Pixel(layout_.low + layout_.width * i);
        const double right = x.Pixel(layout_.low + layout_.width * (i + 1));
        const double top = y.Pixel(double(counts_[size_t(i)]));
        painter.drawRect(QRectF(left, top, right - left, plot.bottom() - top));
    }
    painter.setBrush(Qt::NoBrush);
    painter.setPen(Qt::black);
    DrawXTicks(painter, plot, x, scale);
    DrawYTicks(
        painter, plot, y, [](double v) { return QString::number(qint64(std::llround(v))); }, double(step));
    if (limits_.lower) VerticalLine(painter, plot, x.Pixel(*limits_.lower), kLimit, QStringLiteral("下限"));
    if (limits_.upper) VerticalLine(painter, plot, x.Pixel(*limits_.upper), kLimit, QStringLiteral("上限"));
    if (mean_) VerticalLine(painter, plot, x.Pixel(*mean_), kMean, QStringLiteral("x̄"));
}

void PlotWidget::DrawTrend(QPainter& painter, const QRect& area) const
{
    const QRect plot = area.adjusted(kLeft, kTop, -kRight, -kBottom);
    double low = 0, high = 0;
    if (!trend_.empty()) {
        const auto [least, most] = std::minmax_element(
            trend_.begin(), trend_.end(), [](const Reading& a, const Reading& b) { return *a.value < *b.value; });
        low = *least->value;
        high = *most->value;
    }
    if (mean_ && sigma_ > 0) {
        low = std::min(low, *mean_ - 3.5 * sigma_);
        high = std::max(high, *mean_ + 3.5 * sigma_);
    }
    if (!(high > low)) {
        const double pad = low != 0 ? std::abs(low) * 1e-3 : 1e-3;
        low -= pad, high += pad;
    }
    const UnitScale scale = ScaleFor(std::max(std::abs(low), std::abs(high)), mode_);
    DrawFrame(painter, plot, QStringLiteral("趋势 (单值图)"), QStringLiteral("最近 %1 个读数").arg(trend_.size()),
              QStringLiteral("测试数据 (%1)").arg(scale.unit));
    if (trend_.empty()) return;
    const Axis x{0, double(std::max<size_t>(trend_.size() - 1, 1)), plot.left() + 4, plot.right() - 4};
    const Axis y{low, high, plot.bottom(), plot.top()};
    DrawYTicks(painter, plot, y, [&](double v) { return Tick(v, scale); });
    if (mean_) {
        HorizontalLine(painter, plot, y.Pixel(*mean_), kMean, Qt::SolidLine, QStringLiteral("x̄"));
        if (sigma_ > 0) {
            HorizontalLine(painter, plot, y.Pixel(*mean_ + 3 * sigma_), kLimit, Qt::DashLine, QStringLiteral("UCL"));
            HorizontalLine(painter, plot, y.Pixel(*mean_ - 3 * sigma_), kLimit, Qt::DashLine, QStringLiteral("LCL"));
        }
    }
    QPainterPath line;
    for (size_t i = 0; i < trend_.size(); ++i) {
        const QPointF p(x.Pixel(double(i)), y.Pixel(*trend_[i].value));
        i == 0 ? line.moveTo(p) : line.lineTo(p);
    }
    painter.setPen(QPen(QColor(0x90, 0xA0, 0xC0), 1));
    painter.drawPath(line);
    const bool limitsKnown = mean_ && sigma_ > 0;
    for (size_t i = 0; i < trend_.size(); ++i) {
        const Reading& r = trend_[i];
        const QPointF p(x.Pixel(double(i)), y.Pixel(*r.value));
        const bool outside = limitsKnown && std::abs(*r.value - *mean_) > 3 * sigma_;
        painter.setPen(Qt::NoPen);
        painter.setBrush(outside ? kLimit : kPoint);
        painter.drawEllipse(p, 2.5, 2.5);
        if (r.sort == SortClass::High || r.sort == SortClass::Low) {
            // HIGH parts marked with a triangle above the point, LOW below.
            const double d = r.sort == SortClass::High ? -7 : 7;
            QPolygonF mark{{p.x() - 4, p.y() + d}, {p.x() + 4, p.y() + d}, {p.x(), p.y() + d * 0.4}};
            painter.setBrush(kMarked);
            painter.drawPolygon(mark);
        }
    }
    painter.setBrush(Qt::NoBrush);
}

}  // namespace stats
