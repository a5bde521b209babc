#pragma once
// Answers a modal box or requester of the window ahead of time: the code under test blocks in
// the dialog's own loop, so a timer looks for the dialog once it shows and hands it to `act`.
// `act` should only record what it sees and close the dialog; the checks come after the call
// under test returns (a failed check inside would leave the dialog open).

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <functional>

namespace dw::testing {

inline void WhenModalShows(std::function<void(QWidget*)> act) {
  auto* timer = new QTimer;
  timer->setInterval(5);
  QObject::connect(timer, &QTimer::timeout, timer, [timer, act = std::move(act)] {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal == nullptr || !modal->isVisible()) return;
    timer->stop();
    timer->deleteLater();
    act(modal);
  });
  timer->start();
}

}  // namespace dw::testing
