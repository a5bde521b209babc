// A whole session on the real window: the main loop runs on the Qt desk against a virtual bus
// while a scripted user clicks menu items, command-bar buttons, RESET and the close button.

#include <QAbstractEventDispatcher>
#include <QAction>
#include <QComboBox>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/program.h"
#include "shell/main_loop.h"
#include "shell/window/command_bar.h"
#include "shell/window/qt_desk.h"
#include "sim/bus/virtual_bus.h"
#include "testkit/harness.h"

namespace {

// The user's steps: each waits until its condition holds and the program has gone idle (its
// loop went to sleep after the condition was first seen), then acts, as a person would who
// looks before clicking. A session that stalls is closed after a while so that the test fails
// instead of hanging.
class User {
 public:
  struct Step {
    std::function<bool()> ready;
    std::function<void()> act;
  };

  User(dw::QtDesk& desk, std::vector<Step> steps) : desk_(desk), steps_(std::move(steps)) {
    QObject::connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock,
                     &timer_, [this] { sleptSinceReady_ = true; });
    QObject::connect(&timer_, &QTimer::timeout, &timer_, [this] { Poll(); });
    timer_.start(5);
    running_.start();
  }

  size_t stepsDone() const { return next_; }

 private:
  void Poll() {
    if (next_ == steps_.size()) return timer_.stop();
    if (running_.elapsed() > 20000) {
      timer_.stop();
      desk_.window().close();
      return;
    }
    if (!steps_[next_].ready()) {
      readySeen_ = false;
      return;
    }
    if (!readySeen_) {
      readySeen_ = true;
      sleptSinceReady_ = false;
      return;
    }
    if (!sleptSinceReady_) return;
    readySeen_ = false;
    steps_[next_++].act();
  }

  dw::QtDesk& desk_;
  std::vector<Step> steps_;
  size_t next_ = 0;
  bool readySeen_ = false;
  bool sleptSinceReady_ = false;
  QTimer timer_;
  QElapsedTimer running_;
};

QStringList LogLines(dw::QtDesk& desk) {
  return desk.window().logPane()->toPlainText().split('\n');
}

// Log lines without their time stamps.
QStringList LogTexts(dw::QtDesk& desk) {
  QStringList texts;
  for (const QString& line : LogLines(desk)) texts << line.mid(line.indexOf(' ') + 1);
  return texts;
}

bool LastLineIs(dw::QtDesk& desk, const QString& text) {
  return LogTexts(desk).last() == text;
}

// Commands that have ended so far.
qsizetype CommandsEnded(dw::QtDesk& desk) {
  const QStringList texts = LogTexts(desk);
  return texts.count("-- done --") + texts.count("-- aborted --");
}

}  // namespace

class SessionTest : public QObject {
  Q_OBJECT

 private slots:
  void clicksReachTheProgramAndTheProgramTheWindow() {
    dw::QtDesk desk;
    dw::VirtualClock clock;
    std::string error;
    std::unique_ptr<sim::VirtualBus> bus = sim::VirtualBus::FromDescription(
        "8=1541-II,9=1581", [&clock] { return clock.NowUs(); }, &error);
    QVERIFY2(bus != nullptr, error.c_str());
    dw::VirtualPortOpener ports;
    ports.Attach(0, bus.get());
    dw::Program program(desk, clock, ports);
    dw::StartUp(program);
    desk.window().show();
    QVERIFY(QTest::qWaitForWindowExposed(&desk.window()));

    QStringList devices;
    bool devicesEnabled = false;
    QStringList afterToggle;
    bool fortyChecked = false;
    bool directoryButtonDownWhileRunning = false;
    QString directoryEnd;
    bool directoryButtonUpAfter = false;
    QStringList afterReset;
    bool resetUpAfter = false;
    QToolButton* directoryButton = desk.window().commandBar()->button(31);
    // A drive chosen while a command runs would be dropped: the selector takes none then.
    int linesWhileRunning = 0;
    bool selectorOpenWhileRunning = false;
    QObject::connect(desk.window().logPane(), &QPlainTextEdit::textChanged, &desk.window(), [&] {
      if (!directoryButton->isChecked()) return;
      ++linesWhileRunning;
      selectorOpenWhileRunning |= desk.window().deviceCombo()->isEnabled();
    });

    User user(
        desk,
        {
            {[&] { return LastLineIs(desk, "Welcome Diskwright user"); },
             [&] {
               for (int i = 0; i < desk.window().deviceCombo()->count(); ++i) {
                 devices << desk.window().deviceCombo()->itemText(i);
               }
               devicesEnabled = desk.window().deviceCombo()->isEnabled();
               desk.window().menuAction(40)->trigger();
             }},
            {[&] { return CommandsEnded(desk) == 1; },
             [&] {
               afterToggle = LogTexts(desk);
               fortyChecked = desk.window().menuAction(40)->isChecked();
               QTest::mouseClick(directoryButton, Qt::LeftButton);
               directoryButtonDownWhileRunning = directoryButton->isChecked();
             }},
            {[&] { return LastLineIs(desk, "-- done --") || LastLineIs(desk, "-- aborted --"); },
             [&] {
               directoryEnd = LogTexts(desk).last();
               directoryButtonUpAfter =
                   !directoryButton->isChecked() && directoryButton->isEnabled();
               QTest::mouseClick(desk.window().resetButton(), Qt::LeftButton);
             }},
            // RESET while idle reconnects at once: the log starts afresh.
            {[&] {
               return !LogTexts(desk).contains("40 tracks enabled") &&
                      LastLineIs(desk, "Welcome Diskwright user");
             },
             [&] {
               afterReset = LogTexts(desk);
               resetUpAfter = !desk.window().resetButton()->isChecked();
               desk.window().close();
             }},
        });
    dw::RunMainLoop(program);

    QCOMPARE(user.stepsDone(), size_t{4});
    QCOMPARE(devices, (QStringList{"8: 1541-II", "9: 1581"}));
    QVERIFY(devicesEnabled);
    QCOMPARE(afterToggle.mid(afterToggle.size() - 2),
             (QStringList{"40 tracks enabled", "-- done --"}));
    QVERIFY(fortyChecked);
    QVERIFY(directoryButtonDownWhileRunning);
    QVERIFY(directoryButtonUpAfter);
    QVERIFY(linesWhileRunning > 0);
    QVERIFY(!selectorOpenWhileRunning);
    QVERIFY(!directoryEnd.isEmpty());
    QCOMPARE(afterReset.first(), QString("BUSLINK V2.0 found @ COM0"));
    QVERIFY(resetUpAfter);
    // The close button ended the program through its own shut-down.
    QVERIFY(!desk.window().isVisible());
    QVERIFY(!program.LinkPort);
  }
};

QTEST_MAIN(SessionTest)
#include "session_test.moc"
