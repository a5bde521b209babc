#include "shell/window/qt_desk.h"

#include <QAction>
#include <QComboBox>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QFile>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QStringList>
#include <QTextCursor>
#include <QUrl>
#include <algorithm>
#include <array>
#include <utility>

#include "shell/window/command_bar.h"
#include "shell/window/directory_list.h"
#include "shell/window/disk_map_view.h"
#include "shell/window/file_type_filters.h"
#include "shell/window/rpm_chart_view.h"

namespace dw {

namespace {

// While lines keep coming, the log pane is repainted at most this often.
constexpr qint64 kLogPaintIntervalMs = 20;

// The program's texts are bytes, one Latin-1 character each; its line breaks are CR LF.
QString ToQt(const std::string& text) {
  QString converted = QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
  converted.replace(QLatin1String("\r\n"), QLatin1String("\n"));
  converted.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return converted;
}

std::string FromQt(const QString& text) {
  return text.toLatin1().toStdString();
}

// Paths travel in the system's own file-name encoding, so that the program can open them.
std::string PathFromQt(const QString& path) {
  return QFile::encodeName(path).toStdString();
}
QString PathToQt(const std::string& path) {
  return QFile::decodeName(QByteArray(path.data(), static_cast<qsizetype>(path.size())));
}

constexpr std::array<std::pair<MessageIcon, QMessageBox::Icon>, 4> kMessageIcons{{
    {MessageIcon::kNone, QMessageBox::NoIcon},
    {MessageIcon::kWarning, QMessageBox::Warning},
    {MessageIcon::kInformation, QMessageBox::Information},
    {MessageIcon::kQuestion, QMessageBox::Question},
}};

constexpr std::array<std::pair<MessageAnswer, QMessageBox::StandardButton>, 4> kMessageButtons{{
    {MessageAnswer::kOk, QMessageBox::Ok},
    {MessageAnswer::kYes, QMessageBox::Yes},
    {MessageAnswer::kNo, QMessageBox::No},
    {MessageAnswer::kCancel, QMessageBox::Cancel},
}};

QMessageBox::Icon QtIcon(MessageIcon icon) {
  for (const auto& [ours, theirs] : kMessageIcons) {
    if (ours == icon) return theirs;
  }
  return QMessageBox::NoIcon;
}

QMessageBox::StandardButton QtButton(MessageAnswer answer) {
  for (const auto& [ours, theirs] : kMessageButtons) {
    if (ours == answer) return theirs;
  }
  return QMessageBox::Ok;
}

MessageAnswer AnswerOf(QMessageBox::StandardButton button, MessageButtons offered) {
  for (const auto& [ours, theirs] : kMessageButtons) {
    if (theirs == button) return ours;
  }
  // Closed without a button: a question counts as No (or Cancel where offered), a notice as OK.
  switch (offered) {
    case MessageButtons::kYesNo:
      return MessageAnswer::kNo;
    case MessageButtons::kYesNoCancel:
      return MessageAnswer::kCancel;
    default:
      return MessageAnswer::kOk;
  }
}

}  // namespace

QtDesk::QtDesk() : window_(std::make_unique<MainWindow>()) {
  waitTimer_.setSingleShot(true);
  waitTimer_.setTimerType(Qt::PreciseTimer);
  QObject::connect(&waitTimer_, &QTimer::timeout, &waitTimer_, [this] { waitExpired_ = true; });

  MainWindow* w = window_.get();
  QObject::connect(w, &MainWindow::commandChosen, w,
                   [this](int id) { Queue(EventKind::kCommand, id); });
  QObject::connect(w, &MainWindow::resetClicked, w, [this] { Queue(EventKind::kResetButton); });
  QObject::connect(w, &MainWindow::deviceChosen, w, [this] { Queue(EventKind::kDeviceSelected); });
  QObject::connect(w, &MainWindow::directoryDoubleClicked, w,
                   [this] { Queue(EventKind::kDirectoryDoubleClick, kDirectoryListId); });
  QObject::connect(w, &MainWindow::closeRequested, w, [this] { Queue(EventKind::kCloseRequest); });
}

QtDesk::~QtDesk() = default;

// --- panes and status bar ------------------------------------------------------------

void QtDesk::HoldLogPaint() {
  if (logPaintHeld_) return;
  // A line after a quiet spell is painted at once; only a burst is held back.
  if (!sinceLogPaint_.isValid() || sinceLogPaint_.elapsed() >= kLogPaintIntervalMs) {
    sinceLogPaint_.start();
    return;
  }
  window_->logPane()->setUpdatesEnabled(false);
  logPaintHeld_ = true;
}

void QtDesk::ReleaseLogPaint(bool now) {
  if (!logPaintHeld_) return;
  if (!now && sinceLogPaint_.elapsed() < kLogPaintIntervalMs) return;
  window_->logPane()->setUpdatesEnabled(true);
  logPaintHeld_ = false;
  sinceLogPaint_.start();
}

void QtDesk::AppendLogLine(const std::string& line) {
  HoldLogPaint();
  QPlainTextEdit* pane = window_->logPane();
  pane->appendPlainText(ToQt(line));
  QScrollBar* bar = pane->verticalScrollBar();
  bar->setValue(bar->maximum());
}

void QtDesk::ClearLog() {
  window_->logPane()->clear();
}

void QtDesk::AppendGcrPaneText(const std::string& text) {
  QPlainTextEdit* pane = window_->gcrTrackPane();
  QTextCursor end(pane->document());
  end.movePosition(QTextCursor::End);
  end.insertText(ToQt(text));
}

void QtDesk::ClearGcrPane() {
  window_->gcrTrackPane()->clear();
}

void QtDesk::SetStatusText(const std::string& text) {
  window_->statusText()->setText(ToQt(text));
}

void QtDesk::SetProgress(int value, int minimum, int maximum) {
  QProgressBar* bar = window_->progressBar();
  maximum = std::max(minimum, maximum);
  bar->setRange(minimum, maximum);
  // Qt ignores a value outside the range; the bar then shows its nearest end.
  bar->setValue(std::clamp(value, minimum, maximum));
}

// --- events ----------------------------------------------------------------------------

std::optional<DeskEvent> QtDesk::Next() {
  if (events_.empty()) return std::nullopt;
  DeskEvent event = events_.front();
  events_.pop_front();
  return event;
}

std::optional<DeskEvent> QtDesk::TakeEvent() {
  if (!events_.empty()) return Next();
  ReleaseLogPaint(false);
  QCoreApplication::processEvents(QEventLoop::AllEvents);
  return Next();
}

std::optional<DeskEvent> QtDesk::WaitEvent(int maxMs) {
  if (std::optional<DeskEvent> event = TakeEvent()) return event;
  if (maxMs <= 0) return std::nullopt;
  ReleaseLogPaint(true);
  waitExpired_ = false;
  waitTimer_.start(maxMs);
  while (events_.empty() && !waitExpired_) {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
  waitTimer_.stop();
  return Next();
}

std::optional<DeskEvent> QtDesk::WaitIdle() {
  if (std::optional<DeskEvent> event = TakeEvent()) return event;
  ReleaseLogPaint(true);
  // Nothing changes while the program is idle, so it sleeps until the window system has
  // something. Objects that Qt retired meanwhile (tooltips, closed boxes) go first.
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  return Next();
}

// --- RESET -----------------------------------------------------------------------------

bool QtDesk::IsResetDown() {
  return window_->resetButton()->isChecked();
}

void QtDesk::ReleaseReset() {
  window_->resetButton()->setChecked(false);
}

// --- device selector -------------------------------------------------------------------

void QtDesk::ClearDevices() {
  window_->deviceCombo()->clear();
}

void QtDesk::AddDevice(const std::string& text) {
  window_->deviceCombo()->addItem(ToQt(text));
}

int QtDesk::DeviceCount() {
  return window_->deviceCombo()->count();
}

int QtDesk::SelectedDevice() {
  return window_->deviceCombo()->currentIndex();
}

std::string QtDesk::DeviceText(int index) {
  return FromQt(window_->deviceCombo()->itemText(index));
}

void QtDesk::SetDeviceText(int index, const std::string& text) {
  QComboBox* combo = window_->deviceCombo();
  if (index >= 0 && index < combo->count()) combo->setItemText(index, ToQt(text));
}

void QtDesk::SelectDevice(int index) {
  QComboBox* combo = window_->deviceCombo();
  combo->setCurrentIndex(index >= 0 && index < combo->count() ? index : -1);
}

void QtDesk::SetDevicesEnabled(bool enabled) {
  window_->deviceCombo()->setEnabled(enabled);
}

// --- directory list --------------------------------------------------------------------

void QtDesk::ClearDirectory() {
  window_->directoryList()->clear();
}

void QtDesk::AddDirectoryLine(const std::string& text) {
  window_->directoryList()->addListingLine(text);
}

int QtDesk::DirectoryCount() {
  return window_->directoryList()->count();
}

std::string QtDesk::DirectoryLine(int index) {
  return window_->directoryList()->lineText(index);
}

void QtDesk::SetDirectoryNote(int index, const std::string& note) {
  window_->directoryList()->setNote(index, note);
}

int QtDesk::SelectedDirectoryLine() {
  return window_->directoryList()->selectedLine();
}

void QtDesk::ClearDirectorySelection() {
  window_->directoryList()->clearSelection();
}

// --- command bar and check items -------------------------------------------------------

void QtDesk::SetCommandButtonsEnabled(bool enabled) {
  for (QAction* action : window_->commandBar()->actions()) {
    if (!action->isSeparator()) action->setEnabled(enabled);
  }
}

void QtDesk::SetCommandButtonEnabled(int id, bool enabled) {
  if (QAction* action = window_->commandBar()->action(id)) action->setEnabled(enabled);
}

void QtDesk::ReleaseCommandButton(int id) {
  if (QAction* action = window_->commandBar()->action(id)) action->setChecked(false);
}

void QtDesk::SetChecked(int id, bool checked) {
  QAction* action = window_->menuAction(id);
  if (action != nullptr && action->isCheckable()) action->setChecked(checked);
}

void QtDesk::SetItemText(int id, const std::string& text) {
  QAction* action = window_->menuAction(id);
  if (action != nullptr) action->setText(ToQt(text));
}

// --- boxes and requesters --------------------------------------------------------------

MessageAnswer QtDesk::ShowMessage(const MessageRequest& request) {
  ReleaseLogPaint(true);
  QMessageBox box(QtIcon(request.icon), ToQt(request.caption), ToQt(request.text),
                  QMessageBox::NoButton, window_.get());
  box.setObjectName("MessageBox");
  box.setTextFormat(Qt::PlainText);
  if (request.buttons == MessageButtons::kYesNo) {
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
  } else if (request.buttons == MessageButtons::kYesNoCancel) {
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    box.setEscapeButton(QMessageBox::Cancel);
  } else {
    box.setStandardButtons(QMessageBox::Ok);
  }
  box.setDefaultButton(QtButton(request.defaultButton));
  box.exec();
  return AnswerOf(box.standardButton(box.clickedButton()), request.buttons);
}

std::optional<std::string> QtDesk::AskText(const TextRequest& request) {
  ReleaseLogPaint(true);
  QInputDialog dialog(window_.get());
  dialog.setObjectName("TextRequester");
  dialog.setInputMode(QInputDialog::TextInput);
  dialog.setWindowTitle(ToQt(request.title));
  dialog.setLabelText(ToQt(request.prompt));
  dialog.setTextValue(ToQt(request.defaultText));
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  std::string typed;
  for (char32_t code : dialog.textValue().toUcs4()) typed.push_back(static_cast<char>(code & 0xFF));
  return typed;
}

FileAnswer QtDesk::ChooseFile(const FileRequest& request) {
  ReleaseLogPaint(true);
  QStringList filters;
  for (const std::string& filter : NameFiltersFromTypeList(request.typeList)) {
    filters << QString::fromLatin1(filter.data(), static_cast<qsizetype>(filter.size()));
  }

  QFileDialog dialog(window_.get(), ToQt(request.title), PathToQt(request.folder));
  dialog.setObjectName("FileRequester");
  dialog.setNameFilters(filters);
  if (request.saving) {
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    // The program asks its own question before it replaces a file.
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    if (!request.fileName.empty()) dialog.selectFile(PathToQt(request.fileName));
  } else {
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
  }
  if (!filters.isEmpty()) {
    dialog.selectNameFilter(filters[PreselectedEntry(request.entry, filters.size())]);
  }

  const bool chosen = dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty();
  FileAnswer answer;
  answer.selectedEntry =
      std::max(0, static_cast<int>(filters.indexOf(dialog.selectedNameFilter())));
  if (chosen) answer.path = PathFromQt(dialog.selectedFiles().first());
  return answer;
}

// --- disk map and RPM chart ----------------------------------------------------------
// The views only take the data here; they paint on their own timer.

void QtDesk::StartDiskMap(const DiskMapLayout& layout) {
  window_->diskMap()->Start(layout);
}

void QtDesk::ShowTrackOnMap(int track, const std::vector<uint8_t>& cells) {
  window_->diskMap()->SetTrack(track, cells);
}

void QtDesk::ShowSectorOnMap(int track, int sector, uint8_t cell) {
  window_->diskMap()->SetSector(track, sector, cell);
}

// A speed series is there to be watched while the user turns the drive's adjustment screw.
void QtDesk::StartRpmSeries(int planned, const std::string& caption) {
  window_->rpmChart()->Start(planned, ToQt(caption));
  window_->outputPanel()->setCurrentWidget(window_->rpmChart());
}

void QtDesk::ShowRpm(double rpm) {
  window_->rpmChart()->Add(rpm);
}

// --- the end ---------------------------------------------------------------------------

bool QtDesk::OpenFolder(const std::string& path) {
  return QDesktopServices::openUrl(QUrl::fromLocalFile(PathToQt(path)));
}

void QtDesk::Close() {
  window_->allowClose();
  window_->close();
}

}  // namespace dw
