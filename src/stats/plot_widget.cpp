#include "plot_widget.h"

#include "control_lines.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <tuple>

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
    for (const double v : RoundTicks(x.from, x.to, 6)) {
        const int px = int(x.Pixel(v));
        painter.drawLine(px, plot.bottom(), px, plot.bottom() + 4);
        painter.drawText(QRect(px - 50, plot.bottom() + 4, 100, 16), Qt::AlignCenter, Tick(v, scale));
    }
}

// Ticks at `step` apart from the axis' start, or on round values without a step.
void DrawYTicks(QPainter& painter, const QRect& plot, const Axis& y, const std::function<QString(double)>& text,
                double step = 0)
{
    std::vector<double> ticks;
    if (step > 0)
        for (double v = y.from; v <= y.to + step * 1e-6; v += step) ticks.push_back(v);
    else
        ticks = RoundTicks(y.from, y.to, 5);
    for (const double v : ticks) {
        const int py = int(y.Pixel(v));
        painter.drawLine(plot.left() - 4, py, plot.left(), py);
        painter.drawText(QRect(plot.left() - 66, py - 8, 60, 16), Qt::AlignRight | Qt::AlignVCenter, text(v));
    }
}

// Room for a value axis around `low`..`high` and the lines that must show.
std::pair<double, double> Span(double low, double high)
{
    if (!(high > low)) {
        const double pad = low != 0 ? std::abs(low) * 1e-3 : 1e-3;
        return {low - pad, high + pad};
    }
    const double pad = (high - low) * 0.05;
    return {low - pad, high + pad};
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

// A point or a ring around one as a ready image, made once per colour, size and pixel
// ratio: hundreds of antialiased ellipses each refresh cost more than the rest of the plot.
const QImage& Sprite(const QColor& colour, double radius, double ringWidth, qreal ratio)
{
    static std::map<std::tuple<QRgb, int, int, int>, QImage> made;
    const auto key = std::make_tuple(colour.rgba(), int(radius * 8), int(ringWidth * 8), int(ratio * 100));
    if (const auto found = made.find(key); found != made.end()) return found->second;
    const int side = int(std::ceil(2 * (radius + ringWidth) + 2));
    QImage image(QSize(side, side) * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(ringWidth > 0 ? QPen(colour, ringWidth) : QPen(Qt::NoPen));
    painter.setBrush(ringWidth > 0 ? QBrush(Qt::NoBrush) : QBrush(colour));
    painter.drawEllipse(QPointF(side / 2.0, side / 2.0), radius, radius);
    painter.end();
    return made.emplace(key, std::move(image)).first->second;
}

void DrawDot(QPainter& painter, const QPointF& centre, const QColor& colour, double radius, double ringWidth = 0)
{
    const QImage& sprite = Sprite(colour, radius, ringWidth, painter.device()->devicePixelRatioF());
    const QSizeF size = sprite.deviceIndependentSize();
    painter.drawImage(QPointF(centre.x() - size.width() / 2, centre.y() - size.height() / 2), sprite);
}

}  // namespace

PlotWidget::PlotWidget(QWidget* parent) : QWidget(parent)
{
    setMinimumSize(480, 600);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PlotWidget::UseControl(const std::optional<ControlLimits>& control, RuleChoice rules)
{
    control_ = control;
    rules_ = rules;
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
    firings_ = TrendFirings(figures.Trend(), control_, rules_);
    update();
}

bool PlotWidget::Marked(size_t index) const
{
    return std::any_of(firings_.begin(), firings_.end(), [&](const Firing& f) {
        return qint64(index) >= f.firstNumber && qint64(index) <= f.lastNumber;
    });
}

int PlotWidget::PointsOutsideControl() const
{
    if (!control_) return 0;
    return int(std::count_if(trend_.begin(), trend_.end(), [&](const Reading& r) {
        return *r.value > control_->Upper() || *r.value < control_->Lower();
    }));
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
    const int third = area.height() / 3;
    DrawHistogram(painter, QRect(area.left(), area.top(), area.width(), third));
    DrawTrend(painter, QRect(area.left(), area.top() + third, area.width(), third));
    DrawRanges(painter, QRect(area.left(), area.top() + 2 * third, area.width(), area.height() - 2 * third));
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
    if (control_) {
        low = std::min(low, control_->Lower());
        high = std::max(high, control_->Upper());
    }
    std::tie(low, high) = Span(low, high);
    const UnitScale scale = ScaleFor(std::max(std::abs(low), std::abs(high)), mode_);
    const QString source = control_ ? QStringLiteral("控制限：") + LimitsSourceWords(*control_) : kLimitsUndecided;
    DrawFrame(painter, plot, QStringLiteral("单值图  %1").arg(source),
              QStringLiteral("最近 %1 个读数").arg(trend_.size()), QStringLiteral("测试数据 (%1)").arg(scale.unit));
    if (trend_.empty()) return;
    const Axis x{0, double(std::max<size_t>(trend_.size() - 1, 1)), plot.left() + 4, plot.right() - 4};
    const Axis y{low, high, plot.bottom(), plot.top()};
    DrawYTicks(painter, plot, y, [&](double v) { return Tick(v, scale); });
    if (control_) {
        HorizontalLine(painter, plot, y.Pixel(control_->centre), kMean, Qt::SolidLine, QStringLiteral("CL"));
        HorizontalLine(painter, plot, y.Pixel(control_->Upper()), kLimit, Qt::DashLine, QStringLiteral("UCL"));
        HorizontalLine(painter, plot, y.Pixel(control_->Lower()), kLimit, Qt::DashLine, QStringLiteral("LCL"));
    } else if (mean_) {
        HorizontalLine(painter, plot, y.Pixel(*mean_), kMean, Qt::SolidLine, QStringLiteral("x̄"));
    }
    QPainterPath line;
    for (size_t i = 0; i < trend_.size(); ++i) {
        const QPointF p(x.Pixel(double(i)), y.Pixel(*trend_[i].value));
        i == 0 ? line.moveTo(p) : line.lineTo(p);
    }
    painter.setPen(QPen(QColor(0x90, 0xA0, 0xC0), 1));
    painter.drawPath(line);
    for (size_t i = 0; i < trend_.size(); ++i) {
        const Reading& r = trend_[i];
        const QPointF p(x.Pixel(double(i)), y.Pixel(*r.value));
        const bool outside = control_ && (*r.value > control_->Upper() || *r.value < control_->Lower());
        if (Marked(i)) DrawDot(painter, p, kMarked, 5, 1.5);
        DrawDot(painter, p, outside ? kLimit : kPoint, 2.5);
        if (r.sort == SortClass::High || r.sort == SortClass::Low) {
            // HIGH parts marked with a triangle above the point, LOW below.
            const double d = r.sort == SortClass::High ? -7 : 7;
            QPolygonF mark{{p.x() - 4, p.y() + d}, {p.x() + 4, p.y() + d}, {p.x(), p.y() + d * 0.4}};
            painter.setPen(Qt::NoPen);
            painter.setBrush(kMarked);
            painter.drawPolygon(mark);
        }
    }
    // Each firing's rule number over its last point.
    painter.setPen(kMarked);
    for (const Firing& f : firings_) {
        const QPointF p(x.Pixel(double(f.lastNumber)), y.Pixel(*trend_[size_t(f.lastNumber)].value));
        painter.drawText(QPointF(p.x() - 3, p.y() - 9), QString::number(f.rule));
    }
    painter.setBrush(Qt::NoBrush);
}

void PlotWidget::DrawRanges(QPainter& painter, const QRect& area) const
{
    const QRect plot = area.adjusted(kLeft, kTop, -kRight, -kBottom);
    std::vector<double> ranges;
    for (size_t i = 1; i < trend_.size(); ++i) ranges.push_back(std::abs(*trend_[i].value - *trend_[i - 1].value));
    double high = ranges.empty() ? 0 : *std::max_element(ranges.begin(), ranges.end());
    if (control_) high = std::max(high, control_->RangeUpper());
    const auto [from, to] = Span(0, high);
    const UnitScale scale = ScaleFor(std::max(std::abs(from), std::abs(to)), mode_);
    DrawFrame(painter, plot, QStringLiteral("移动极差图"), QString(), QStringLiteral("MR (%1)").arg(scale.unit));
    if (ranges.empty()) return;
    const Axis x{0, double(std::max<size_t>(trend_.size() - 1, 1)), plot.left() + 4, plot.right() - 4};
    const Axis y{0, to, plot.bottom(), plot.top()};
    DrawYTicks(painter, plot, y, [&](double v) { return Tick(v, scale); });
    if (control_) {
        HorizontalLine(painter, plot, y.Pixel(control_->RangeMean()), kMean, Qt::SolidLine, QStringLiteral("MR̄"));
        HorizontalLine(painter, plot, y.Pixel(control_->RangeUpper()), kLimit, Qt::DashLine, QStringLiteral("UCL"));
    }
    QPainterPath line;
    for (size_t i = 0; i < ranges.size(); ++i) {
        const QPointF p(x.Pixel(double(i + 1)), y.Pixel(ranges[i]));
        i == 0 ? line.moveTo(p) : line.lineTo(p);
    }
    painter.setPen(QPen(QColor(0x90, 0xA0, 0xC0), 1));
    painter.drawPath(line);
    for (size_t i = 0; i < ranges.size(); ++i) {
        const QPointF p(x.Pixel(double(i + 1)), y.Pixel(ranges[i]));
        if (Marked(i + 1)) DrawDot(painter, p, kMarked, 5, 1.5);
        DrawDot(painter, p, control_ && ranges[i] > control_->RangeUpper() ? kLimit : kPoint, 2.5);
    }
    painter.setBrush(Qt::NoBrush);
}

}  // namespace stats
