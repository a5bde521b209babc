#pragma once
// Scenarios: plain-text scripts that run the whole program headless against a virtual bus and
// tell everything it showed. The format is described in docs/scenarios.md.

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

namespace dw {

class Harness;

struct ScenarioStep {
  int line = 0;
  std::string verb;                // "command", "doubleclick", "select", "reset", "close", ...
  std::vector<std::string> words;  // the rest of the line, split at blanks ("..." kept whole)
  long long atUs = -1;             // "at TIME": a virtual time; -1: when the program is idle
};

struct Scenario {
  std::string bus;        // the virtual bus on COM0, as after "sim:"
  std::string startTime;  // "hh:mm:ss" of the local clock at virtual time 0
  std::vector<ScenarioStep> steps;
};

// Parses a scenario; on a bad line returns false with "line N: why" in *error.
bool ParseScenario(const std::string& text, Scenario* scenario, std::string* error);

// Hands the steps to the harness's desk (and faults to its bus); false with a message when a
// step cannot be applied.
bool ApplyScenario(const Scenario& scenario, Harness& harness, std::string* error);

// Runs a scenario to its end and writes the transcript: every log line, status text, box and
// requester in order, then the progress bar's last value.
bool RunScenario(const Scenario& scenario, std::ostream& out, std::string* error);

// "1500ms", "1.5s", "2s" or a plain number of milliseconds, in microseconds; -1 when invalid.
long long ParseDuration(const std::string& text);

}  // namespace dw
