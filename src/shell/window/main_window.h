#pragma once
// The program's one window: menu bar, command bar, the "Device" row, the output panel with
// the directory list, the log pane, the "Track GCR" pane, the disk map and the RPM chart, and
// the status bar.
//
// The inner area (everything below the menu bar, 650 x 600 at start) holds the command bar at
// its top, the status bar at its bottom and the controls in between, all placed by pixel
// coordinates: T is the command bar's height and S the status bar's, measured once they
// exist. LayoutWindow re-fits the output panel and the device frame on every size change.

#include <QMainWindow>
#include <map>

class QAction;
class QComboBox;
class QGroupBox;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QSplitter;
class QStatusBar;
class QTabWidget;

namespace dw {

class CommandBar;
class DirectoryList;
class DiskMapView;
class RpmChartView;

class MainWindow final : public QMainWindow {
  Q_OBJECT

 public:
  MainWindow();

  QWidget* innerArea() const { return inner_; }
  CommandBar* commandBar() const { return commandBar_; }
  QStatusBar* statusLine() const { return statusLine_; }
  QLabel* statusText() const { return statusText_; }
  QProgressBar* progressBar() const { return progressBar_; }
  QGroupBox* deviceFrame() const { return deviceFrame_; }
  QComboBox* deviceCombo() const { return deviceCombo_; }
  QPushButton* resetButton() const { return resetButton_; }
  QTabWidget* outputPanel() const { return outputPanel_; }
  QSplitter* outputSplitter() const { return outputSplitter_; }
  DirectoryList* directoryList() const { return directoryList_; }
  QPlainTextEdit* logPane() const { return logPane_; }
  QPlainTextEdit* gcrTrackPane() const { return gcrTrackPane_; }
  DiskMapView* diskMap() const { return diskMap_; }
  RpmChartView* rpmChart() const { return rpmChart_; }
  // The menu item with this id, nullptr when there is none.
  QAction* menuAction(int id) const;

  int commandBarHeight() const { return commandBarHeight_; }
  int statusBarHeight() const { return statusBarHeight_; }

  // Lets the next close go through; until then the close button only asks the program.
  void allowClose() { closeAllowed_ = true; }

 signals:
  void commandChosen(int id);
  void resetClicked();
  void deviceChosen();
  void directoryDoubleClicked();
  void closeRequested();

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildMenus();
  void BuildStatusBar();
  void BuildControls();
  void LayoutWindow();

  QWidget* inner_ = nullptr;
  CommandBar* commandBar_ = nullptr;
  QStatusBar* statusLine_ = nullptr;
  QLabel* statusText_ = nullptr;
  QProgressBar* progressBar_ = nullptr;
  QGroupBox* deviceFrame_ = nullptr;
  QComboBox* deviceCombo_ = nullptr;
  QPushButton* resetButton_ = nullptr;
  QTabWidget* outputPanel_ = nullptr;
  QSplitter* outputSplitter_ = nullptr;
  DirectoryList* directoryList_ = nullptr;
  QPlainTextEdit* logPane_ = nullptr;
  QPlainTextEdit* gcrTrackPane_ = nullptr;
  DiskMapView* diskMap_ = nullptr;
  RpmChartView* rpmChart_ = nullptr;
  std::map<int, QAction*> menuActions_;
  int commandBarHeight_ = 0;
  int statusBarHeight_ = 0;
  bool closeAllowed_ = false;
};

}  // namespace dw
