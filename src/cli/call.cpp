#include "cli/call.h"

#include <charconv>
#include <optional>
#include <string>
#include <string_view>

#include "cli/batch.h"
#include "disk/format_disk.h"
#include "disk/track_retries.h"
#include "platform/pc_file.h"
#include "sim/bus/faults.h"

namespace dw::cli {

namespace {

// More disks than anyone archives in one go; a larger --count is a typing error.
constexpr int64_t kMostDisks = 99999;

struct OptionSpec {
  std::string_view name;
  bool takesValue;
};

struct CommandSpec {
  std::string_view name;
  std::string_view synopsis;
  std::string_view summary;
  int fewestArguments;
  int mostArguments;  // -1: any number
  std::vector<OptionSpec> options;
  // Writes to the disk: a virtual disk's image file keeps what was written.
  bool writesDisk;
};

const std::vector<CommandSpec>& Commands() {
  static const std::vector<CommandSpec> commands = {
      {"drives", "drives", "list the drives on the bus with number and model", 0, 0, {}, false},
      {"dir",
       "dir [--charset upper|lower] [--raw]",
       "show the disk's directory as the computer's screen does: in its upper case and\n"
       "       graphics set, or its lower and upper case set; --raw: each byte as is",
       0,
       0,
       {{"--charset", true}, {"--raw", false}},
       false},
      {"get",
       "get NAME [FILE] [--replace]",
       "copy the program file NAME from the disk to FILE (default: NAME.prg)",
       1,
       2,
       {{"--replace", false}},
       false},
      {"put", "put FILE.prg", "write a PC program file to the disk", 1, 1, {}, true},
      {"cmd", "cmd TEXT", "send a DOS command and print the drive's answer", 1, 1, {}, true},
      {"status", "status", "print the drive's error channel", 0, 0, {}, false},
      {"create",
       "create FILE [--40] [--errors] [--retries N] [--replace]\n"
       "       create --each-disk PATTERN [--count N] [--40] [--errors] [--retries N]",
       "make a D64/D71/D81 image of the disk; --each-disk makes one per disk, named by\n"
       "       PATTERN (e.g. box1-%03d.d64), waiting for each disk change, until Ctrl+C\n"
       "       or N disks; --retries: a track with bad sectors is read again, N times\n"
       "       at most (1 to 20), each sector keeping its best read",
       0,
       1,
       {{"--40", false},
        {"--errors", false},
        {"--retries", true},
        {"--replace", false},
        {"--each-disk", true},
        {"--count", true}},
       false},
      {"create-g64",
       "create-g64 FILE [--40] [--replace]",
       "make a G64 image of the disk's raw tracks (one side; --40: tracks 36 to 40 too)",
       1,
       1,
       {{"--40", false}, {"--replace", false}},
       false},
      {"verify", "verify FILE", "compare the disk with an image file", 1, 1, {}, false},
      {"restore",
       "restore FILE [--format yes|no] [--yes] [--verify]",
       "write a D64, D71, D81, G64 image or a PRG file to the disk (--format: a 1581\n"
       "       disk is formatted first, or not); an image over a disk with files is\n"
       "       asked first on a terminal, elsewhere it needs --yes; --verify reads\n"
       "       every track back and compares it with what was written",
       1,
       1,
       {{"--format", true}, {"--yes", false}, {"--verify", false}},
       true},
      {"format",
       "format NAME,ID [--verify]",
       "fast format of a GCR disk; --verify reads every track back",
       1,
       1,
       {{"--verify", false}},
       true},
      {"dump-track",
       "dump-track TRACK",
       "raw GCR dump of one track (36p: physical track)",
       1,
       1,
       {},
       false},
      {"rpm",
       "rpm [COUNT]",
       "the disk speed: 5 measurements, or 500 for adjusting",
       0,
       1,
       {},
       false},
      {"dump-rom",
       "dump-rom FILE [--replace]",
       "copy the drive's ROM into FILE",
       1,
       1,
       {{"--replace", false}},
       false},
      {"hex2gcr", "hex2gcr BYTES...", "GCR code of hexadecimal bytes", 1, -1, {}, false},
      {"gcr2hex", "gcr2hex BYTES...", "bytes of hexadecimal GCR code", 1, -1, {}, false},
      {"error-info", "error-info", "the drive controller's error codes", 0, 0, {}, false},
  };
  return commands;
}

const CommandSpec* FindCommand(const std::string& name) {
  for (const CommandSpec& spec : Commands()) {
    if (spec.name == name) return &spec;
  }
  return nullptr;
}

const OptionSpec* FindOption(const std::vector<OptionSpec>& options, std::string_view name) {
  for (const OptionSpec& option : options) {
    if (option.name == name) return &option;
  }
  return nullptr;
}

bool ParseNumber(std::string_view text, int64_t* number) {
  auto [end, status] = std::from_chars(text.data(), text.data() + text.size(), *number);
  return !text.empty() && status == std::errc() && end == text.data() + text.size();
}

// "SECONDS:DEVICE:IMAGE", tests only.
bool ParseDiskChange(const std::string& text, DiskChange* change) {
  size_t first = text.find(':');
  size_t second = first == std::string::npos ? first : text.find(':', first + 1);
  int64_t seconds = 0;
  int64_t device = 0;
  if (second == std::string::npos || !ParseNumber(text.substr(0, first), &seconds) ||
      !ParseNumber(text.substr(first + 1, second - first - 1), &device) || seconds < 0) {
    return false;
  }
  *change = {seconds * 1000000, static_cast<int>(device), text.substr(second + 1)};
  return !change->imagePath.empty();
}

const std::vector<OptionSpec>& GlobalOptions() {
  static const std::vector<OptionSpec> options = {
      {"--port", true},          {"--drive", true},      {"--quiet", false},
      {"--help", false},         {"--version", false},   {"--log", true},
      {"--virtual-time", false}, {"--sim-change", true}, {"--sim-fault", true}};
  return options;
}

bool TakeGlobal(Call& call, const std::string& name, const std::string& value, std::string* error) {
  if (name == "--port") {
    call.port = value;
  } else if (name == "--drive") {
    int64_t drive = 0;
    if (!ParseNumber(value, &drive) || drive < 8 || drive > 11) {
      *error = "--drive " + value + ": drives are 8 to 11";
      return false;
    }
    call.drive = static_cast<int>(drive);
  } else if (name == "--quiet") {
    call.quiet = true;
  } else if (name == "--help") {
    call.help = true;
  } else if (name == "--version") {
    call.version = true;
  } else if (name == "--log") {
    call.logPath = value;
  } else if (name == "--virtual-time") {
    call.virtualTime = true;
  } else if (name == "--sim-change") {
    DiskChange change;
    if (!ParseDiskChange(value, &change)) {
      *error = "--sim-change " + value + ": expected SECONDS:DEVICE:IMAGE";
      return false;
    }
    call.diskChanges.push_back(change);
  } else if (name == "--sim-fault") {
    sim::Fault fault;
    std::string mistake;
    if (!sim::ParseFault(value, &fault, &mistake)) {
      *error = "--sim-fault " + value + ": " + mistake;
      return false;
    }
    call.busFaults.push_back(value);
  }
  return true;
}

bool CheckCommandOptions(const Call& call, std::string* error) {
  const std::string& name = call.command;
  if (name == "restore" && call.Has("--format") && call.Option("--format") != "yes" &&
      call.Option("--format") != "no") {
    *error = "restore: --format takes yes or no";
    return false;
  }
  if (name == "dir" && call.Has("--charset") && call.Option("--charset") != "upper" &&
      call.Option("--charset") != "lower") {
    *error = "dir: --charset takes upper (upper case and graphics) or lower (lower and upper case)";
    return false;
  }
  if (name == "create") {
    const bool batch = call.Has("--each-disk");
    if (batch == !call.arguments.empty()) {
      *error = "create: give either FILE or --each-disk PATTERN";
      return false;
    }
    if (batch && NameForDisk(call.Option("--each-disk"), 1).empty()) {
      *error = "create: --each-disk " + call.Option("--each-disk") +
               ": the pattern needs one number, e.g. box1-%03d.d64";
      return false;
    }
    int64_t count = 0;
    if (call.Has("--count") && (!batch || !ParseNumber(call.Option("--count"), &count) ||
                                count < 1 || count > kMostDisks)) {
      *error = "create: --count takes a number of disks (1 to " + std::to_string(kMostDisks) +
               ") with --each-disk";
      return false;
    }
    if (call.Has("--retries") && !RetryCountFrom(call.Option("--retries"))) {
      *error = "create: --retries takes the re-reads of a damaged track, " +
               std::to_string(kFewestRetries) + " to " + std::to_string(kMostRetries) + " (not " +
               call.Option("--retries") + ")";
      return false;
    }
  }
  if (name == "rpm" && !call.arguments.empty() && call.arguments[0] != "5" &&
      call.arguments[0] != "500") {
    *error = "rpm: COUNT is 5 (the RPM check) or 500 (the long series for adjusting)";
    return false;
  }
  if (name == "format" && call.arguments[0].find(',') == std::string::npos) {
    *error = "format: expected NAME,ID (e.g. GAMES,01)";
    return false;
  }
  if (name == "format") {
    if (const std::optional<std::string> problem = FormatAnswerProblem(call.arguments[0])) {
      *error = "format: " + *problem;
      return false;
    }
  }
  if (call.virtualTime && call.port.rfind("sim:", 0) != 0) {
    *error = "--virtual-time needs --port sim:...";
    return false;
  }
  if (!call.busFaults.empty() && call.port.rfind("sim:", 0) != 0) {
    *error = "--sim-fault needs --port sim:...";
    return false;
  }
  return true;
}

}  // namespace

std::optional<Call> ParseCall(int argc, const char* const* argv, std::string* error) {
  Call call;
  const CommandSpec* spec = nullptr;
  for (int i = 1; i < argc; ++i) {
    std::string word = argv[i];
    if (word == "-h") word = "--help";
    if (word.size() > 2 && word.compare(0, 2, "--") == 0) {
      std::string name = word;
      std::optional<std::string> value;
      if (size_t equals = word.find('='); equals != std::string::npos) {
        name = word.substr(0, equals);
        value = word.substr(equals + 1);
      }
      const OptionSpec* option = FindOption(GlobalOptions(), name);
      const bool global = option != nullptr;
      if (!global && spec != nullptr) option = FindOption(spec->options, name);
      if (option == nullptr) {
        *error =
            spec ? std::string(spec->name) + ": unknown option " + name : "unknown option " + name;
        return std::nullopt;
      }
      if (option->takesValue && !value) {
        if (i + 1 >= argc) {
          *error = name + " needs a value";
          return std::nullopt;
        }
        value = argv[++i];
      } else if (!option->takesValue && value) {
        *error = name + " takes no value";
        return std::nullopt;
      }
      if (global) {
        if (!TakeGlobal(call, name, value.value_or(""), error)) return std::nullopt;
      } else {
        call.options[name] = value.value_or("");
      }
    } else if (spec == nullptr) {
      spec = FindCommand(word);
      if (spec == nullptr) {
        *error = "unknown command \"" + word + "\" (diskwright-cli --help lists them)";
        return std::nullopt;
      }
      call.command = word;
    } else {
      call.arguments.push_back(word);
    }
  }
  if (call.help || call.version) return call;
  if (spec == nullptr) {
    *error = "no command given (diskwright-cli --help lists them)";
    return std::nullopt;
  }
  const int count = static_cast<int>(call.arguments.size());
  if (count < spec->fewestArguments || (spec->mostArguments >= 0 && count > spec->mostArguments)) {
    *error = call.command + ": usage: diskwright-cli " + std::string(spec->synopsis);
    const size_t lineEnd = error->find('\n');
    if (lineEnd != std::string::npos) error->resize(lineEnd);
    return std::nullopt;
  }
  if (!CheckCommandOptions(call, error)) return std::nullopt;
  return call;
}

std::string UsageText(const std::string& command) {
  if (const CommandSpec* spec = FindCommand(command)) {
    // The table indents continued lines for the program's list of commands.
    std::string summary(spec->summary);
    for (size_t at = 0; (at = summary.find("\n       ", at)) != std::string::npos; ++at) {
      summary.replace(at, 8, "\n  ");
    }
    return "usage: diskwright-cli [--port PORT] [--drive N] [--quiet] " +
           std::string(spec->synopsis) + "\n  " + summary + "\n";
  }
  std::string text =
      "usage: diskwright-cli [--port COMn|DEVICE|sim:...] [--drive N] [--quiet] [--log FILE]\n"
      "                      COMMAND [ARGS]\n"
      "\n"
      "Works with Commodore drives through the BUSLINK V2.0 adapter, as the window does.\n"
      "  --port     the adapter's port (default: COM0 to COM32, see DISKWRIGHT_COM<n>)\n"
      "  --drive    the drive, 8 to 11 (default: the first drive found)\n"
      "  --quiet    print only results and errors\n"
      "  --log      also append every log line to FILE\n"
      "  -h, --help this text; COMMAND --help: the command's own\n"
      "  --version  the program's version\n"
      "\n"
      "Commands:\n";
  for (const CommandSpec& spec : Commands()) {
    text += "  " + std::string(spec.synopsis) + "\n       " + std::string(spec.summary) + "\n";
  }
  text +=
      "\n"
      "Exit status: 0 done; 1 the drive reported an error, a verify failed, or the command\n"
      "refused or could not do its work; 2 wrong call; 3 no adapter or drive, link failure,\n"
      "or aborted (Ctrl+C aborts as RESET does).\n";
  return text;
}

std::string VersionText() {
  return std::string("diskwright-cli (Diskwright) ") + DISKWRIGHT_VERSION + "\n";
}

bool WritesTheDisk(const Call& call) {
  const CommandSpec* spec = FindCommand(call.command);
  return spec != nullptr && spec->writesDisk;
}

}  // namespace dw::cli
