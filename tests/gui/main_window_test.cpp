// The main window as built: menus, command bar, the controls' places and looks, and the
// layout after the user resizes the window.

#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>

#include "shell/window/command_bar.h"
#include "shell/window/directory_list.h"
#include "shell/window/main_window.h"

using dw::MainWindow;

namespace {

// "id text" per item, "---" per separator, "[x]" / "[ ]" in front of check items.
QStringList MenuContents(const QMenu* menu) {
  QStringList lines;
  for (const QAction* action : menu->actions()) {
    if (action->isSeparator()) {
      lines << "---";
      continue;
    }
    QString line = QString::number(action->data().toInt()) + " " + action->text();
    if (action->isCheckable()) line.prepend(action->isChecked() ? "[x] " : "[ ] ");
    lines << line;
  }
  return lines;
}

// The window with its inner area resized to `inner`, once Qt has laid it out.
void ResizeInner(MainWindow& window, QSize inner) {
  const int menuHeight = window.menuBar()->height();
  window.resize(inner.width(), inner.height() + menuHeight);
  QTRY_COMPARE(window.innerArea()->size(), inner);
}

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void titleAndFrame() {
    MainWindow window;
    QCOMPARE(window.windowTitle(), QString("Diskwright"));
    const Qt::WindowFlags flags = window.windowFlags();
    QVERIFY(flags.testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
    QVERIFY(flags.testFlag(Qt::WindowTitleHint));
    QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
    // Sizeable: nothing pins the window's size.
    QVERIFY(window.minimumSize() != window.maximumSize());
  }

  void menusInOrderWithIdsAndSeparators() {
    MainWindow window;
    QStringList titles;
    QList<QMenu*> menus;
    for (QAction* action : window.menuBar()->actions()) {
      titles << action->text();
      menus << action->menu();
    }
    QCOMPARE(titles, (QStringList{"File", "Disk", "Tools", "Info", "View"}));
    QCOMPARE(menus[0]->objectName(), QString("menuFile"));
    QCOMPARE(menus[3]->objectName(), QString("menuInfo"));

    QCOMPARE(MenuContents(menus[0]),
             (QStringList{"33 Restore disk image", "32 Create disk image", "43 Create G64 image",
                          "34 Verify disk image", "---", "29 Quit"}));
    QCOMPARE(MenuContents(menus[1]),
             (QStringList{"---", "[ ] 40 Enable 40 tracks", "[ ] 41 Enable image errors",
                          "[ ] 45 Retry damaged tracks", "[ ] 44 Verify after writing", "---",
                          "24 Fast Format", "35 DOS command"}));
    QCOMPARE(MenuContents(menus[2]),
             (QStringList{"25 RPM check", "26 RPM adjust", "37 Dump track", "27 Dump ROM", "---",
                          "38 GCR -> HEX", "39 HEX -> GCR"}));
    QCOMPARE(MenuContents(menus[3]),
             (QStringList{"30 Error info", "42 Open log folder", "---", "28 About"}));
    QCOMPARE(MenuContents(menus[4]), (QStringList{"[ ] 200 Lower case characters"}));
    // The separator at the top of "Disk" must survive Qt's habit of hiding leading ones.
    QVERIFY(!menus[1]->separatorsCollapsible());
  }

  void menuItemsFoundByIdAndName() {
    MainWindow window;
    for (int id : {24, 25, 26, 27, 28, 29, 30, 32, 33, 34, 35, 37, 38, 39, 40, 41}) {
      QAction* action = window.menuAction(id);
      QVERIFY2(action != nullptr, qPrintable(QString::number(id)));
      QCOMPARE(action->objectName(), QString("action%1").arg(id));
      QCOMPARE(window.findChild<QAction*>(QString("action%1").arg(id)), action);
    }
    QCOMPARE(window.menuAction(31), nullptr);
    QCOMPARE(window.menuAction(36), nullptr);
  }

  void commandBarButtons() {
    MainWindow window;
    struct Expected {
      int id;
      const char* label;
      const char* toolTip;
    };
    const Expected expected[] = {
        {31, "LOAD \"$\"", "Directory "},        {32, "  Create  ", "Create Disk Image"},
        {33, "  Restore ", "Resore Disk Image"}, {34, "  Verify  ", "Verify Disk <-> Image"},
        {35, "    CMD   ", "Send DOS Command"},
    };
    QStringList order;
    for (const QAction* action : window.commandBar()->actions()) {
      order << (action->isSeparator() ? QString("|") : action->objectName());
    }
    QCOMPARE(order, (QStringList{"commandAction31", "|", "commandAction32", "|", "commandAction33",
                                 "|", "commandAction34", "|", "commandAction35"}));
    for (const Expected& e : expected) {
      QToolButton* button = window.findChild<QToolButton*>(QString("commandButton%1").arg(e.id));
      QVERIFY(button != nullptr);
      QCOMPARE(button, window.commandBar()->button(e.id));
      QCOMPARE(button->text(), QString(e.label));  // blanks kept
      QCOMPARE(button->toolTip(), QString(e.toolTip));
      QVERIFY(button->isCheckable());
      QVERIFY(!button->isChecked());
      QCOMPARE(button->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
      QVERIFY(!button->icon().isNull());
    }
    QVERIFY(!window.commandBar()->isMovable());
  }

  void controlsAtStart() {
    MainWindow window;
    QVERIFY(!window.deviceCombo()->isEnabled());
    QCOMPARE(window.deviceCombo()->count(), 0);
    QVERIFY(window.resetButton()->isCheckable());
    QVERIFY(!window.resetButton()->isChecked());
    QCOMPARE(window.resetButton()->text(), QString("RESET"));
    QCOMPARE(window.deviceFrame()->title(), QString("Device"));
    QCOMPARE(window.outputPanel()->count(), 4);
    QCOMPARE(window.outputPanel()->tabText(0), QString("Output"));
    QCOMPARE(window.outputPanel()->tabText(1), QString("Track GCR"));
    QCOMPARE(window.outputPanel()->tabText(2), QString("Disk map"));
    QCOMPARE(window.outputPanel()->tabText(3), QString("RPM"));
    QCOMPARE(window.outputPanel()->widget(0), window.outputSplitter());
    QCOMPARE(window.outputPanel()->widget(1), window.gcrTrackPane());
    QCOMPARE(window.outputPanel()->currentIndex(), 0);
    QCOMPARE(window.outputSplitter()->orientation(), Qt::Vertical);
    QCOMPARE(window.outputSplitter()->widget(0), window.directoryList());
    QCOMPARE(window.outputSplitter()->widget(1), window.logPane());
    QVERIFY(window.logPane()->isReadOnly());
    QVERIFY(window.gcrTrackPane()->isReadOnly());
    QCOMPARE(window.progressBar()->value(), 0);
    QCOMPARE(window.statusText()->text(), QString());
    for (const char* name :
         {"DeviceCombo", "ResetButton", "DirectoryList", "LogPane", "GcrTrackPane", "OutputPanel",
          "OutputSplitter", "DeviceFrame", "StatusText", "ProgressBar"}) {
      QVERIFY2(window.findChild<QWidget*>(name) != nullptr, name);
    }
  }

  void fontsAndColours() {
    MainWindow window;
    const QFont selector = window.deviceCombo()->font();
    QCOMPARE(selector.family(), QString("Microsoft Sans Serif"));
    QCOMPARE(selector.pointSize(), 12);
    QVERIFY(!selector.bold());
    const QFont list = window.directoryList()->font();
    QCOMPARE(list.family(), QString("Consolas"));
    QCOMPARE(list.pointSize(), 12);
    QVERIFY(list.bold());
    for (QPlainTextEdit* pane : {window.logPane(), window.gcrTrackPane()}) {
      QCOMPARE(pane->font().family(), QString("Consolas"));
      QCOMPARE(pane->font().pointSize(), 10);
      QVERIFY(!pane->font().bold());
    }
    const QPalette colours = window.directoryList()->palette();
    QCOMPARE(colours.color(QPalette::Text), QColor(128, 128, 255));
    QCOMPARE(colours.color(QPalette::Base), QColor(0, 0, 255));
  }

  void initialGeometry() {
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTRY_COMPARE(window.innerArea()->size(), QSize(650, 600));
    // The inner area is everything below the menu bar.
    QCOMPARE(window.innerArea()->mapTo(&window, QPoint(0, 0)),
             QPoint(0, window.menuBar()->geometry().bottom() + 1));
    QCOMPARE(window.width(), 650);

    const int t = window.commandBar()->height();
    const int s = window.statusLine()->height();
    QVERIFY(t > 0);
    QVERIFY(s > 0);
    QCOMPARE(t, window.commandBarHeight());
    QCOMPARE(s, window.statusBarHeight());
    QCOMPARE(window.commandBar()->geometry(), QRect(0, 0, 650, t));
    QCOMPARE(window.statusLine()->geometry(), QRect(0, 600 - s, 650, s));
    QCOMPARE(window.deviceFrame()->geometry(), QRect(5, t + 5, 640, 60));
    QCOMPARE(window.deviceCombo()->geometry(), QRect(30, t + 25, 160, 30));
    QCOMPARE(window.resetButton()->geometry(), QRect(240, t + 25, 110, 30));
    QCOMPARE(window.outputPanel()->geometry(), QRect(5, t + 70, 640, 500 - t - s));
    // The panel keeps a 30-pixel gap above the status bar.
    QCOMPARE(window.outputPanel()->geometry().bottom() + 1, 600 - s - 30);
    QCOMPARE(window.statusText()->width(), 400);
    QCOMPARE(window.progressBar()->width(), 150);

    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    QCOMPARE(window.x(), screen.x() + (screen.width() - window.width()) / 2);
  }

  void layoutAfterResizing_data() {
    QTest::addColumn<QSize>("inner");
    QTest::newRow("smaller") << QSize(520, 450);
    QTest::newRow("larger") << QSize(900, 760);
    QTest::newRow("wider only") << QSize(800, 600);
  }

  void layoutAfterResizing() {
    QFETCH(QSize, inner);
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QTRY_COMPARE(window.innerArea()->size(), QSize(650, 600));
    const int t = window.commandBar()->height();
    const int s = window.statusLine()->height();
    const QSize splitterBefore = window.outputSplitter()->size();

    ResizeInner(window, inner);
    const int w = inner.width() - 10;
    const int h = inner.height();
    QCOMPARE(window.outputPanel()->geometry(), QRect(5, t + 70, w, h - t - s - 100));
    QCOMPARE(window.deviceFrame()->geometry(), QRect(5, t + 5, w, 60));
    QCOMPARE(window.deviceCombo()->geometry(), QRect(30, t + 25, 160, 30));
    QCOMPARE(window.resetButton()->geometry(), QRect(240, t + 25, 110, 30));
    QCOMPARE(window.statusLine()->geometry(), QRect(0, h - s, inner.width(), s));
    QCOMPARE(window.commandBar()->width(), inner.width());
    QCOMPARE(window.outputPanel()->geometry().bottom() + 1, h - s - 30);
    // The tab pages follow the panel by the same amount; both fill the same tab area.
    const QSize grown(w - 640, (h - t - s - 100) - (500 - t - s));
    QCOMPARE(window.outputSplitter()->size(), splitterBefore + grown);
    window.outputPanel()->setCurrentIndex(1);
    QTRY_COMPARE(window.gcrTrackPane()->size(), splitterBefore + grown);
  }

  void tinyWindowDoesNotBreakTheLayout() {
    MainWindow window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.resize(120, window.menuBar()->height() + 20);
    QTRY_VERIFY(window.innerArea()->height() < 200);
    QVERIFY(window.outputPanel()->height() >= 0);
    QVERIFY(window.deviceFrame()->width() >= 0);
    QCOMPARE(window.deviceCombo()->size(), QSize(160, 30));
  }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
