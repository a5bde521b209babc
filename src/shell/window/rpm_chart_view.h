#pragma once
// The "RPM" tab: every spindle speed measurement of the last series as a point, in the order
// they came, over the 294 to 306 rpm band the drive should keep; the latest value written
// large, with the lowest and highest of the series.

#include <QString>
#include <QWidget>
#include <vector>

#include "shell/window/scheduled_paint.h"

namespace dw {

class RpmChartView final : public QWidget {
  Q_OBJECT

 public:
  explicit RpmChartView(QWidget* parent = nullptr);

  // caption: which command on which drive measures, and when it started.
  void Start(int planned, const QString& caption);
  void Add(double rpm);

  const std::vector<double>& values() const { return values_; }
  int planned() const { return planned_; }
  const QString& caption() const { return caption_; }
  // 0 while the series has no value.
  double minimum() const { return minimum_; }
  double maximum() const { return maximum_; }
  // What the chart writes: "300.2 rpm" and "min 298.5  max 301.5  (12 of 500)".
  QString LatestText() const;
  QString RangeText() const;
  bool repaintPending() const { return paint_.pending(); }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  std::vector<double> values_;
  int planned_ = 0;
  QString caption_;
  double minimum_ = 0;
  double maximum_ = 0;
  ScheduledPaint paint_{this};
};

}  // namespace dw
