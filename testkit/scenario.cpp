#include "testkit/scenario.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <map>
#include <ostream>
#include <sstream>

#include "testkit/harness.h"

namespace dw {

namespace {

std::vector<std::string> SplitWords(const std::string& line) {
  std::vector<std::string> words;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && std::isspace(static_cast<unsigned char>(line[i]))) ++i;
    if (i >= line.size()) break;
    std::string word;
    if (line[i] == '"') {
      // A quoted text keeps its blanks; \" inside stands for a quote.
      ++i;
      while (i < line.size() && line[i] != '"') {
        if (line[i] == '\\' && i + 1 < line.size()) ++i;
        word.push_back(line[i++]);
      }
      ++i;
    } else {
      while (i < line.size() && !std::isspace(static_cast<unsigned char>(line[i]))) {
        word.push_back(line[i++]);
      }
    }
    words.push_back(word);
  }
  return words;
}

std::string StripComment(const std::string& line) {
  bool quoted = false;
  for (size_t i = 0; i < line.size(); ++i) {
    if (line[i] == '"') quoted = !quoted;
    if (line[i] == '#' && !quoted) return line.substr(0, i);
  }
  return line;
}

bool ToInt(const std::string& text, int* value) {
  if (text.empty()) return false;
  char* end = nullptr;
  long parsed = std::strtol(text.c_str(), &end, 0);
  if (*end != 0) return false;
  *value = static_cast<int>(parsed);
  return true;
}

const std::map<std::string, int>& VerbArgumentCounts() {
  // verb -> the least number of words it needs
  static const std::map<std::string, int> counts{
      {"command", 1}, {"doubleclick", 1}, {"select", 1}, {"reset", 0}, {"close", 0},
      {"text", 1},    {"file", 1},        {"button", 1}, {"fault", 1}, {"wait", 1},
  };
  return counts;
}

}  // namespace

long long ParseDuration(const std::string& text) {
  if (text.empty()) return -1;
  double scale = 1000.0;  // plain numbers are milliseconds
  std::string number = text;
  if (number.size() > 2 && number.substr(number.size() - 2) == "ms") {
    number.resize(number.size() - 2);
  } else if (number.size() > 2 && number.substr(number.size() - 2) == "us") {
    number.resize(number.size() - 2);
    scale = 1.0;
  } else if (number.back() == 's') {
    number.pop_back();
    scale = 1000000.0;
  }
  char* end = nullptr;
  double value = std::strtod(number.c_str(), &end);
  if (number.empty() || *end != 0 || value < 0) return -1;
  return std::llround(value * scale);
}

bool ParseScenario(const std::string& text, Scenario* scenario, std::string* error) {
  std::istringstream in(text);
  std::string raw;
  int lineNumber = 0;
  while (std::getline(in, raw)) {
    ++lineNumber;
    std::vector<std::string> words = SplitWords(StripComment(raw));
    if (words.empty()) continue;
    auto fail = [&](const std::string& why) {
      *error = "line " + std::to_string(lineNumber) + ": " + why;
      return false;
    };
    std::string verb = words[0];
    words.erase(words.begin());
    if (verb == "bus") {
      if (words.size() != 1) return fail("bus takes one description");
      scenario->bus = words[0];
      continue;
    }
    if (verb == "start") {
      if (words.size() != 1 || words[0].size() != 8) return fail("start takes hh:mm:ss");
      scenario->startTime = words[0];
      continue;
    }
    auto known = VerbArgumentCounts().find(verb);
    if (known == VerbArgumentCounts().end()) return fail("unknown step \"" + verb + "\"");
    ScenarioStep step;
    step.line = lineNumber;
    step.verb = verb;
    // "... at TIME" at the end of a line makes the step happen at that virtual time.
    if (words.size() >= 2 && words[words.size() - 2] == "at") {
      step.atUs = ParseDuration(words.back());
      if (step.atUs < 0) return fail("bad time \"" + words.back() + "\"");
      words.resize(words.size() - 2);
    }
    if (static_cast<int>(words.size()) < known->second) return fail(verb + " needs more words");
    step.words = words;
    scenario->steps.push_back(step);
  }
  return true;
}

bool ApplyScenario(const Scenario& scenario, Harness& harness, std::string* error) {
  ScriptedDesk& desk = harness.desk;
  // The time of the last "wait": the steps after it without "at" do not happen before it.
  long long heldUntilUs = 0;
  for (const ScenarioStep& step : scenario.steps) {
    auto fail = [&](const std::string& why) {
      *error = "line " + std::to_string(step.line) + ": " + why;
      return false;
    };
    auto post = [&](DeskEvent event) {
      if (step.atUs >= 0) {
        desk.ScheduleEvent(step.atUs, event);
      } else {
        desk.QueueIdleEvent(event, heldUntilUs);
      }
    };
    int number = 0;
    if (step.verb == "command" || step.verb == "doubleclick" || step.verb == "select") {
      if (!ToInt(step.words[0], &number)) return fail("not a number: " + step.words[0]);
      EventKind kind = step.verb == "command"       ? EventKind::kCommand
                       : step.verb == "doubleclick" ? EventKind::kDirectoryDoubleClick
                                                    : EventKind::kDeviceSelected;
      post({kind, number});
    } else if (step.verb == "reset") {
      post({EventKind::kResetButton, 0});
    } else if (step.verb == "close") {
      post({EventKind::kCloseRequest, 0});
    } else if (step.verb == "wait") {
      // Nothing happens until then: an idle program simply waits, and the user with it.
      long long until = ParseDuration(step.words[0]);
      if (until < 0) return fail("bad time \"" + step.words[0] + "\"");
      heldUntilUs = std::max(heldUntilUs, until);
      desk.QueueIdleEvent({EventKind::kOther, 0}, heldUntilUs);
    } else if (step.verb == "text") {
      if (step.words[0] == "cancel" && step.words.size() == 1) {
        desk.QueueText(std::nullopt);
      } else {
        desk.QueueText(step.words[0]);
      }
    } else if (step.verb == "file") {
      if (step.words[0] == "cancel") {
        desk.QueueFile(std::string());
      } else {
        int entry = -1;
        if (step.words.size() == 3 && step.words[1] == "entry" && !ToInt(step.words[2], &entry)) {
          return fail("bad entry");
        }
        desk.QueueFile(step.words[0], entry);
      }
    } else if (step.verb == "button") {
      const std::string& b = step.words[0];
      if (b == "yes") {
        desk.QueueMessageAnswer(MessageAnswer::kYes);
      } else if (b == "no") {
        desk.QueueMessageAnswer(MessageAnswer::kNo);
      } else if (b == "ok") {
        desk.QueueMessageAnswer(MessageAnswer::kOk);
      } else {
        return fail("button is yes, no or ok");
      }
    } else if (step.verb == "fault") {
      if (!harness.bus) return fail("fault without a bus");
      std::string why;
      if (!ApplyBusFault(*harness.bus, step.words, step.atUs < 0 ? heldUntilUs : step.atUs, &why)) {
        return fail(why);
      }
    }
  }
  return true;
}

bool RunScenario(const Scenario& scenario, std::ostream& out, std::string* error) {
  Harness harness(scenario.bus);
  if (scenario.startTime.size() == 8) {
    harness.clock.SetStartTime(std::atoi(scenario.startTime.substr(0, 2).c_str()),
                               std::atoi(scenario.startTime.substr(3, 2).c_str()),
                               std::atoi(scenario.startTime.substr(6, 2).c_str()));
  }
  if (!ApplyScenario(scenario, harness, error)) return false;
  harness.Run();
  for (const std::string& line : harness.desk.transcript()) out << line << '\n';
  for (const std::string& line : harness.desk.directory()) out << "LIST " << line << '\n';
  out << "PROGRESS " << harness.desk.progressValue() << '\n';
  return true;
}

}  // namespace dw
