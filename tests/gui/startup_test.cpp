// The real main loop on the Qt desk, from start-up to the end: without an adapter on any
// port the program tells so in a box over its window and ends.

#include <QComboBox>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <memory>

#include "core/program.h"
#include "modal_helper.h"
#include "platform/clock.h"
#include "shell/main_loop.h"
#include "shell/window/qt_desk.h"

namespace {

// No port opens: the machine has no adapter.
class NoPorts final : public dw::PortOpener {
 public:
  std::unique_ptr<dw::SerialPort> Open(int number) override {
    opened.push_back(number);
    return nullptr;
  }
  std::vector<int> opened;
};

}  // namespace

class StartupTest : public QObject {
  Q_OBJECT

 private slots:
  void withoutAdapterTheProgramSaysSoAndEnds() {
    dw::QtDesk desk;
    dw::VirtualClock clock;
    NoPorts ports;
    dw::Program program(desk, clock, ports);
    dw::StartUp(program);
    QVERIFY(!desk.window().deviceCombo()->isEnabled());
    desk.window().show();
    QVERIFY(QTest::qWaitForWindowExposed(&desk.window()));

    QString title, text;
    QWidget* boxParent = nullptr;
    dw::testing::WhenModalShows([&](QWidget* modal) {
      auto* box = qobject_cast<QMessageBox*>(modal);
      if (box == nullptr) return void(modal->close());
      title = box->windowTitle();
      text = box->text();
      boxParent = box->parentWidget();
      box->button(QMessageBox::Ok)->click();
    });
    dw::RunMainLoop(program);

    QCOMPARE(title, QString("Diskwright"));
    // The box's first line, then what the search found: here no port at all.
    QVERIFY(text.startsWith("BUSLINK V2.0 hardware not present!\n\nPorts tried: none"));
    QCOMPARE(boxParent, static_cast<QWidget*>(&desk.window()));
    QCOMPARE(ports.opened.size(), size_t{33});
    QCOMPARE(ports.opened.front(), 0);
    QCOMPARE(ports.opened.back(), 32);
    QVERIFY(!desk.window().isVisible());
    QCOMPARE(desk.window().logPane()->toPlainText(), QString());
  }
};

QTEST_MAIN(StartupTest)
#include "startup_test.moc"
