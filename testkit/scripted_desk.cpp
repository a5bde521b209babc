#include "testkit/scripted_desk.h"

#include <algorithm>

namespace dw {

void ScriptedDesk::ScheduleEvent(int64_t atUs, DeskEvent event) {
  Timed timed{atUs, event};
  auto later = std::upper_bound(events_.begin(), events_.end(), atUs,
                                [](int64_t t, const Timed& e) { return t < e.atUs; });
  events_.insert(later, timed);
}

bool ScriptedDesk::checked(int id) const {
  auto it = checked_.find(id);
  return it != checked_.end() && it->second;
}

namespace {

const char* IconName(MessageIcon icon) {
  switch (icon) {
    case MessageIcon::kWarning:
      return "warning";
    case MessageIcon::kInformation:
      return "information";
    case MessageIcon::kQuestion:
      return "question";
    default:
      return "no icon";
  }
}

const char* ButtonsName(MessageButtons buttons) {
  switch (buttons) {
    case MessageButtons::kYesNo:
      return "Yes/No";
    case MessageButtons::kYesNoCancel:
      return "Yes/No/Cancel";
    default:
      return "OK";
  }
}

const char* AnswerName(MessageAnswer answer) {
  switch (answer) {
    case MessageAnswer::kYes:
      return "Yes";
    case MessageAnswer::kNo:
      return "No";
    case MessageAnswer::kCancel:
      return "Cancel";
    default:
      return "OK";
  }
}

}  // namespace

namespace {

// A log line is "hh:mm:ss text", or empty.
constexpr size_t kStampLength = 9;

std::vector<std::string> WithoutStamps(const std::vector<std::string>& lines) {
  std::vector<std::string> texts;
  texts.reserve(lines.size());
  for (const std::string& line : lines) {
    texts.push_back(line.size() >= kStampLength ? line.substr(kStampLength) : line);
  }
  return texts;
}

}  // namespace

std::vector<std::string> ScriptedDesk::logTexts() const {
  return WithoutStamps(log_);
}

std::vector<std::string> ScriptedDesk::fullLogTexts() const {
  return WithoutStamps(fullLog_);
}

bool ScriptedDesk::Logged(const std::string& text) const {
  std::vector<std::string> texts = fullLogTexts();
  return std::find(texts.begin(), texts.end(), text) != texts.end();
}

void ScriptedDesk::AppendLogLine(const std::string& line) {
  transcript_.push_back("LOG " + line);
  log_.push_back(line);
  fullLog_.push_back(line);
}

void ScriptedDesk::SetStatusText(const std::string& text) {
  statusText_ = text;
  statusTexts_.push_back(text);
  statusTimesUs_.push_back(clock_.NowUs());
  transcript_.push_back("STATUS " + text);
}

void ScriptedDesk::SetProgress(int value, int, int maximum) {
  progressValue_ = value;
  progressMaximum_ = maximum;
}

std::optional<DeskEvent> ScriptedDesk::Deliver() {
  DeskEvent event = events_.front().event;
  events_.pop_front();
  // A click on RESET leaves the toggle pressed whoever takes the event.
  if (event.kind == EventKind::kResetButton) resetDown_ = true;
  if (event.kind == EventKind::kDirectoryDoubleClick && event.id >= 0) {
    selectedDirectory_ = event.id;
  }
  if (event.kind == EventKind::kDeviceSelected && event.id >= 0 &&
      event.id < static_cast<int>(devices_.size())) {
    selectedDevice_ = event.id;
  }
  return event;
}

std::optional<DeskEvent> ScriptedDesk::TakeEvent() {
  // Past the time limit the window is closed once; whoever drains events drops it, the next
  // wait sees it again.
  if (clock_.NowUs() > kTimeLimitUs && !limitCloseTaken_) {
    limitCloseTaken_ = true;
    return DeskEvent{EventKind::kCloseRequest, 0};
  }
  if (!events_.empty() && events_.front().atUs <= clock_.NowUs()) return Deliver();
  return std::nullopt;
}

std::optional<DeskEvent> ScriptedDesk::WaitEvent(int maxMs) {
  if (clock_.NowUs() > kTimeLimitUs) return DeskEvent{EventKind::kCloseRequest, 0};
  int64_t deadline = clock_.NowUs() + int64_t{maxMs} * 1000;
  if (!events_.empty() && events_.front().atUs <= deadline) {
    if (events_.front().atUs > clock_.NowUs())
      clock_.AdvanceUs(events_.front().atUs - clock_.NowUs());
    return Deliver();
  }
  clock_.AdvanceUs(deadline - clock_.NowUs());
  return std::nullopt;
}

std::optional<DeskEvent> ScriptedDesk::WaitIdle() {
  if (!idleEvents_.empty()) {
    const Timed next = idleEvents_.front();
    // A timed event that falls due while the user still holds back comes first.
    const bool heldBack = next.atUs > clock_.NowUs();
    if (!heldBack || events_.empty() || events_.front().atUs > next.atUs) {
      events_.push_front({std::max(clock_.NowUs(), next.atUs), next.event});
      idleEvents_.pop_front();
    }
    if (clock_.NowUs() > kTimeLimitUs) return DeskEvent{EventKind::kCloseRequest, 0};
    if (events_.front().atUs > clock_.NowUs())
      clock_.AdvanceUs(events_.front().atUs - clock_.NowUs());
    return Deliver();
  }
  if (events_.empty()) return DeskEvent{EventKind::kCloseRequest, 0};
  return WaitEvent(1);
}

void ScriptedDesk::ClearDevices() {
  devices_.clear();
  selectedDevice_ = -1;
}

std::string ScriptedDesk::DeviceText(int index) {
  if (index < 0 || index >= static_cast<int>(devices_.size())) return {};
  return devices_[index];
}

void ScriptedDesk::SetDeviceText(int index, const std::string& text) {
  if (index >= 0 && index < static_cast<int>(devices_.size())) devices_[index] = text;
}

void ScriptedDesk::SelectDevice(int index) {
  selectedDevice_ = (index >= 0 && index < static_cast<int>(devices_.size())) ? index : -1;
}

void ScriptedDesk::ClearDirectory() {
  directory_.clear();
  directoryBytes_.clear();
  selectedDirectory_ = -1;
}

void ScriptedDesk::AddDirectoryLine(const std::string& text) {
  directory_.push_back(text);
  directoryBytes_.push_back(text);
}

std::string ScriptedDesk::DirectoryLine(int index) {
  if (index < 0 || index >= static_cast<int>(directory_.size())) return {};
  return directory_[index];
}

void ScriptedDesk::SetDirectoryNote(int index, const std::string& note) {
  if (index < 0 || index >= static_cast<int>(directory_.size())) return;
  directory_[static_cast<size_t>(index)] = directoryBytes_[static_cast<size_t>(index)] + note;
}

void ScriptedDesk::RunWhileAsked() {
  if (whileAsked_.empty()) return;
  const std::function<void()> action = std::move(whileAsked_.front());
  whileAsked_.pop_front();
  if (action) action();
}

MessageAnswer ScriptedDesk::ShowMessage(const MessageRequest& request) {
  RunWhileAsked();
  MessageAnswer answer = request.defaultButton;
  if (auto standing = standingAnswers_.find(request.caption); standing != standingAnswers_.end()) {
    answer = standing->second;
  } else if (!messageAnswers_.empty()) {
    answer = messageAnswers_.front();
    messageAnswers_.pop_front();
  }
  messages_.push_back({request, answer});
  transcript_.push_back("BOX " + request.caption + " | " + request.text + " | " +
                        ButtonsName(request.buttons) + " | " + IconName(request.icon) + " -> " +
                        AnswerName(answer));
  return answer;
}

std::optional<std::string> ScriptedDesk::AskText(const TextRequest& request) {
  textRequests_.push_back(request);
  std::optional<std::string> answer;
  if (!textAnswers_.empty()) {
    answer = textAnswers_.front();
    textAnswers_.pop_front();
  }
  transcript_.push_back("ASK " + request.title + " | " + request.prompt + " -> " +
                        (answer ? "\"" + *answer + "\"" : std::string("cancel")));
  return answer;
}

FileAnswer ScriptedDesk::ChooseFile(const FileRequest& request) {
  RunWhileAsked();
  FileAnswer answer{std::string(), request.entry};
  if (!fileAnswers_.empty()) {
    answer = fileAnswers_.front();
    fileAnswers_.pop_front();
    if (answer.selectedEntry < 0) answer.selectedEntry = request.entry;
  }
  fileRequests_.push_back({request, answer});
  transcript_.push_back(std::string("FILE ") + request.title + " | " + request.typeList +
                        " | entry " + std::to_string(request.entry) + " -> " +
                        (answer.path.empty() ? std::string("cancel") : answer.path));
  return answer;
}

void ScriptedDesk::StartDiskMap(const DiskMapLayout& layout) {
  diskMapLayout_ = layout;
  diskMap_.clear();
  for (int sectors : layout.sectorsPerTrack) {
    diskMap_.emplace_back(static_cast<size_t>(std::max(0, sectors)), kMapNotRead);
  }
  ++diskMapStarts_;
  trackMapCalls_ = 0;
}

// Cells beyond the layout are dropped, as a window would have no place for them.
void ScriptedDesk::ShowTrackOnMap(int track, const std::vector<uint8_t>& cells) {
  ++trackMapCalls_;
  for (size_t sector = 0; sector < cells.size(); ++sector) {
    ShowSectorOnMap(track, static_cast<int>(sector), cells[sector]);
  }
  const auto action = trackShownActions_.find(track);
  if (action == trackShownActions_.end()) return;
  const std::function<void()> run = std::move(action->second);
  trackShownActions_.erase(action);
  if (run) run();
}

void ScriptedDesk::ShowSectorOnMap(int track, int sector, uint8_t cell) {
  if (track < 1 || track > static_cast<int>(diskMap_.size())) return;
  std::vector<uint8_t>& column = diskMap_[static_cast<size_t>(track - 1)];
  if (sector >= 0 && sector < static_cast<int>(column.size())) {
    column[static_cast<size_t>(sector)] = cell;
  }
}

}  // namespace dw
