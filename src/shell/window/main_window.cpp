#include "shell/window/main_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <algorithm>

#include "shell/window/command_bar.h"
#include "shell/window/directory_list.h"
#include "shell/window/disk_map_view.h"
#include "shell/window/rpm_chart_view.h"
#include "shell/window/window_tables.h"

namespace dw {

namespace {

constexpr int kInnerWidth = 650;
constexpr int kInnerHeight = 600;
constexpr int kStatusTextWidth = 400;
constexpr int kProgressWidth = 150;

// Pixel coordinates in the inner area; y is counted from the command bar's bottom edge (T).
constexpr QRect kDeviceFrameRect{5, 5, 640, 60};
constexpr QRect kDeviceComboRect{30, 25, 160, 30};
constexpr QRect kResetButtonRect{240, 25, 110, 30};
constexpr int kOutputPanelX = 5;
constexpr int kOutputPanelY = 70;
// The panel leaves this much of the inner height to the rows above it and the gap below it.
constexpr int kOutputPanelReserve = 100;
constexpr int kBorder = 10;  // inner width minus the width of the panel and the frame

const QColor kDirectoryText(128, 128, 255);
const QColor kDirectoryBackground(0, 0, 255);

QFont MakeFont(const FontSpec& spec) {
  QFont font(QString::fromLatin1(spec.face), spec.pointSize);
  font.setBold(spec.bold);
  return font;
}

QPlainTextEdit* MakeTextPane(const char* name, QWidget* parent) {
  auto* pane = new QPlainTextEdit(parent);
  pane->setObjectName(name);
  pane->setReadOnly(true);
  pane->setFont(MakeFont(kPaneFont));
  return pane;
}

}  // namespace

MainWindow::MainWindow() {
  setObjectName("MainWindow");
  setWindowTitle("Diskwright");
  // Title bar, system menu, sizeable frame and minimise button; no maximise button.
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);

  BuildMenus();
  inner_ = new QWidget(this);
  inner_->setObjectName("InnerArea");
  setCentralWidget(inner_);

  commandBar_ = new CommandBar(inner_);
  connect(commandBar_, &CommandBar::commandChosen, this, &MainWindow::commandChosen);
  // Measured once the style has had its say, which it otherwise has only at the first show.
  commandBar_->ensurePolished();
  commandBarHeight_ = commandBar_->sizeHint().height();
  BuildStatusBar();
  BuildControls();

  const int menuHeight = menuBar()->sizeHint().height();
  resize(kInnerWidth, kInnerHeight + menuHeight);
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    move(area.x() + std::max(0, (area.width() - width()) / 2),
         area.y() + std::max(0, (area.height() - height()) / 2));
  }
  inner_->resize(kInnerWidth, kInnerHeight);
  LayoutWindow();
  inner_->installEventFilter(this);
}

void MainWindow::BuildMenus() {
  for (const MenuSpec& spec : kMenus) {
    QMenu* menu = menuBar()->addMenu(QString::fromLatin1(spec.title));
    menu->setObjectName(spec.objectName);
    menu->setSeparatorsCollapsible(false);
    for (const MenuItemSpec& item : spec.items) {
      if (item.id == kSeparator.id) {
        menu->addSeparator();
        continue;
      }
      QAction* action = menu->addAction(QString::fromLatin1(item.text));
      action->setObjectName(QString("action%1").arg(item.id));
      action->setData(item.id);
      const int id = item.id;
      if (IsWindowOnly(id)) {
        action->setCheckable(item.checkItem);
      } else if (item.checkItem) {
        action->setCheckable(true);
        // The program owns the check mark: a selection may be dropped while a command runs,
        // so Qt's own toggle is undone and the program sets the mark when it acts.
        connect(action, &QAction::triggered, this, [this, action, id](bool checked) {
          action->setChecked(!checked);
          emit commandChosen(id);
        });
      } else {
        connect(action, &QAction::triggered, this, [this, id] { emit commandChosen(id); });
      }
      menuActions_[id] = action;
    }
  }
}

void MainWindow::BuildStatusBar() {
  statusLine_ = new QStatusBar(inner_);
  statusLine_->setObjectName("StatusBar");
  statusText_ = new QLabel(statusLine_);
  statusText_->setObjectName("StatusText");
  statusText_->setTextFormat(Qt::PlainText);
  statusText_->setFixedWidth(kStatusTextWidth);
  progressBar_ = new QProgressBar(statusLine_);
  progressBar_->setObjectName("ProgressBar");
  progressBar_->setFixedWidth(kProgressWidth);
  progressBar_->setTextVisible(false);
  progressBar_->setRange(0, 100);
  progressBar_->setValue(0);
  statusLine_->addWidget(statusText_);
  statusLine_->addWidget(progressBar_);
  statusLine_->ensurePolished();
  statusBarHeight_ = statusLine_->sizeHint().height();
}

void MainWindow::BuildControls() {
  const int t = commandBarHeight_;

  deviceFrame_ = new QGroupBox("Device", inner_);
  deviceFrame_->setObjectName("DeviceFrame");
  deviceFrame_->setGeometry(kDeviceFrameRect.translated(0, t));

  deviceCombo_ = new QComboBox(inner_);
  deviceCombo_->setObjectName("DeviceCombo");
  deviceCombo_->setFont(MakeFont(kSelectorFont));
  deviceCombo_->setGeometry(kDeviceComboRect.translated(0, t));
  deviceCombo_->setEnabled(false);
  // Only the user's own choice counts; the program's selections raise nothing.
  connect(deviceCombo_, &QComboBox::activated, this, [this] { emit deviceChosen(); });

  resetButton_ = new QPushButton("RESET", inner_);
  resetButton_->setObjectName("ResetButton");
  resetButton_->setCheckable(true);
  resetButton_->setGeometry(kResetButtonRect.translated(0, t));
  connect(resetButton_, &QPushButton::clicked, this, [this] { emit resetClicked(); });

  outputPanel_ = new QTabWidget(inner_);
  outputPanel_->setObjectName("OutputPanel");
  outputPanel_->setGeometry(kOutputPanelX, t + kOutputPanelY, kInnerWidth - kBorder,
                            std::max(0, kInnerHeight - kOutputPanelReserve - t - statusBarHeight_));

  outputSplitter_ = new QSplitter(Qt::Vertical);
  outputSplitter_->setObjectName("OutputSplitter");
  outputSplitter_->setChildrenCollapsible(false);
  directoryList_ = new DirectoryList(outputSplitter_);
  directoryList_->setFont(MakeFont(kListFont));
  QPalette colours = directoryList_->palette();
  colours.setColor(QPalette::Text, kDirectoryText);
  colours.setColor(QPalette::Base, kDirectoryBackground);
  directoryList_->setPalette(colours);
  connect(directoryList_, &DirectoryList::lineDoubleClicked, this,
          &MainWindow::directoryDoubleClicked);
  // As the computer's Shift and Commodore keys switch its screen between its two sets.
  connect(menuAction(kViewLowerCase), &QAction::toggled, directoryList_,
          &DirectoryList::setLowerCase);
  logPane_ = MakeTextPane("LogPane", outputSplitter_);
  outputSplitter_->addWidget(directoryList_);
  outputSplitter_->addWidget(logPane_);
  outputPanel_->addTab(outputSplitter_, "Output");

  gcrTrackPane_ = MakeTextPane("GcrTrackPane", nullptr);
  outputPanel_->addTab(gcrTrackPane_, "Track GCR");

  diskMap_ = new DiskMapView;
  outputPanel_->addTab(diskMap_, "Disk map");
  rpmChart_ = new RpmChartView;
  outputPanel_->addTab(rpmChart_, "RPM");
}

QAction* MainWindow::menuAction(int id) const {
  auto found = menuActions_.find(id);
  return found == menuActions_.end() ? nullptr : found->second;
}

void MainWindow::LayoutWindow() {
  const int w = inner_->width() - kBorder;
  const int h = inner_->height();
  const int t = commandBarHeight_;
  const int s = statusBarHeight_;
  commandBar_->setGeometry(0, 0, inner_->width(), t);
  statusLine_->setGeometry(0, h - s, inner_->width(), s);
  outputPanel_->resize(std::max(0, w), std::max(0, h - t - s - kOutputPanelReserve));
  deviceFrame_->resize(std::max(0, w), deviceFrame_->height());
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == inner_ && event->type() == QEvent::Resize) LayoutWindow();
  return QMainWindow::eventFilter(watched, event);
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (closeAllowed_) {
    event->accept();
    return;
  }
  // The window stays; the program decides, and ends through its own shut-down.
  event->ignore();
  emit closeRequested();
}

}  // namespace dw
