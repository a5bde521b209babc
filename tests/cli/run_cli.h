#pragma once
// Runs the built diskwright-cli as a user would: in a working folder of its own holding the
// virtual bus's drive code, its standard output and error caught, its exit status told.

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace dw::cli_test {

struct CliRun {
  int status = -1;  // the exit status; 128 + signal when a signal ended it
  std::string out;
  std::string err;
};

struct CliOptions {
  bool stderrOnTerminal = false;
  // Typed at the terminal, which is then standard input as well as standard error.
  std::string typed;
  // Ctrl+C this long after the start (0: never).
  int interruptAfterMs = 0;
};

inline std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

inline CliRun RunCli(const std::string& folder, const std::vector<std::string>& args,
                     const CliOptions& options = {}) {
  const std::string outPath = folder + "/.cli-out";
  const std::string errPath = folder + "/.cli-err";
  int master = -1;
  int slave = -1;
  const bool terminal = options.stderrOnTerminal || !options.typed.empty();
  if (terminal && openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) return {};
  const pid_t child = fork();
  if (child == 0) {
    if (chdir(folder.c_str()) != 0) _exit(127);
    const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int err = terminal ? slave : open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(out, STDOUT_FILENO);
    dup2(err, STDERR_FILENO);
    if (!options.typed.empty()) dup2(slave, STDIN_FILENO);
    std::vector<char*> argv;
    std::string program = DISKWRIGHT_CLI;
    argv.push_back(program.data());
    std::vector<std::string> copies = args;
    for (std::string& arg : copies) argv.push_back(arg.data());
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  if (slave >= 0) close(slave);
  // The terminal keeps what is typed until the program reads it.
  if (!options.typed.empty() && write(master, options.typed.data(), options.typed.size()) < 0) {
    return {};
  }
  CliRun run;
  const auto start = std::chrono::steady_clock::now();
  bool interrupted = false;
  int waitStatus = 0;
  for (;;) {
    if (master >= 0) {
      pollfd ready{master, POLLIN, 0};
      char buffer[4096];
      while (poll(&ready, 1, 0) > 0 && (ready.revents & POLLIN) != 0) {
        const ssize_t got = read(master, buffer, sizeof buffer);
        if (got <= 0) break;
        run.err.append(buffer, static_cast<size_t>(got));
      }
    }
    if (waitpid(child, &waitStatus, WNOHANG) == child) break;
    const auto elapsed = std::chrono::steady_clock::now() - start;
    if (options.interruptAfterMs > 0 && !interrupted &&
        elapsed >= std::chrono::milliseconds(options.interruptAfterMs)) {
      kill(child, SIGINT);
      interrupted = true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  if (master >= 0) {
    char buffer[4096];
    ssize_t got = 0;
    while ((got = read(master, buffer, sizeof buffer)) > 0) {
      run.err.append(buffer, static_cast<size_t>(got));
    }
    close(master);
  } else {
    run.err = ReadWholeFile(errPath);
  }
  run.out = ReadWholeFile(outPath);
  run.status = WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : 128 + WTERMSIG(waitStatus);
  return run;
}

// The lines of a text, without their line ends.
inline std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

}  // namespace dw::cli_test
