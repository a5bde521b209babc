#include "shell/window/rpm_chart_view.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

#include "shell/window/map_palette.h"

namespace dw {

namespace {

// The speed a drive should keep, and the band the user adjusts it into.
constexpr double kNominalRpm = 300.0;
constexpr double kBandLow = 294.0;
constexpr double kBandHigh = 306.0;
// The chart shows at least this range, so that a steady drive does not look wild.
constexpr double kShownLow = 290.0;
constexpr double kShownHigh = 310.0;

constexpr int kMargin = 8;
constexpr int kAxisLabelWidth = 40;
constexpr int kHeaderHeight = 56;
constexpr int kBottomLabelHeight = 18;

QString Rpm(double rpm) {
  return QString::number(rpm, 'f', 1);
}

bool InBand(double rpm) {
  return rpm > kBandLow && rpm < kBandHigh;
}

}  // namespace

RpmChartView::RpmChartView(QWidget* parent) : QWidget(parent) {
  setObjectName("RpmChart");
  setAutoFillBackground(true);
  QPalette colours = palette();
  colours.setColor(QPalette::Window, Qt::white);
  setPalette(colours);
}

void RpmChartView::Start(int planned, const QString& caption) {
  values_.clear();
  planned_ = std::max(0, planned);
  caption_ = caption;
  minimum_ = maximum_ = 0;
  paint_.Schedule();
}

void RpmChartView::Add(double rpm) {
  minimum_ = values_.empty() ? rpm : std::min(minimum_, rpm);
  maximum_ = values_.empty() ? rpm : std::max(maximum_, rpm);
  values_.push_back(rpm);
  paint_.Schedule();
}

QString RpmChartView::LatestText() const {
  return values_.empty() ? QString("--- rpm") : Rpm(values_.back()) + " rpm";
}

QString RpmChartView::RangeText() const {
  if (values_.empty()) return "no measurement yet";
  return QString("min %1  max %2  (%3 of %4)")
      .arg(Rpm(minimum_), Rpm(maximum_))
      .arg(values_.size())
      .arg(std::max<int>(planned_, static_cast<int>(values_.size())));
}

void RpmChartView::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);

  // The caption line, then the header: the latest value large, the range beside it.
  const int top = caption_.isEmpty() ? 0 : fontMetrics().height() + kMargin;
  if (!caption_.isEmpty()) {
    painter.setPen(Qt::black);
    painter.drawText(QRect(kMargin, kMargin, width() - 2 * kMargin, fontMetrics().height()),
                     Qt::AlignLeft | Qt::AlignVCenter, caption_);
  }
  QFont large = font();
  large.setPixelSize(34);
  large.setBold(true);
  painter.setFont(large);
  const bool latestInBand = values_.empty() || InBand(values_.back());
  painter.setPen(latestInBand ? kOkabeBlue : kOkabeVermillion);
  const QRect latest(kMargin, top + kMargin, width() / 2, kHeaderHeight - kMargin);
  painter.drawText(latest, Qt::AlignLeft | Qt::AlignVCenter, LatestText());
  painter.setFont(font());
  painter.setPen(Qt::black);
  const QRect range(width() / 2, top + kMargin, width() / 2 - kMargin, kHeaderHeight - kMargin);
  painter.drawText(range, Qt::AlignRight | Qt::AlignVCenter,
                   RangeText() + "\nband 294 - 306 rpm, nominal 300");

  const QRectF plot(kMargin + kAxisLabelWidth, top + kHeaderHeight + kMargin,
                    std::max(1, width() - 2 * kMargin - kAxisLabelWidth),
                    std::max(1, height() - top - kHeaderHeight - 2 * kMargin - kBottomLabelHeight));
  const double low = std::min(kShownLow, values_.empty() ? kShownLow : std::floor(minimum_ - 1));
  const double high = std::max(kShownHigh, values_.empty() ? kShownHigh : std::ceil(maximum_ + 1));
  auto yOf = [&](double rpm) { return plot.bottom() - (rpm - low) / (high - low) * plot.height(); };
  const int places = std::max({planned_, static_cast<int>(values_.size()), 2});
  auto xOf = [&](size_t index) {
    return plot.left() + plot.width() * static_cast<double>(index) / (places - 1);
  };

  // The band, its edges and the nominal speed.
  painter.fillRect(
      QRectF(plot.left(), yOf(kBandHigh), plot.width(), yOf(kBandLow) - yOf(kBandHigh)),
      QColor(86, 180, 233, 60));
  painter.setPen(QPen(kOkabeSkyBlue, 1, Qt::DashLine));
  for (double edge : {kBandLow, kBandHigh}) {
    painter.drawLine(QPointF(plot.left(), yOf(edge)), QPointF(plot.right(), yOf(edge)));
  }
  painter.setPen(QPen(Qt::gray, 1, Qt::DotLine));
  painter.drawLine(QPointF(plot.left(), yOf(kNominalRpm)), QPointF(plot.right(), yOf(kNominalRpm)));
  painter.setPen(Qt::black);
  painter.drawRect(plot);

  // Speed labels every 2 or 5 rpm, whichever leaves room for the text.
  const double step = plot.height() / (high - low) * 2 >= fontMetrics().height() ? 2 : 5;
  for (double rpm = std::ceil(low / step) * step; rpm <= high; rpm += step) {
    const QRectF label(kMargin, yOf(rpm) - 8, kAxisLabelWidth - 4, 16);
    painter.drawText(label, Qt::AlignRight | Qt::AlignVCenter, QString::number(rpm, 'f', 0));
  }
  painter.drawText(QRectF(plot.left(), plot.bottom() + 2, plot.width(), kBottomLabelHeight),
                   Qt::AlignLeft | Qt::AlignTop, "1");
  painter.drawText(QRectF(plot.left(), plot.bottom() + 2, plot.width(), kBottomLabelHeight),
                   Qt::AlignRight | Qt::AlignTop, QString("measurement %1").arg(places));

  if (values_.empty()) return;
  QPainterPath trend;
  for (size_t i = 0; i < values_.size(); ++i) {
    const QPointF point(xOf(i), yOf(values_[i]));
    if (i == 0) {
      trend.moveTo(point);
    } else {
      trend.lineTo(point);
    }
  }
  painter.setPen(QPen(Qt::lightGray, 1));
  painter.drawPath(trend);
  const double radius = values_.size() > 100 ? 2.0 : 3.5;
  painter.setPen(Qt::NoPen);
  for (size_t i = 0; i < values_.size(); ++i) {
    painter.setBrush(InBand(values_[i]) ? kOkabeBlue : kOkabeVermillion);
    painter.drawEllipse(QPointF(xOf(i), yOf(values_[i])), radius, radius);
  }
}

}  // namespace dw
