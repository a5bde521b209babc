#pragma once
// Repaints a view at most once per interval however often its data change: the operation that
// feeds it keeps its pace, and the window catches up whenever the program lets it handle events.

#include <QTimer>
#include <QWidget>

namespace dw {

class ScheduledPaint {
 public:
  explicit ScheduledPaint(QWidget* view) {
    timer_.setSingleShot(true);
    timer_.setInterval(kIntervalMs);
    QObject::connect(&timer_, &QTimer::timeout, view, [view] { view->update(); });
  }

  void Schedule() {
    if (!timer_.isActive()) timer_.start();
  }
  bool pending() const { return timer_.isActive(); }

 private:
  static constexpr int kIntervalMs = 40;
  QTimer timer_;
};

}  // namespace dw
