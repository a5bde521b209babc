#include "platform/terminal.h"

#ifdef _WIN32
#include <io.h>
#include <windows.h>

#include <cstdio>
#else
#include <poll.h>
#include <unistd.h>

#include <cstdio>
#endif

namespace dw {

namespace {

constexpr int kTypedBytes = 64;

}  // namespace

#ifdef _WIN32

bool StandardErrorIsTerminal() {
  return _isatty(_fileno(stderr)) != 0;
}

int StandardInputTerminal() {
  return _isatty(_fileno(stdin)) != 0 ? _fileno(stdin) : -1;
}

std::optional<std::string> TypedWithin(int terminal, int ms) {
  // The console's handle is signalled by any input event; the read then waits for the line.
  const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(terminal));
  if (WaitForSingleObject(handle, static_cast<DWORD>(ms)) != WAIT_OBJECT_0) return std::nullopt;
  char typed[kTypedBytes];
  const int got = _read(terminal, typed, sizeof typed);
  return got <= 0 ? std::string() : std::string(typed, static_cast<size_t>(got));
}

#else

bool StandardErrorIsTerminal() {
  return isatty(STDERR_FILENO) == 1;
}

int StandardInputTerminal() {
  return isatty(STDIN_FILENO) == 1 ? STDIN_FILENO : -1;
}

std::optional<std::string> TypedWithin(int terminal, int ms) {
  pollfd ready{terminal, POLLIN, 0};
  if (poll(&ready, 1, ms) <= 0) return std::nullopt;
  char typed[kTypedBytes];
  const ssize_t got = read(terminal, typed, sizeof typed);
  return got <= 0 ? std::string() : std::string(typed, static_cast<size_t>(got));
}

#endif

}  // namespace dw
