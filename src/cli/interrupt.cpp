#include "cli/interrupt.h"

#include <atomic>
#include <csignal>

namespace dw::cli {

namespace {

constexpr int kPressesThatKill = 3;

std::atomic<int> interrupts{0};

extern "C" void CountInterrupt(int signal) {
  if (interrupts.fetch_add(1) + 1 >= kPressesThatKill) {
    std::signal(signal, SIG_DFL);
    std::raise(signal);
  }
}

}  // namespace

void InstallInterruptHandler() {
  std::signal(SIGINT, CountInterrupt);
  std::signal(SIGTERM, CountInterrupt);
}

int InterruptCount() {
  return interrupts.load();
}

}  // namespace dw::cli
