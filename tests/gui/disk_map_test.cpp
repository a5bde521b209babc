// The disk map and the RPM chart of the real window, filled by whole commands on the virtual bus:
// a damaged disk read by Create, double-sided and 3.5" layouts, and an RPM series.

#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "core/program.h"
#include "link/connect.h"
#include "shell/main_loop.h"
#include "shell/window/disk_map_view.h"
#include "shell/window/qt_desk.h"
#include "shell/window/rpm_chart_view.h"
#include "sim/bus/virtual_bus.h"
#include "testkit/harness.h"
#include "testkit/temp_folder.h"

namespace {

// An empty disk image made by cc1541, an independent tool; its extension names the layout.
bool MakeImage(const std::string& path) {
  return std::system(("cc1541 -n 'map disk' -i 'mp' '" + path + "' > /dev/null 2>&1").c_str()) == 0;
}

// Damaged sectors as error bytes behind the D64's data: track, sector, code.
struct Damage {
  int track, sector, code;
};
constexpr Damage kDamage[] = {{3, 4, 2}, {5, 0, 3}, {7, 7, 4}, {10, 3, 5}, {12, 5, 9}, {20, 1, 11}};

int SectorsOf(int track) {
  return track <= 17 ? 21 : track <= 24 ? 19 : track <= 30 ? 18 : 17;
}

void AppendErrorBytes(const std::string& path) {
  std::vector<char> errors;
  for (int track = 1; track <= 35; ++track) errors.insert(errors.end(), SectorsOf(track), 1);
  for (const Damage& d : kDamage) {
    int index = d.sector;
    for (int t = 1; t < d.track; ++t) index += SectorsOf(t);
    errors[static_cast<size_t>(index)] = static_cast<char>(d.code);
  }
  std::ofstream(path, std::ios::binary | std::ios::app).write(errors.data(), std::ssize(errors));
}

// The program on the real window and a virtual bus, connected, as after start-up.
struct Session {
  explicit Session(const std::string& description) {
    std::string error;
    bus = sim::VirtualBus::FromDescription(
        description, [this] { return clock.NowUs(); }, &error);
    if (bus) ports.Attach(0, bus.get());
    dw::StartUp(program);
    if (bus) dw::ConnectDrives(program);
  }

  // Runs a command as the main loop does; a file requester it opens is cancelled and the image
  // read is given up.
  void Run(int id) {
    QTimer cancel;
    QObject::connect(&cancel, &QTimer::timeout, &cancel, [] {
      QWidget* modal = QApplication::activeModalWidget();
      if (auto* question = qobject_cast<QMessageBox*>(modal)) {
        question->button(QMessageBox::Yes)->click();
      } else if (auto* requester = qobject_cast<QDialog*>(modal)) {
        requester->reject();
      }
    });
    cancel.start(5);
    dw::DispatchCommand(program, id);
  }

  QStringList LogTexts() {
    QStringList texts;
    for (const QString& line : desk.window().logPane()->toPlainText().split('\n')) {
      texts << line.mid(line.indexOf(' ') + 1);
    }
    return texts;
  }

  dw::QtDesk desk;
  dw::VirtualClock clock;
  dw::VirtualPortOpener ports;
  std::unique_ptr<sim::VirtualBus> bus;
  dw::Program program{desk, clock, ports};
};

}  // namespace

class DiskMapTest : public QObject {
  Q_OBJECT

 private slots:
  void mapOfADamagedDiskHoldsTheCodesOfTheStatusLines() {
    dw::TempFolder folder("diskmap");
    const std::string image = folder / "damaged.d64";
    if (!MakeImage(image)) QSKIP("cc1541 is needed");
    AppendErrorBytes(image);
    Session s("8=1541-II+:" + image);
    dw::DiskMapView* map = s.desk.window().diskMap();
    QCOMPARE(map->columnCount(), 0);
    s.Run(dw::kCmdCreateImage);

    QCOMPARE(map->columnCount(), 35);
    const QRegularExpression statusLine("^T(\\d\\d):([0-9A-F]+)");
    int lines = 0;
    for (const QString& text : s.LogTexts()) {
      const QRegularExpressionMatch match = statusLine.match(text);
      if (!match.hasMatch()) continue;
      ++lines;
      const int track = match.captured(1).toInt();
      const QString codes = match.captured(2);
      QCOMPARE(map->sectorCount(track), codes.size());
      for (int sector = 0; sector < codes.size(); ++sector) {
        QVERIFY2(map->cell(track, sector) == codes.mid(sector, 1).toInt(nullptr, 16),
                 qPrintable(QString("T%1 S%2").arg(track).arg(sector)));
      }
    }
    QCOMPARE(lines, 35);
    for (const Damage& d : kDamage) QCOMPARE(int{map->cell(d.track, d.sector)}, d.code);
    QCOMPARE(map->HoverText(20, 1),
             QString("Track 20, sector 1: code B, DISK ID MISMATCH/DISK CHANGE"));
    QCOMPARE(map->HoverText(1, 0), QString("Track 1, sector 0: code 1, OK"));

    // Drawn as told: each damaged cell in its own colour, the good ones alike, and every cell
    // found again under its own place.
    s.desk.window().show();
    s.desk.window().outputPanel()->setCurrentWidget(map);
    QVERIFY(QTest::qWaitForWindowExposed(&s.desk.window()));
    const QImage picture = map->grab().toImage();
    auto colourAt = [&](int track, int sector) {
      return picture.pixelColor(map->CellRect(track, sector).topLeft() + QPoint(2, 2));
    };
    QList<QColor> damaged;
    for (const Damage& d : kDamage) {
      QVERIFY(!damaged.contains(colourAt(d.track, d.sector)));
      damaged << colourAt(d.track, d.sector);
      const auto place = map->CellAt(map->CellRect(d.track, d.sector).center());
      QVERIFY(place.has_value());
      QCOMPARE(place->first, d.track);
      QCOMPARE(place->second, d.sector);
    }
    QCOMPARE(colourAt(1, 0), colourAt(35, 16));
    QVERIFY(!damaged.contains(colourAt(1, 0)));
  }

  // The desk calls only store; the view paints later, once for many tracks, when the program
  // next lets the window handle its events.
  void tracksArePaintedLaterNotOnEachCall() {
    dw::QtDesk desk;
    dw::DiskMapView* map = desk.window().diskMap();
    desk.window().show();
    desk.window().outputPanel()->setCurrentWidget(map);
    QVERIFY(QTest::qWaitForWindowExposed(&desk.window()));
    QTest::qWait(100);
    struct PaintCounter : QObject {
      int paints = 0;
      bool eventFilter(QObject*, QEvent* event) override {
        paints += event->type() == QEvent::Paint;
        return false;
      }
    } counter;
    map->installEventFilter(&counter);

    desk.StartDiskMap({std::vector<int>(35, 17), {{2, "SECTOR NOT FOUND"}}, "Verify disk image"});
    for (int track = 1; track <= 35; ++track) {
      desk.ShowTrackOnMap(track, std::vector<uint8_t>(17, track == 9 ? 2 : 1));
    }
    QCOMPARE(counter.paints, 0);
    QVERIFY(map->repaintPending());
    QTRY_VERIFY(counter.paints > 0);
    QVERIFY2(counter.paints <= 2, qPrintable(QString::number(counter.paints)));
    QVERIFY(!map->repaintPending());
    QCOMPARE(map->HoverText(9, 16), QString("Track 9, sector 16: code 2, SECTOR NOT FOUND"));
    QCOMPARE(map->HoverText(36, 0), QString());
  }

  void doubleSidedAnd35InchLayoutsGiveTheirColumns_data() {
    QTest::addColumn<QString>("model");
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("columns");
    QTest::addColumn<int>("rows");
    QTest::newRow("1571 D71") << "1571"
                              << "disk.d71" << 70 << 21;
    QTest::newRow("1581 D81") << "1581"
                              << "disk.d81" << 80 << 40;
  }

  void doubleSidedAnd35InchLayoutsGiveTheirColumns() {
    QFETCH(QString, model);
    QFETCH(QString, file);
    QFETCH(int, columns);
    QFETCH(int, rows);
    dw::TempFolder folder("diskmap");
    const std::string image = folder / file.toStdString();
    if (!MakeImage(image)) QSKIP("cc1541 is needed");
    Session s("8=" + model.toStdString() + ":" + image);
    s.Run(dw::kCmdCreateImage);
    dw::DiskMapView* map = s.desk.window().diskMap();
    QVERIFY2(
        QRegularExpression("^Create disk image, drive 8 \\(" + model + "\\), \\d\\d:\\d\\d:\\d\\d$")
            .match(map->caption())
            .hasMatch(),
        qPrintable(map->caption()));
    QCOMPARE(map->columnCount(), columns);
    QCOMPARE(map->sectorCount(1), rows);
    QCOMPARE(map->sectorCount(columns), model == "1571" ? 17 : 40);
    for (int track = 1; track <= columns; ++track) {
      for (int sector = 0; sector < map->sectorCount(track); ++sector) {
        QVERIFY2(map->cell(track, sector) == dw::kMapGood,
                 qPrintable(QString("T%1 S%2").arg(track).arg(sector)));
      }
    }
  }

  void rpmChartHoldsTheSeriesAndItsRange() {
    dw::TempFolder folder("rpmchart");
    const std::string image = folder / "disk.d64";
    if (!MakeImage(image)) QSKIP("cc1541 is needed");
    Session s("8=1541-II+@303.5rpm:" + image);
    s.Run(dw::kCmdRpmCheck);
    dw::RpmChartView* chart = s.desk.window().rpmChart();
    QCOMPARE(s.desk.window().outputPanel()->currentWidget(), chart);
    QCOMPARE(chart->planned(), 5);
    QVERIFY2(QRegularExpression("^RPM check, drive 8 \\(1541-II\\+\\), \\d\\d:\\d\\d:\\d\\d$")
                 .match(chart->caption())
                 .hasMatch(),
             qPrintable(chart->caption()));

    // The values are the logged ones; min and max are those of the summary line.
    const QStringList texts = s.LogTexts();
    const qsizetype first = texts.indexOf("Drive Spindle Speed; nominal 300 RPM [294 < RPM < 306]");
    QVERIFY(first >= 0);
    QStringList logged = texts.mid(first + 1, 5);
    QStringList charted;
    for (double rpm : chart->values()) charted << QString::number(rpm, 'f', 1);
    QCOMPARE(charted, logged);
    const QString summary = texts.at(first + 6);
    QCOMPARE(summary, QString("RPM min: %1; max: %2")
                          .arg(QString::number(chart->minimum(), 'f', 1),
                               QString::number(chart->maximum(), 'f', 1)));
    QVERIFY(chart->minimum() > 302 && chart->maximum() < 305);
    QCOMPARE(chart->LatestText(), logged.last() + " rpm");
    QVERIFY(chart->RangeText().endsWith("(5 of 5)"));

    // A new series starts afresh.
    s.Run(dw::kCmdRpmCheck);
    QCOMPARE(chart->values().size(), size_t{5});
  }
};

QTEST_MAIN(DiskMapTest)
#include "disk_map_test.moc"
